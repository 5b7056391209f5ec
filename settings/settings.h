// The persistent settings (QUENVALD.INI) and their in-memory record.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

class Feedback;

// Port base addresses the settings file accepts. The settings dialog keeps to
// the same range, so that what it lets through survives the next start.
inline constexpr int32_t kLowestPortAdress = 0x200;
inline constexpr int32_t kHighestPortAdress = 0x400;

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
// write leaves the previous file as it was and is not reported.
void SaveSettings(Settings& settings);

}  // namespace tav
