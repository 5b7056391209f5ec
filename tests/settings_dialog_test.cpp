// SPDX-License-Identifier: GPL-2.0-or-later
// The settings dialog: what it shows on opening, the port texts and the
// number ranges "OK" accepts, and that a refused "OK" applies nothing.
#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace tav {
namespace {

using D = SettingsDialogFields;
// The four text fields in the order of SettingsField.
std::string D::*const kTexts[] = {&D::PortText, &D::TimeOutText, &D::KorrekturText, &D::HexLineLenText};

// The five values the dialog edits, on one line.
std::string Five(const Settings& s) {
  char text[120];
  std::snprintf(text, sizeof text, "port %X/%X/%X timeout %u korr %d len %u beep %d", unsigned(s.PortAdress),
                unsigned(s.StatusPort), unsigned(s.ControlPort), s.TimeOut, s.TimeBaseKorr, s.HexLineLen,
                s.MessageBeap);
  return text;
}

TEST(SettingsDialog, OpeningShowsTheListEntryThatBeginsWithThePortText) {
  const std::pair<int32_t, const char*> cases[] = {{0x378, "1 0x378"},  {0x3BC, "0 0x3BC"},  {0x238, "4 0x238"},
                                                   {0x3E8, "-1 0x3E8"}, {0x400, "-1 0x400"}, {0x33, "3 0x338"}};
  for (const auto& [port, shown] : cases) {
    Settings settings;
    settings.SetPortAdress(port);
    EXPECT_EQ(std::to_string(FillSettingsDialog(settings).PortEntry) + " " + FillSettingsDialog(settings).PortText, shown);
  }
}

// The port text is read with automatic base (8 is no octal digit: it ends
// the number); what the next start would replace by 0x378, and port 0 from a
// text without digits, are refused, as are numbers that only a cut to 32
// bits would bring into range. Line lengths become even.
TEST(SettingsDialog, EveryFieldKeepsItsRangeAndARefusalNamesTheFieldAndAppliesNothing) {
  using enum SettingsField;
  // (field, text typed, text shown on the next opening; nullptr = refused)
  const struct { SettingsField field; const char *text, *shownAfterwards; } cases[] = {
      {PortAdress, "888", "0x378"},     {PortAdress, "0x3bc", "0x3BC"},  {PortAdress, " 0x278 Drucker", "0x278"},
      {PortAdress, "0x100", "0x100"},   {PortAdress, "01000", "0x200"},  {PortAdress, "0xFFFD", "0xFFFD"},
      {PortAdress, "0378", nullptr},    {PortAdress, "0370", nullptr},   {PortAdress, "", nullptr},
      {PortAdress, "keine", nullptr},   {PortAdress, "0xFF", nullptr},   {PortAdress, "0xFFFE", nullptr},
      {PortAdress, "-0x378", nullptr},  {PortAdress, "4294968184", nullptr}, {PortAdress, "-4294966408", nullptr},
      {TimeOut, "9999", nullptr},       {TimeOut, "10000", "10000"},     {TimeOut, "10000000", "10000000"},
      {TimeOut, "10000001", nullptr},   {TimeOut, "4294977296", nullptr}, {TimeBaseKorr, "0", nullptr},
      {TimeBaseKorr, " 1 ", "1"},       {TimeBaseKorr, "100", "100"},    {TimeBaseKorr, "101", nullptr},
      {TimeBaseKorr, "", nullptr},      {TimeBaseKorr, "+85", nullptr},  {TimeBaseKorr, "8 5", nullptr},
      {HexLineLen, "1", nullptr},       {HexLineLen, "2", "2"},          {HexLineLen, "3", "2"},
      {HexLineLen, "253", "252"},       {HexLineLen, "254", "254"},      {HexLineLen, "255", nullptr},
      {HexLineLen, "-2", nullptr},      {HexLineLen, "0x20", nullptr},
  };
  const char* const messages[] = {"Portadresse: Bitte eine Adresse zwischen 0x100 und 0xFFFD eingeben.",
                                  "Timeout-Zähler: Bitte eine ganze Zahl zwischen 10000 und 10000000 eingeben.",
                                  "Korrektur: Bitte eine ganze Zahl zwischen 1 und 100 eingeben.",
                                  "Länge HEX-Zeile: Bitte eine ganze Zahl zwischen 2 und 254 eingeben."};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const int field = static_cast<int>(c.field);
    D fields = FillSettingsDialog(Settings{});
    fields.*kTexts[field] = c.text;
    Settings settings;
    const auto refusal = ConfirmSettingsDialog(fields, settings);
    ASSERT_EQ(refusal.has_value(), c.shownAfterwards == nullptr);
    if (refusal) {
      EXPECT_EQ(refusal->Field, c.field);
      EXPECT_EQ(refusal->Message, messages[field]);
      EXPECT_EQ(Five(settings), Five(Settings{}));
    } else {
      EXPECT_EQ(FillSettingsDialog(settings).*kTexts[field], c.shownAfterwards);
    }
  }
}

TEST(SettingsDialog, OkStopsAtTheFirstFailingFieldAndAppliesNothingUntilAllPass) {
  Settings settings;
  settings.MessageBeap = 0;
  settings.TimeOut = 4000000000u;  // beyond INT32_MAX
  const std::string before = Five(settings);
  EXPECT_EQ(FillSettingsDialog(settings).TimeOutText + (FillSettingsDialog(settings).Beep ? " beep" : ""), "4000000000");
  D fields{"0x278", -1, "50000", "150", "0", true};
  EXPECT_EQ(ConfirmSettingsDialog(fields, settings)->Field, SettingsField::TimeBaseKorr);
  fields.KorrekturText = "75";
  EXPECT_EQ(ConfirmSettingsDialog(fields, settings)->Field, SettingsField::HexLineLen);
  fields.PortText = "0";
  EXPECT_EQ(ConfirmSettingsDialog(fields, settings)->Field, SettingsField::PortAdress);
  EXPECT_EQ(Five(settings), before);  // like "Abbrechen" after editing every field
  fields.PortText = "0x278";
  fields.HexLineLenText = "17";
  EXPECT_FALSE(ConfirmSettingsDialog(fields, settings));
  EXPECT_EQ(Five(settings), "port 278/279/27A timeout 50000 korr 75 len 16 beep 1");
}

}  // namespace
}  // namespace tav
