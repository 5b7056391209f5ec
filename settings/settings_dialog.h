// The settings dialog ("Einstellungen") without a toolkit: what its fields
// show when it opens, the checks "OK" makes and what it then applies. A
// window copies the fields into its controls, lets the user edit them and
// hands them back on "OK"; cancelling simply drops the copy.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "settings/settings.h"

namespace tav {

// The fields in the order "OK" checks them.
enum class SettingsField { PortAdress, TimeOut, TimeBaseKorr, HexLineLen, MessageBeap };

// The entries of the "Portadresse" drop-down list, in the order shown.
inline constexpr std::array<const char*, 5> kPortListEntries = {"0x3BC", "0x378", "0x278", "0x338", "0x238"};

// Accepted ranges of the three number fields.
inline constexpr uint32_t kLowestDialogTimeOut = 10000;
inline constexpr uint32_t kHighestDialogTimeOut = 10000000;
// The correction takes what the settings file and a saved calibration take:
// a calibrated value below 70 must not lock the dialog (and with it the port
// address) against every confirmation.
inline constexpr uint32_t kLowestDialogKorrektur = 1;
inline constexpr uint32_t kHighestDialogKorrektur = 100;
inline constexpr uint32_t kLowestDialogHexLineLen = 2;
inline constexpr uint32_t kHighestDialogHexLineLen = 254;

struct SettingsDialogFields {
  std::string PortText;        // text of the "Portadresse" field
  int PortEntry = -1;          // list entry showing on opening; -1 = none, PortText only
  std::string TimeOutText;     // "Timeout-Zähler"
  std::string KorrekturText;   // "Korrektur"
  std::string HexLineLenText;  // "Länge HEX-Zeile"
  bool Beep = false;           // "Signalton"
};

// Why "OK" kept the dialog open: the field to give the focus to and the
// message to show.
struct SettingsDialogRefusal {
  SettingsField Field;
  std::string Message;
};

// The fields as the dialog shows them on opening.
SettingsDialogFields FillSettingsDialog(const Settings& settings);

// "OK": checks the fields in their order and stops at the first that fails,
// leaving `settings` untouched; otherwise applies all five and returns
// nullopt.
std::optional<SettingsDialogRefusal> ConfirmSettingsDialog(const SettingsDialogFields& fields, Settings& settings);

// The port text as a number, like strtol with base 0: "0x" hexadecimal, a
// leading 0 octal, otherwise decimal, up to the first character that does not
// fit; no digits give 0. Values beyond the 32-bit range saturate.
int32_t PortTextValue(const std::string& text);

}  // namespace tav
