// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/device_library.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/feedback.h"
#include "library/library_text.h"
#include "base/result_codes.h"
#include "settings/native_path.h"
#include "settings/paths.h"
#include "settings/settings.h"
#include "settings/time_base.h"

namespace tav {

namespace {

constexpr char kLibraryName[] = "8789LIST";
constexpr char kLibraryExtension[] = ".CSV";
constexpr uint32_t kLargestSize = 65536;
constexpr int kLargestLockBitCount = 3;

// Walks the ';'-terminated fields of one device line. A field counts only
// when its ';' lies before the flag and the line end.
class FieldReader {
public:
  explicit FieldReader(const std::string& line) : line_(line) {}

  bool Next(std::string& field) {
    if (line_.size() < 3) return false;
    const size_t last = line_.size() - 3;  // last place a terminating ';' may be
    if (position_ > last) return false;
    const size_t semicolon = line_.find(';', position_);
    if (semicolon == std::string::npos || semicolon > last) return false;
    field.assign(line_, position_, semicolon - position_);
    position_ = semicolon + 1;
    return true;
  }

private:
  const std::string& line_;
  size_t position_ = 0;
};

// The y/n fields: only the first character is case-insensitive, so "yes"
// and "Yy" are refused.
bool ParseYesNo(const std::string& field, bool& value) {
  if (field.size() != 1) return false;
  const char c = field[0];
  if (c == 'Y' || c == 'y') {
    value = true;
    return true;
  }
  if (c == 'N' || c == 'n') {
    value = false;
    return true;
  }
  return false;
}

// The library's times in time-base units; 0 (no erase) and 1 (no pulse)
// are markers, not times, and stay as they are.
uint32_t LibraryTime(uint32_t microseconds, int32_t korr) {
  if (microseconds <= 1) return microseconds;
  return static_cast<uint32_t>(TimeBaseUnits(microseconds, korr));
}

DeviceOption OptionOf(const std::string& field) {
  if (field == "A14") return DeviceOption::A14;
  if (field == "OPTION") return DeviceOption::Option;
  if (field == "LOCKP12") return DeviceOption::LockP12;
  return DeviceOption::None;
}

}  // namespace

DeviceLibrary::DeviceLibrary(Settings& settings, DeviceRecord& device, Feedback& feedback)
    : settings_(settings), device_(device), feedback_(feedback) {}

DeviceLibrary::~DeviceLibrary() { CloseLibrary(); }

std::string DeviceLibrary::LibraryFilePath() const {
  if (!libraryPath_.empty()) return libraryPath_;
  PathParts parts = SplitPath(settings_.SettingsFilePath);
  parts.name = kLibraryName;
  parts.extension = kLibraryExtension;
  return JoinPath(parts);
}

int DeviceLibrary::OpenLibrary() {
  CloseLibrary();
  // Binary mode: line ends are folded by ReadLibraryLine, identically on
  // every platform.
  // A directory of that name would open on some systems and read as empty.
  std::error_code ec;
  const std::string path = LibraryFilePath();
  if (!std::filesystem::is_directory(NativePath(path), ec)) file_ = OpenFile(path, "rb");
  if (file_ == nullptr) {
    feedback_.ShowInfo("Kann Bauteilbibliothek nicht öffnen !");
    return kLibraryUnusable;
  }
  // An editor's UTF-8 signature would make the first header line start with
  // three foreign bytes, and the first manufacturer would vanish.
  char signature[3] = {};
  if (std::fread(signature, 1, 3, file_) != 3 || std::memcmp(signature, "\xEF\xBB\xBF", 3) != 0) {
    std::rewind(file_);
  }
  return kSuccess;
}

void DeviceLibrary::CloseLibrary() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

bool DeviceLibrary::ReadLine(std::string& line) { return ReadLibraryLine(file_, line); }

int DeviceLibrary::SeekManufacturer() {
  std::string line;
  int32_t number = -1;
  while (ReadLine(line)) {
    if (IsHeaderLine(line) && IsActiveLine(line)) {
      ++number;
      // A negative index (never written by the settings loader) means the
      // first manufacturer rather than none.
      if (number >= settings_.ManufIndex) return kSuccess;
    }
  }
  feedback_.ShowInfo("Hersteller in Bibliothek nicht gefunden !");
  return kLibraryUnusable;
}

int DeviceLibrary::NextManufacturerName(std::string& name) {
  std::string line;
  while (ReadLine(line)) {
    if (IsHeaderLine(line) && IsActiveLine(line)) {
      name = DisplayText(ManufacturerNameOf(line));
      return kSuccess;
    }
  }
  return kEndOfList;
}

int DeviceLibrary::NextDevice() {
  std::string line;
  while (ReadLine(line)) {
    if (IsHeaderLine(line)) return kEndOfList;
    if (IsActiveLine(line)) return ParseDeviceLine(line);
  }
  return kEndOfList;
}

int DeviceLibrary::LoadSelectedDevice() {
  if (OpenLibrary() != kSuccess) return kLibraryUnusable;
  if (SeekManufacturer() != kSuccess) {
    CloseLibrary();
    return kLibraryUnusable;
  }
  std::string line;
  int32_t number = -1;
  for (;;) {
    if (!ReadLine(line)) {
      feedback_.ShowInfo("Fehler beim lesen der Bibliothek !");
      CloseLibrary();
      return kLibraryUnusable;
    }
    if (IsHeaderLine(line)) {
      feedback_.ShowInfo("Keine Bausteine für diesen\n\n Hersteller in der Liste !");
      CloseLibrary();
      return kLibraryUnusable;
    }
    if (!IsActiveLine(line)) continue;
    ++number;
    // Only an active line may end the search, so a negative DeviceIndex
    // cannot make a comment line the current device.
    if (number >= settings_.DeviceIndex) break;
  }
  CloseLibrary();
  return ParseDeviceLine(line) == kSuccess ? kSuccess : kLibraryUnusable;
}

int DeviceLibrary::Refuse(const std::string& text) {
  feedback_.ShowInfo(text);
  return kInvalidField;
}

int DeviceLibrary::ParseDeviceLine(const std::string& line) {
  FieldReader fields(line);
  std::string field;
  const std::string path = LibraryFilePath();

  if (!fields.Next(field)) return kLibraryUnusable;
  device_.DeviceName = DisplayText(field);
  const std::string& name = device_.DeviceName;
  const std::string intro = name + "\n\n";

  if (!fields.Next(field)) return kLibraryUnusable;
  if (field == "DIP20") {
    device_.Package = 20;
  } else if (field == "DIP40") {
    device_.Package = 40;
  } else {
    return Refuse(intro + "Unbekannte Gehäuseform\n\n in '" + path + "' Datei");
  }

  if (!fields.Next(field)) return kLibraryUnusable;
  uint32_t value = ParseLibraryNumber(field);
  if (value > 25500) {
    return Refuse(intro + "Die Programmierspannung\nist viel zu groß !!\n\n in '" + path + "' Datei");
  }
  device_.VppCode = static_cast<uint8_t>(value / 100);

  if (!fields.Next(field)) return kLibraryUnusable;
  value = ParseLibraryNumber(field);
  if (value > 12750) {
    return Refuse(intro + "Die Betriebsspannung im\nProgrammiermodus ist zu groß !!\n\n in '" + path +
                  "' Datei");
  }
  if (value == 0) {
    return Refuse(intro + "Die Betriebsspannung im\nProgrammiermodus ist 0 !!\n\n in '" + path +
                  "' Datei");
  }
  device_.VccProgCode = static_cast<uint8_t>(value / 50);

  if (!fields.Next(field)) return kLibraryUnusable;
  device_.ProgPulseTime = LibraryTime(ParseLibraryNumber(field), settings_.TimeBaseKorr);
  if (!fields.Next(field)) return kLibraryUnusable;
  device_.ProgPulseCount = ParseLibraryNumber(field);
  if (!fields.Next(field)) return kLibraryUnusable;
  device_.LockPulseCount = ParseLibraryNumber(field);
  if (!fields.Next(field)) return kLibraryUnusable;
  const uint32_t eraseMicroseconds = ParseLibraryNumber(field);
  device_.EraseTime = LibraryTime(eraseMicroseconds, settings_.TimeBaseKorr);
  // An erase time of 1 is the library's way of saying "no erase pulse"; a
  // real time too short for two register writes must not turn into that.
  if (eraseMicroseconds > 1 && device_.EraseTime == 1) device_.EraseTime = 2;

  uint8_t* const signature[] = {&device_.ManufacturerId000, &device_.DeviceIdDip20,
                                &device_.ManufacturerId030, &device_.DeviceId031,
                                &device_.DeviceId032,       &device_.DeviceId060,
                                &device_.DeviceId100,       &device_.DeviceId200};
  for (uint8_t* byte : signature) {
    if (!fields.Next(field)) return kLibraryUnusable;
    *byte = static_cast<uint8_t>(ParseLibraryNumber(field) & 0xFF);
  }

  if (!fields.Next(field)) return kLibraryUnusable;
  if (!ParseYesNo(field, device_.P33High)) {
    return Refuse(intro + "Falscher Eintrag für P3.3\nin " + path +
                  " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: " + DisplayText(field) + "\n");
  }

  if (!fields.Next(field)) return kLibraryUnusable;
  value = ParseLibraryNumber(field);
  if (value > kLargestSize) {
    char limit[48];
    std::snprintf(limit, sizeof limit, "%lu (0x%lX)", static_cast<unsigned long>(kLargestSize),
                  static_cast<unsigned long>(kLargestSize));
    return Refuse(intro + "Bausteingröße überschreitet " + limit +
                  " Bytes!!\n\nBausteine dieser Größe werden nicht unterstützt !!\n");
  }
  if (value == 0) return Refuse(intro + "Bausteingröße ist 0 !!\n\n in " + path);
  device_.SizeBytes = value;

  if (!fields.Next(field)) return kLibraryUnusable;
  const int lockBits = static_cast<int>(ParseLibraryNumber(field) & 0xFF);
  if (lockBits > kLargestLockBitCount) {
    return Refuse(intro + "Falscher Wert für die Lockbits in \n\n" + path +
                  " !!\n\nEintrag darf nur von 0-" + std::to_string(kLargestLockBitCount) +
                  " gehen.\nGelesener Wert: " + std::to_string(lockBits));
  }
  device_.LockBitCount = static_cast<uint8_t>(lockBits);

  // Reserved number: read so that a missing field still counts, not kept.
  if (!fields.Next(field)) return kLibraryUnusable;

  if (!fields.Next(field)) return kLibraryUnusable;
  device_.Option = OptionOf(field);
  if (!fields.Next(field)) return kLibraryUnusable;
  device_.Vcc65 = field == "VCC65";

  if (!fields.Next(field)) return kLibraryUnusable;
  if (!ParseYesNo(field, device_.KVp)) {
    return Refuse(intro + "Falscher Eintrag für KVp\nin " + path +
                  " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: " + DisplayText(field) + "\n");
  }
  return kSuccess;
}

}  // namespace tav
