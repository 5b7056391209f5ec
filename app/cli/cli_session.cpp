#include "app/cli/cli_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "library/device_selection.h"
#include "settings/paths.h"

namespace tav {

namespace {

// Stands in for the port in demonstration mode, where the frame refuses
// every command before a register is written.
class InertPort : public PortIo {
public:
  void Out(uint16_t, uint8_t) override {}
  uint8_t In(uint16_t) override { return 0xFF; }
};

ConsolePolicy PolicyFor(const CliOptions& options) {
  ConsolePolicy policy;
  policy.assumeYes = options.assumeYes;
  policy.retryCancelAnswer = options.onError == "retry" ? kRetry : kCancel;
  policy.quiet = options.quiet;
  return policy;
}

// Everything SaveSettings writes, so that the file is written only when the
// run changed something in it.
std::string SavedFields(const Settings& s) {
  std::ostringstream text;
  text << s.PortAdress << ' ' << s.SearchHardware << ' ' << s.TimeOut << ' ' << s.TimeBaseKorr << ' ' << s.MessageBeap
       << ' ' << s.Verify << ' ' << s.FFSave << ' ' << s.XKoord << ' ' << s.YKoord << ' ' << s.DataFormat << ' '
       << s.ManufIndex << ' ' << s.DeviceIndex << ' ' << s.TestChecksum << ' ' << s.ShowDeviceData << ' '
       << int(s.IDCheck) << ' ' << s.Lock1 << s.Lock2 << s.Lock3 << ' ' << s.ReadFilter << ' ' << s.HexLineLen << ' '
       << s.ProgramFilePath;
  return text.str();
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The entry named `text`, or at list position `text`; -1 when none.
int FindEntry(const SelectionList& list, const std::string& text) {
  for (size_t i = 0; i < list.Entries.size(); ++i) {
    if (!list.Entries[i].Placeholder && SameName(list.Entries[i].Text, text)) return int(i);
  }
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return -1;
  const size_t position = text.size() > 6 ? list.Entries.size() : std::strtoul(text.c_str(), nullptr, 10);
  if (position >= list.Entries.size() || list.Entries[position].Placeholder) return -1;
  return int(position);
}

}  // namespace

CliSession::CliSession(const CliOptions& options, std::FILE* out, std::FILE* err, const CliEnvironment& environment)
    : options_(options),
      out_(out),
      err_(err),
      environment_(environment),
      feedback_(settings_.MessageBeap, PolicyFor(options), environment.in, err),
      library_(settings_, device_, feedback_) {
  feedback_.RaiseInterruptAtPump(environment.raiseInterruptAtPump);
}

int CliSession::Run() {
  LoadSettings(settings_, feedback_);
  const std::string before = SavedFields(settings_);
  ApplySettingOptions();

  int status = 0;
  const std::string& command = options_.command;
  if (command == "info") status = CommandInfo();
  else if (command == "convert") status = CommandConvert();
  else {
    status = SelectDevice();
    if (status == 0 && command == "devices") status = CommandDevices();
    else if (status == 0) {
      status = OpenHardware();
      if (status == 0) {
        if (command == "detect") status = CommandDetect();
        else if (command == "calibrate") status = CommandCalibrate();
        else if (command == "blank-check") status = CommandOperation(Command::BlankCheck);
        else if (command == "erase") status = CommandOperation(Command::Erase);
        else if (command == "read") status = CommandOperation(Command::Read);
        else if (command == "program") status = CommandOperation(Command::Program);
        else if (command == "verify") status = CommandOperation(Command::Verify);
      }
      status = CloseHardware(status);
    }
  }
  if (SavedFields(settings_) != before) SaveSettings(settings_);
  return status;
}

void CliSession::ApplySettingOptions() {
  if (options_.verify) settings_.Verify = *options_.verify;
  if (options_.idCheck) settings_.IDCheck = uint8_t(*options_.idCheck);
  if (options_.ffSave) settings_.FFSave = *options_.ffSave;
  if (options_.testChecksum) settings_.TestChecksum = *options_.testChecksum;
  if (options_.lock) {
    // As the lock boxes do: a higher lock bit brings the lower ones along.
    const int level = *options_.lock;
    settings_.Lock1 = level >= 1;
    settings_.Lock2 = level >= 2;
    settings_.Lock3 = level >= 3;
  }
  uint16_t address = 0;
  if (!options_.port.empty() && options_.port[0] != '/' && ParsePortAddress(options_.port, address)) {
    settings_.SetPortAdress(address);
  }
}

int CliSession::SelectDevice() {
  if (options_.manufacturer.empty() && options_.device.empty()) return 0;
  const int32_t storedManufacturer = settings_.ManufIndex;
  const int32_t storedDevice = settings_.DeviceIndex;
  auto refuse = [&](const std::string& text) {
    settings_.ManufIndex = storedManufacturer;
    settings_.DeviceIndex = storedDevice;
    std::fprintf(err_, "%s\n(tavrolith-cli devices zeigt die Bibliothek.)\n", text.c_str());
    return kLibraryUnusable;
  };

  SelectionList manufacturers;
  if (FillManufacturerList(library_, manufacturers) != 0) return refuse("Keine Hersteller in der Bibliothek.");
  settings_.ManufIndex = storedManufacturer;  // the fill may have corrected it

  std::vector<int> searched;
  if (!options_.manufacturer.empty()) {
    const int position = FindEntry(manufacturers, options_.manufacturer);
    if (position < 0) return refuse("Hersteller '" + options_.manufacturer + "' nicht in der Bibliothek.");
    searched.push_back(position);
  } else {
    for (size_t i = 0; i < manufacturers.Entries.size(); ++i) searched.push_back(int(i));
  }

  SelectionList devices;
  if (options_.device.empty()) {
    // Like a change in the manufacturer list: the device at the same
    // position, or the first one.
    OnManufacturerChanged(library_, searched[0], devices);
    return 0;
  }
  for (const int manufacturer : searched) {
    settings_.ManufIndex = manufacturer;
    settings_.DeviceIndex = 0;
    FillDeviceList(library_, devices);
    const int position = FindEntry(devices, options_.device);
    // A bare number is a position only within a named manufacturer.
    if (position < 0 || (options_.manufacturer.empty() && !SameName(devices.Entries[position].Text, options_.device)))
      continue;
    settings_.DeviceIndex = devices.Entries[size_t(position)].LibraryIndex;
    return 0;
  }
  return refuse("Baustein '" + options_.device + "' nicht in der Bibliothek.");
}

std::string CliSession::WorkingDirectory() const { return SplitPath(settings_.SettingsFilePath).directory; }

void CliSession::UseProgramFile(const std::string& path) {
  // As the file dialogs do: the full path, its name for display and its
  // directory for the next dialog.
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  settings_.ProgramFilePath = error ? path : absolute.string();
  const PathParts parts = SplitPath(settings_.ProgramFilePath);
  settings_.ProgramFileName = parts.name + parts.extension;
  settings_.DataDirectory = parts.drive + parts.directory;
}

int CliSession::OpenHardware() {
  PortIo* io = nullptr;
  if (options_.simulate) {
    // The simulated socket holds a chip of the selected device.
    const int loaded = library_.LoadSelectedDevice();
    if (loaded != 0) return loaded;
    board_ = std::make_unique<sim::SimBoard>(uint16_t(settings_.PortAdress));
    board_->SetWriteDurationNs(uint64_t(options_.simWriteMicroseconds) * 1000);
    board_->Faults() = options_.boardFaults;
    chip_ = sim::MakeChip(device_, settings_.TimeBaseKorr, options_.chipFaults);
    std::error_code noFile;
    if (!options_.chipState.empty() && std::filesystem::exists(options_.chipState, noFile)) {
      if (!chip_->LoadState(options_.chipState)) {
        std::fprintf(err_, "Chip-Zustand '%s' kann nicht geladen werden:\n%s\n", options_.chipState.c_str(),
                     chip_->StateError().c_str());
        return kFileFailed;
      }
    }
    chipStateUsable_ = true;
    board_->InsertChip(chip_);
    io = board_.get();
  } else {
    const std::string device = !options_.port.empty() && options_.port[0] == '/' ? options_.port : std::string();
    SetupPortAccess(device, settings_, feedback_, access_, environment_.ports);
    demoMode_ = access_.DemoMode;
    io = access_.io.get();
  }
  if (io == nullptr) {
    inertPort_ = std::make_unique<InertPort>();
    io = inertPort_.get();
  } else if (!options_.trace.empty()) {
    traceFile_.open(options_.trace, std::ios::binary | std::ios::trunc);
    if (!traceFile_) {
      std::fprintf(err_, "Trace-Datei '%s' kann nicht angelegt werden.\n", options_.trace.c_str());
      return kFileFailed;
    }
    if (board_) {
      board_->SetTraceSink(&traceFile_);
    } else {
      tracer_ = std::make_unique<TracingPort>(*io, uint16_t(settings_.PortAdress), traceFile_);
      io = tracer_.get();
    }
  }
  link_ = std::make_unique<ProgrammerLink>(*io, settings_, device_, feedback_);
  if (demoMode_ == 0) SearchBoard();
  return 0;
}

int CliSession::SearchBoard() {
  // The start-up search without the settings dialog between the attempts.
  for (int attempt = 1;; ++attempt) {
    detectResult_ = link_->DetectProgrammer();
    if (detectResult_ == 0) return 0;
    if (attempt >= settings_.SearchHardware) break;
  }
  feedback_.ShowInfo("Kann Hardware nicht finden !\n\nProgramm geht in den Demomodus.");
  SaveSettings(settings_);
  demoMode_ = 1;
  return detectResult_;
}

int CliSession::CloseHardware(int status) {
  if (board_) board_->SetTraceSink(nullptr);
  // On real hardware a broken sequencing rule can destroy a chip without a
  // word; the simulator sees it, so the run must not end as a success.
  if (board_ && chip_) {
    const std::vector<std::string> harm = sim::HarmReport(*board_, chip_->Complaints(), chip_->Damaged());
    for (const std::string& line : harm) std::fprintf(err_, "%s\n", line.c_str());
    if (!harm.empty() && status == 0) status = kSimulatedRuleBroken;
  }
  if (chip_ && chipStateUsable_ && !options_.chipState.empty() && !chip_->SaveState(options_.chipState)) {
    std::fprintf(err_, "Chip-Zustand '%s' kann nicht gespeichert werden.\n", options_.chipState.c_str());
    if (status == 0) status = kFileFailed;
  }
  return status;
}

}  // namespace tav
