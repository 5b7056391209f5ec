#include "app/cli/cli_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "library/device_selection.h"

namespace tav {

namespace {

ConsolePolicy PolicyFor(const CliOptions& options) {
  ConsolePolicy policy;
  policy.assumeYes = options.assumeYes;
  policy.retryCancelAnswer = options.onError == "retry" ? kRetry : kCancel;
  policy.quiet = options.quiet;
  return policy;
}

// The command line's session: the settings are written only when the run
// changed one, the device is loaded by each command's frame, and nothing
// happens between failed board searches.
SessionOptions SessionOptionsFor(const CliOptions& options, const CliEnvironment& environment) {
  SessionOptions session;
  session.alwaysSaveAtClose = false;
  session.loadDeviceAtStart = false;
  if (options.simulate) session.simulator = options.simulator;
  if (!options.port.empty() && options.port[0] == '/') session.ppdevDevice = options.port;
  session.ports = environment.ports;
  session.tracePath = options.trace;
  return session;
}

// The session binds the feedback to its MessageBeap setting at once; until
// then the setting's default stands in.
constexpr int kDefaultMessageBeep = 1;

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
      feedback_(kDefaultMessageBeep, PolicyFor(options), environment.in, err),
      session_(feedback_, SessionOptionsFor(options, environment)),
      settings_(session_.CurrentSettings()),
      device_(session_.Device()),
      library_(session_.Library()) {
  feedback_.RaiseInterruptAtPump(environment.raiseInterruptAtPump);
}

int CliSession::Run() {
  session_.LoadSettings();
  ApplySettingOptions();

  int status = 0;
  const std::string& command = options_.command;
  if (command == "info") status = CommandInfo();
  else if (command == "convert") status = CommandConvert();
  else {
    status = SelectDevice();
    if (status == 0 && command == "devices") status = CommandDevices();
    else if (status == 0) {
      status = session_.StartHardware();
      if (status == 0) {
        if (command == "detect") status = CommandDetect();
        else if (command == "calibrate") status = CommandCalibrate();
        else if (command == "blank-check") status = CommandOperation(Command::BlankCheck);
        else if (command == "erase") status = CommandOperation(Command::Erase);
        else if (command == "read") status = CommandOperation(Command::Read);
        else if (command == "program") status = CommandOperation(Command::Program);
        else if (command == "verify") status = CommandOperation(Command::Verify);
      }
    }
  }
  return session_.Close(status);
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

}  // namespace tav
