// SPDX-License-Identifier: GPL-2.0-or-later
// The config command: the stored settings, which every run starts from and
// the window shares. Nothing else on the command line writes them.
#include <optional>

#include "app/cli/cli_help.h"
#include "app/cli/cli_session.h"

namespace tav {

// The device by name: its two list positions are what the file keeps.
constexpr const char* kDeviceKey = "Device";

int CliSession::CommandConfig() {
  const std::vector<std::string>& words = options_.files;
  auto usage = [&](const std::string& text) {
    std::fprintf(err_, "tavrolith-cli: %s\n%s\n", text.c_str(), kUsageHint);
    return kUsageError;
  };
  if (words.empty()) {
    std::fprintf(out_, "# %s\n", settings_.SettingsFilePath.c_str());
    const char* section = "";
    for (const SettingsEntry& entry : SettingsEntries(settings_)) {
      if (std::string(section) != entry.section) std::fprintf(out_, "[%s]\n", entry.section);
      section = entry.section;
      std::fprintf(out_, "%s=%s\n", entry.key, entry.text.c_str());
    }
    return 0;
  }
  const bool set = words[0] == "set";
  if (!(set && words.size() == 3) && !(words[0] == "reset" && words.size() == 2)) {
    return usage("config set SCHLÜSSEL WERT, config reset SCHLÜSSEL, oder config allein");
  }
  const std::string& key = words[1];
  std::vector<std::pair<std::string, std::optional<std::string>>> changes;
  if (SameNameIgnoringCase(key, kDeviceKey)) {
    if (!set) {
      changes = {{"ManufIndex", std::nullopt}, {"DeviceIndex", std::nullopt}};
    } else {
      const int selected = SelectDevice(words[2]);
      if (selected != 0) return selected;
      changes = {{"ManufIndex", std::to_string(settings_.ManufIndex)},
                 {"DeviceIndex", std::to_string(settings_.DeviceIndex)}};
    }
  } else {
    changes = {{key, set ? std::optional<std::string>(words[2]) : std::nullopt}};
  }
  for (const auto& [name, text] : changes) {
    const int result = StoreSetting(settings_, feedback_, name, text);
    if (result == kInvalidField) {
      return usage("config: unbekannter Schlüssel oder Wert mit Zeilenumbruch: '" + name +
                   "' (tavrolith-cli config zeigt die Schlüssel; dazu Device)");
    }
    if (result != 0) {
      std::fprintf(err_, "%s kann nicht gelesen oder geschrieben werden.\n", settings_.SettingsFilePath.c_str());
      return result;
    }
  }
  for (const auto& [name, text] : changes) {
    for (const SettingsEntry& entry : SettingsEntries(settings_)) {
      if (SameNameIgnoringCase(entry.key, name)) {
        std::fprintf(out_, "%s=%s\n", entry.key, entry.text.c_str());
        finalLine_ = std::string(entry.key) + "=" + entry.text;
      }
    }
  }
  return 0;
}

}  // namespace tav
