// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/settings.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "base/result_codes.h"
#include "settings/ini_file.h"
#include "settings/native_path.h"
#include "settings/paths.h"
#include "settings/profile_numbers.h"

namespace tav {

namespace {

constexpr const char* kFileName = "QUENVALD.INI";
constexpr const char* kHardware = "Hardware";
constexpr const char* kBrastel = "Brastel INI-Section";
// Text entries are read into a buffer of 260 bytes.
constexpr size_t kMaxText = 259;

constexpr int32_t kDefaultPort = 0x378;
constexpr uint32_t kMinTimeOut = 1000000;
// The settings dialog's upper limit. Far beyond it (a negative entry reads as
// 4294967295) a single failed detection would wait for hours.
constexpr uint32_t kMaxTimeOut = 10000000;

// Reading with the defaults and conversions of the private-profile functions.
class ProfileReader {
public:
  explicit ProfileReader(const IniFile& ini) : ini_(ini) {}

  int32_t Int(const char* section, const char* key, int32_t fallback) const {
    const char* text = ini_.Find(section, key);
    return text == nullptr ? fallback : ProfileInt(text);
  }

  std::string Text(const char* section, const char* key, const std::string& fallback) const {
    const char* text = ini_.Find(section, key);
    std::string value = text == nullptr ? fallback : std::string(text);
    if (value.size() > kMaxText) value.resize(kMaxText);
    return value;
  }

  // A path entry: as Text, with the quotes of QuotedPath taken off first.
  std::string Path(const char* section, const char* key, const std::string& fallback) const {
    const char* text = ini_.Find(section, key);
    if (text == nullptr) return fallback;
    std::string value(text);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxText) value.resize(kMaxText);
    return value;
  }

private:
  const IniFile& ini_;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The INI reader drops the blanks around a value, so a file name that begins
// or ends with one would come back as another name. Such a path is written
// inside double quotes, which the reader takes off again, as the Windows
// profile functions do; so is a path that is itself wrapped in quotes.
// Entries written unquoted before read as they always did.
std::string QuotedPath(const std::string& path) {
  const bool blankEdge = !path.empty() && (IsBlank(path.front()) || IsBlank(path.back()));
  const bool wrapped = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  return blankEdge || wrapped ? '"' + path + '"' : path;
}

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t fallback) {
  return value >= low && value <= high ? value : fallback;
}

bool SameKey(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return a[i] == '\0' && i == b.size();
}

int Flag(int32_t value) { return value != 0 ? 1 : 0; }
int OnlyOne(int32_t value) { return value == 1 ? 1 : 0; }

std::string NameAndExtension(const std::string& path) {
  const PathParts parts = SplitPath(path);
  return parts.name + parts.extension;
}

}  // namespace

namespace {

// Every rule of loading, on the profile in memory.
void ApplyLoadRules(Settings& s, Feedback& feedback, const IniFile& ini) {
  const ProfileReader read(ini);

  // The port address is checked before MessageBeap has been read, and the
  // record's beep switch is still off at that moment, so the port-address
  // message never beeps. The feedback reads this very field.
  s.MessageBeap = 0;
  const std::string portText = read.Text(kHardware, "PortAdress", "378");
  const std::optional<int32_t> port = ProfileHex(portText);
  if (!port || *port < kLowestPortAdress || *port > kHighestPortAdress) {
    feedback.ShowInfo(
        "Portadresse in\n'QUENVALD.INI'\nkann nicht stimmen!!\n\nNehme Standardwert von 0x378.");
    s.SetPortAdress(kDefaultPort);
  } else {
    s.SetPortAdress(*port);
  }

  s.DebugNT = InRange(read.Int(kHardware, "DebugNT", 0), 0, 1, 0);
  s.SearchHardware = InRange(read.Int(kHardware, "SearchHardware", 2), 2, 5, 2);
  const uint32_t timeOut = ProfileUnsigned(read.Text(kHardware, "TimeOut", "1000000"));
  if (timeOut > kMaxTimeOut) {
    feedback.ShowInfo(
        "Timeout-Zähler in\n'QUENVALD.INI'\nkann nicht stimmen!!\n\nNehme Standardwert von 1000000.");
    s.TimeOut = kMinTimeOut;
  } else {
    s.TimeOut = timeOut < kMinTimeOut ? kMinTimeOut : timeOut;
  }
  s.MessageBeap = Flag(read.Int(kHardware, "MessageBeap", 1));
  s.TimeBaseKorr = InRange(read.Int(kHardware, "TimeBaseKorr", 85), 1, 100, 85);

  s.FFSave = OnlyOne(read.Int(kBrastel, "FFSave", 0));
  s.Verify = Flag(read.Int(kBrastel, "Verify", 1));
  s.XKoord = InRange(read.Int(kBrastel, "X-Koord", 10), 0, 1024, 10);
  s.YKoord = InRange(read.Int(kBrastel, "Y-Koord", 10), 0, 768, 10);
  s.ShowDeviceData = OnlyOne(read.Int(kBrastel, "ShowDeviceData", 0));
  const int32_t manuf = read.Int(kBrastel, "ManufIndex", 0);
  s.ManufIndex = manuf < 0 ? 1 : manuf;
  const int32_t device = read.Int(kBrastel, "DeviceIndex", 0);
  s.DeviceIndex = device < 0 ? 0 : device;
  s.IDCheck = (read.Int(kBrastel, "IDCheck", 1) & 0xFF) != 0 ? 1 : 0;
  s.TestChecksum = Flag(read.Int(kBrastel, "TestChecksum", 1));
  s.Lock1 = OnlyOne(read.Int(kBrastel, "Lock1", 0));
  s.Lock2 = OnlyOne(read.Int(kBrastel, "Lock2", 0));
  s.Lock3 = OnlyOne(read.Int(kBrastel, "Lock3", 0));

  // Only the low byte counts and the length is always even: 300 gives 44,
  // 255 gives 254, and 0 or 1 end up as 0, which cannot be a line length.
  s.HexLineLen = static_cast<uint32_t>(read.Int(kBrastel, "HexLineLen", 32)) & 0xFEu;
  if (s.HexLineLen == 0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Der Wert für die Länge der HEX-Zeilen ist größer 254 oder kleiner 2.\n"
                  "Eingetragene Länge %d\n\nWert geändert auf Standardwert = 32 Datenbytes",
                  static_cast<int>(s.HexLineLen));
    feedback.ShowInfo(text);
    s.HexLineLen = 32;
  }

  s.DataFormat = InRange(read.Int(kBrastel, "DataFormat", 1), 1, 9, 1);
  s.ReadFilter = InRange(read.Int(kBrastel, "ReadFilter", 1), 1, 3, 1);

  // DataPath names a directory only when it ends in a separator; otherwise
  // its last component is taken as a file name and dropped.
  const std::string dataPath = read.Path(kBrastel, "DataPath", DefaultDataPath());
  s.DataDirectory = dataPath;
  const PathParts dataParts = SplitPath(dataPath);
  const PathParts fileParts = SplitPath(read.Path(kBrastel, "LastFile", "tmp"));
  s.ProgramFilePath = JoinPath({dataParts.drive, dataParts.directory, fileParts.name, fileParts.extension});
  s.ProgramFileName = fileParts.name + fileParts.extension;
}

}  // namespace

void LoadSettings(Settings& s, Feedback& feedback, const std::string& directory) {
  std::string dir = directory.empty() ? CurrentDirectory() : directory;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  s.SettingsFilePath = dir + kFileName;

  IniFile ini;
  // An unreadable file is treated like a missing one: every key its default.
  ini.Load(s.SettingsFilePath);
  ApplyLoadRules(s, feedback, ini);
}

std::vector<SettingsEntry> SettingsEntries(const Settings& s) {
  char port[16];
  std::snprintf(port, sizeof port, "%x", static_cast<unsigned>(s.PortAdress));
  const PathParts parts = SplitPath(s.ProgramFilePath);
  return {
      {kHardware, "PortAdress", port},
      {kHardware, "SearchHardware", std::to_string(s.SearchHardware)},
      // Written as a signed number; ProfileUnsigned reads it back unchanged.
      {kHardware, "TimeOut", std::to_string(static_cast<int32_t>(s.TimeOut))},
      {kHardware, "TimeBaseKorr", std::to_string(s.TimeBaseKorr)},
      {kHardware, "MessageBeap", std::to_string(s.MessageBeap)},
      {kBrastel, "Verify", std::to_string(s.Verify)},
      {kBrastel, "FFSave", std::to_string(s.FFSave)},
      {kBrastel, "X-Koord", std::to_string(s.XKoord)},
      {kBrastel, "Y-Koord", std::to_string(s.YKoord)},
      {kBrastel, "DataFormat", std::to_string(s.DataFormat)},
      {kBrastel, "ManufIndex", std::to_string(s.ManufIndex)},
      {kBrastel, "DeviceIndex", std::to_string(s.DeviceIndex)},
      {kBrastel, "TestChecksum", std::to_string(s.TestChecksum)},
      {kBrastel, "ShowDeviceData", std::to_string(s.ShowDeviceData)},
      {kBrastel, "IDCheck", std::to_string(static_cast<int>(s.IDCheck))},
      {kBrastel, "Lock1", std::to_string(s.Lock1)},
      {kBrastel, "Lock2", std::to_string(s.Lock2)},
      {kBrastel, "Lock3", std::to_string(s.Lock3)},
      {kBrastel, "ReadFilter", std::to_string(s.ReadFilter)},
      {kBrastel, "HexLineLen", std::to_string(static_cast<int32_t>(s.HexLineLen))},
      {kBrastel, "DataPath", QuotedPath(parts.drive + parts.directory)},
      {kBrastel, "LastFile", QuotedPath(parts.name + parts.extension)},
  };
}

bool SaveSettings(Settings& s) {
  IniFile ini;
  // An existing file that cannot be read is not overwritten: its other
  // sections and keys would be lost.
  if (!ini.Load(s.SettingsFilePath)) return false;

  // A path with a line break cannot be stored in a line of the file. The two
  // entries name one file together, so then both keep their previous values.
  const bool pathFits = s.ProgramFilePath.find_first_of("\r\n") == std::string::npos;
  for (const SettingsEntry& entry : SettingsEntries(s)) {
    const bool pathEntry = std::string_view(entry.key) == "DataPath" || std::string_view(entry.key) == "LastFile";
    if (pathFits || !pathEntry) ini.Write(entry.section, entry.key, entry.text);
  }
  s.ProgramFileName = NameAndExtension(s.ProgramFilePath);
  // The user's settings folder (~/.config/tavrolith/) is made at the first
  // save; a folder that cannot be made fails the save below.
  const PathParts parts = SplitPath(s.SettingsFilePath);
  std::error_code error;
  if (!parts.directory.empty()) std::filesystem::create_directories(NativePath(parts.drive + parts.directory), error);
  return ini.Save(s.SettingsFilePath);
}

int StoreSetting(Settings& s, Feedback& feedback, const std::string& key, const std::optional<std::string>& text) {
  const SettingsEntry* known = nullptr;
  const std::vector<SettingsEntry> entries = SettingsEntries(s);
  for (const SettingsEntry& entry : entries) {
    if (SameKey(entry.key, key)) known = &entry;
  }
  if (known == nullptr) return kInvalidField;
  IniFile ini;
  if (!ini.Load(s.SettingsFilePath)) return kWriteFailed;
  if (text ? !ini.Write(known->section, known->key, *text) : !ini.Remove(known->section, known->key)) {
    return kInvalidField;
  }
  // The stored text goes through the rules of the next start now, so that
  // what is kept is what that start would use, with the same messages.
  Settings loaded;
  loaded.SettingsFilePath = s.SettingsFilePath;
  ApplyLoadRules(loaded, feedback, ini);
  if (!SaveSettings(loaded)) return kWriteFailed;
  s = loaded;
  return kSuccess;
}

}  // namespace tav
