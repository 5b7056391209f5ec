// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/settings_dialog.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tav {

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// An unsigned decimal number, blanks around it allowed; nullopt for anything
// else, also for a number beyond 32 bits.
std::optional<uint32_t> UnsignedField(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (begin == end) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::string RangeMessage(const char* label, uint32_t lowest, uint32_t highest) {
  return std::string(label) + ": Bitte eine ganze Zahl zwischen " + std::to_string(lowest) + " und " +
         std::to_string(highest) + " eingeben.";
}

// Reads one number field; on failure fills `refusal` for `field`.
bool ReadNumber(const std::string& text, SettingsField field, const char* label, uint32_t lowest, uint32_t highest,
                uint32_t& value, std::optional<SettingsDialogRefusal>& refusal) {
  const std::optional<uint32_t> number = UnsignedField(text);
  if (!number || *number < lowest || *number > highest) {
    refusal = SettingsDialogRefusal{field, RangeMessage(label, lowest, highest)};
    return false;
  }
  value = *number;
  return true;
}

}  // namespace

int32_t PortTextValue(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 0);
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

SettingsDialogFields FillSettingsDialog(const Settings& settings) {
  SettingsDialogFields fields;
  char port[16];
  std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(settings.PortAdress));
  fields.PortText = port;
  for (size_t i = 0; i < kPortListEntries.size(); ++i) {
    if (StartsWithIgnoringCase(kPortListEntries[i], fields.PortText)) {
      fields.PortEntry = static_cast<int>(i);
      fields.PortText = kPortListEntries[i];
      break;
    }
  }
  fields.TimeOutText = std::to_string(settings.TimeOut);
  fields.KorrekturText = std::to_string(settings.TimeBaseKorr);
  fields.HexLineLenText = std::to_string(settings.HexLineLen);
  fields.Beep = settings.MessageBeap != 0;
  return fields;
}

std::optional<SettingsDialogRefusal> ConfirmSettingsDialog(const SettingsDialogFields& fields, Settings& settings) {
  // The port is checked like the settings file checks it: an address the
  // next start would throw away, or one without digits (port 0 belongs to
  // the PC's DMA controller), never reaches the register protocol.
  const int32_t port = PortTextValue(fields.PortText);
  if (port < kLowestPortAdress || port > kHighestPortAdress) {
    char text[120];
    std::snprintf(text, sizeof text, "Portadresse: Bitte eine Adresse zwischen 0x%X und 0x%X eingeben.",
                  static_cast<unsigned>(kLowestPortAdress), static_cast<unsigned>(kHighestPortAdress));
    return SettingsDialogRefusal{SettingsField::PortAdress, text};
  }
  std::optional<SettingsDialogRefusal> refusal;
  uint32_t timeOut = 0, korrektur = 0, lineLength = 0;
  if (!ReadNumber(fields.TimeOutText, SettingsField::TimeOut, "Timeout-Zähler", kLowestDialogTimeOut,
                  kHighestDialogTimeOut, timeOut, refusal) ||
      !ReadNumber(fields.KorrekturText, SettingsField::TimeBaseKorr, "Korrektur", kLowestDialogKorrektur,
                  kHighestDialogKorrektur, korrektur, refusal) ||
      !ReadNumber(fields.HexLineLenText, SettingsField::HexLineLen, "Länge HEX-Zeile", kLowestDialogHexLineLen,
                  kHighestDialogHexLineLen, lineLength, refusal)) {
    return refusal;
  }
  settings.SetPortAdress(port);
  settings.TimeOut = timeOut;
  settings.TimeBaseKorr = static_cast<int32_t>(korrektur);
  settings.HexLineLen = lineLength & ~1u;  // hex lines hold whole byte pairs
  settings.MessageBeap = fields.Beep ? 1 : 0;
  return std::nullopt;
}

}  // namespace tav
