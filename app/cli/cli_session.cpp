// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/device_selection.h"
#include "settings/native_path.h"

namespace tav {

namespace {

ConsolePolicy PolicyFor(const CliOptions& options) {
  ConsolePolicy policy;
  policy.assumeYes = options.assumeYes;
  policy.retryCancelAnswer = options.onError == "retry" ? kRetry : kCancel;
  policy.quiet = options.quiet;
  policy.enterConfirms = options.command == "batch";
  return policy;
}

// The command line's session: its options are the run's own and never
// written back, the device is loaded by each command's frame, and nothing
// happens between failed board searches.
SessionOptions SessionOptionsFor(const CliOptions& options, const CliEnvironment& environment) {
  SessionOptions session;
  session.alwaysSaveAtClose = false;
  session.writeSettings = false;
  session.loadDeviceAtStart = false;
  if (options.simulate) session.simulator = options.simulator;
  if (!options.port.empty() && options.port[0] == '/') session.ppdevDevice = options.port;
  session.ports = environment.ports;
  session.tracePath = options.trace;
  session.configDirectory = options.configDir;
  return session;
}

// The session binds the feedback to its MessageBeap setting at once; until
// then the setting's default stands in.
constexpr int kDefaultMessageBeep = 1;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool SameNameIgnoringCase(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

namespace {

// The entry named `text`, or at list position `text`; -1 when none.
int FindEntry(const SelectionList& list, const std::string& text) {
  for (size_t i = 0; i < list.Entries.size(); ++i) {
    if (!list.Entries[i].Placeholder && SameNameIgnoringCase(list.Entries[i].Text, text)) return int(i);
  }
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return -1;
  const size_t position = text.size() > 6 ? list.Entries.size() : std::strtoul(text.c_str(), nullptr, 10);
  if (position >= list.Entries.size() || list.Entries[position].Placeholder) return -1;
  return int(position);
}

// Edits between two names, without regard to case.
size_t Distance(const std::string& a, const std::string& b) {
  const std::string x = Lower(a), y = Lower(b);
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[y.size()];
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
  // Loading takes an unreadable file for a missing one, silently; a script
  // user must learn why the stored settings do not apply.
  std::error_code error;
  if (std::filesystem::exists(NativePath(settings_.SettingsFilePath), error) &&
      !std::ifstream(NativePath(settings_.SettingsFilePath))) {
    std::fprintf(err_, "Hinweis: QUENVALD.INI kann nicht gelesen werden (%s); es gelten die Vorgaben.\n",
                 settings_.SettingsFilePath.c_str());
  }
  ApplySettingOptions();
  const int status = session_.Close(RunCommand());
  Finish(status);
  return status;
}

int CliSession::RunCommand() {
  const std::string& command = options_.command;
  if (command == "info") return CommandInfo();
  if (command == "convert") return CommandConvert();
  if (command == "config") return CommandConfig();
  int status = SelectDevice(options_.device);
  if (status != 0) return status;
  if (command == "devices") return CommandDevices();
  status = session_.StartHardware();
  if (options_.verbose) ReportVerbose();
  if (status != 0) return status;
  if (command == "detect") return CommandDetect();
  if (command == "calibrate") return CommandCalibrate();
  if (command == "blank-check") return CommandOperation(Command::BlankCheck);
  if (command == "erase") return CommandOperation(Command::Erase);
  if (command == "read") return CommandOperation(Command::Read);
  if (command == "program") return CommandOperation(Command::Program);
  if (command == "batch") return CommandBatch();
  return CommandOperation(Command::Verify);
}

void CliSession::Finish(int status) {
  feedback_.ReleaseHeldMessages(status != 0);
  if (status == kLibraryUnusable) std::fprintf(err_, "Bauteilbibliothek: %s\n", session_.LibraryPath().c_str());
  if (!options_.quiet) return;
  if (status != 0) {
    std::fprintf(out_, "%s: fehlgeschlagen, Exit-Status %d\n", options_.command.c_str(), status);
  } else {
    std::fprintf(out_, "%s\n", finalLine_.empty() ? (options_.command + ": erledigt").c_str() : finalLine_.c_str());
  }
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
    if (!options_.quiet) std::fprintf(err_, "Portadresse 0x%X (aus --port %s)\n", unsigned(address), options_.port.c_str());
  }
}

int CliSession::SelectDevice(const std::string& device) {
  if (options_.manufacturer.empty() && device.empty()) return 0;
  const int32_t storedManufacturer = settings_.ManufIndex;
  const int32_t storedDevice = settings_.DeviceIndex;
  auto refuse = [&](const std::string& text) {
    settings_.ManufIndex = storedManufacturer;
    settings_.DeviceIndex = storedDevice;
    std::fprintf(err_, "%s\n", text.c_str());
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
  if (device.empty()) {
    // Like a change in the manufacturer list: the device at the same
    // position, or the first one.
    OnManufacturerChanged(library_, searched[0], devices);
    return 0;
  }
  for (const int manufacturer : searched) {
    settings_.ManufIndex = manufacturer;
    settings_.DeviceIndex = 0;
    FillDeviceList(library_, devices);
    const int position = FindEntry(devices, device);
    // A bare number is a position only within a named manufacturer.
    if (position < 0 || (options_.manufacturer.empty() && !SameNameIgnoringCase(devices.Entries[position].Text, device)))
      continue;
    settings_.DeviceIndex = devices.Entries[size_t(position)].LibraryIndex;
    return 0;
  }
  const int result = refuse("Baustein '" + device + "' nicht in der Bibliothek.");
  SuggestDevices(device);
  return result;
}

// The names closest to a misspelt one, from every manufacturer.
void CliSession::SuggestDevices(const std::string& device) {
  const int32_t storedManufacturer = settings_.ManufIndex;
  const int32_t storedDevice = settings_.DeviceIndex;
  std::vector<std::pair<size_t, std::string>> names;
  SelectionList manufacturers, devices;
  FillManufacturerList(library_, manufacturers);
  for (size_t m = 0; m < manufacturers.Entries.size(); ++m) {
    settings_.ManufIndex = int32_t(m);
    settings_.DeviceIndex = 0;
    FillDeviceList(library_, devices);
    for (const SelectionEntry& entry : devices.Entries) {
      if (!entry.Placeholder) names.emplace_back(Distance(device, entry.Text), entry.Text);
    }
  }
  settings_.ManufIndex = storedManufacturer;
  settings_.DeviceIndex = storedDevice;
  std::stable_sort(names.begin(), names.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string nearest;
  for (size_t i = 0; i < names.size() && i < 3 && names[i].first <= std::max<size_t>(3, device.size() / 2); ++i) {
    nearest += (nearest.empty() ? "" : ", ") + names[i].second;
  }
  if (!nearest.empty()) std::fprintf(err_, "Ähnliche Namen: %s\n", nearest.c_str());
  std::fprintf(err_, "(tavrolith-cli devices zeigt die Bibliothek.)\n");
}

}  // namespace tav
