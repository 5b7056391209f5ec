// SPDX-License-Identifier: GPL-2.0-or-later
// The persistent settings (QUENVALD.INI) and their in-memory record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tav {

class Feedback;

// Port base addresses the settings file accepts. The settings dialog keeps to
// the same range, so that what it lets through survives the next start.
// Parallel-port cards on PCI and PCIe sit anywhere in the I/O space (0xD010,
// 0xE800, ...), so any address whose three registers fit below 0x10000 is
// taken; below 0x100 live the system board's own devices, never a port card.
inline constexpr int32_t kLowestPortAdress = 0x100;
inline constexpr int32_t kHighestPortAdress = 0xFFFD;

struct Settings {
  // Section "Hardware".
  int32_t PortAdress = 0x378;
  int32_t StatusPort = 0x379;    // derived: PortAdress + 1
  int32_t ControlPort = 0x37A;   // derived: PortAdress + 2
  int32_t DebugNT = 0;
  int32_t SearchHardware = 2;
  uint32_t TimeOut = 1000000;
  int MessageBeap = 1;
  int32_t TimeBaseKorr = 85;

  // Section "Brastel INI-Section".
  int FFSave = 0;
  int Verify = 1;
  int32_t XKoord = 10;           // key "X-Koord"
  int32_t YKoord = 10;           // key "Y-Koord"
  int ShowDeviceData = 0;
  int32_t ManufIndex = 0;
  int32_t DeviceIndex = 0;
  uint8_t IDCheck = 1;
  int TestChecksum = 1;
  int Lock1 = 0;
  int Lock2 = 0;
  int Lock3 = 0;
  uint32_t HexLineLen = 32;
  int32_t DataFormat = 1;
  int32_t ReadFilter = 1;

  // Derived and run-time fields.
  std::string SettingsFilePath;  // directory + "QUENVALD.INI"
  std::string DataDirectory;
  std::string ProgramFilePath;
  std::string ProgramFileName;

  // Keeps StatusPort and ControlPort in step with PortAdress.
  void SetPortAdress(int32_t base) {
    PortAdress = base;
    StatusPort = base + 1;
    ControlPort = base + 2;
  }
};

// Reads `directory` + "QUENVALD.INI" (directory ends in a separator; empty
// means the current working directory), applies every range rule and
// fallback, shows the two messages through `feedback`.
void LoadSettings(Settings& settings, Feedback& feedback, const std::string& directory = "");

// Writes the record back to settings.SettingsFilePath, replacing entries in
// place and keeping everything else in the file. Written atomically; a failed
// write leaves the previous file as it was. Returns false then (the window
// does not report it; the command line's config command does).
bool SaveSettings(Settings& settings);

// One entry of the file as SaveSettings writes it.
struct SettingsEntry {
  const char* section;
  const char* key;
  std::string text;
};

// Every entry SaveSettings writes, in the file's order.
std::vector<SettingsEntry> SettingsEntries(const Settings& settings);

// Stores one entry in the settings file at settings.SettingsFilePath: `text`
// as if the file held it (nullopt: the entry removed, so its default
// applies), then every range rule and message of loading, and the result is
// written back. `settings` is the record as loaded from that file
// afterwards. Returns 0; kInvalidField for a key SaveSettings does not write
// or a text with a line break; kWriteFailed when the file could not be read
// or written (nothing changed then).
int StoreSetting(Settings& settings, Feedback& feedback, const std::string& key, const std::optional<std::string>& text);

}  // namespace tav
