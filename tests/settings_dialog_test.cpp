// SPDX-License-Identifier: GPL-2.0-or-later
// The settings dialog: what it shows on opening, the port texts and the
// number ranges "OK" accepts, and that a refused "OK" applies nothing.
#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace tav {
namespace {

// The five values the dialog edits, on one line.
std::string Five(const Settings& s) {
  char text[120];
  std::snprintf(text, sizeof text, "port %X/%X/%X timeout %u korr %d len %u beep %d", unsigned(s.PortAdress),
                unsigned(s.StatusPort), unsigned(s.ControlPort), s.TimeOut, s.TimeBaseKorr, s.HexLineLen,
                s.MessageBeap);
  return text;
}

// The fields of a dialog opened on the default settings, with one text
// field (in the order of SettingsField) changed.
SettingsDialogFields Edited(SettingsField field, const std::string& text) {
  using D = SettingsDialogFields;
  SettingsDialogFields fields = FillSettingsDialog(Settings{});
  std::string D::*const texts[] = {&D::PortText, &D::TimeOutText, &D::KorrekturText, &D::HexLineLenText};
  fields.*texts[static_cast<int>(field)] = text;
  return fields;
}

TEST(SettingsDialog, OpeningShowsTheListEntryThatBeginsWithThePortText) {
  struct Case {
    int32_t port;
    int entry;
    const char* text;
  } const cases[] = {{0x378, 1, "0x378"}, {0x3BC, 0, "0x3BC"}, {0x238, 4, "0x238"}, {0x3E8, -1, "0x3E8"},
                     {0x400, -1, "0x400"}, {0x33, 3, "0x338"}};
  for (const Case& c : cases) {
    Settings settings;
    settings.SetPortAdress(c.port);
    const SettingsDialogFields fields = FillSettingsDialog(settings);
    EXPECT_EQ(fields.PortEntry, c.entry) << c.text;
    EXPECT_EQ(fields.PortText, c.text);
  }
}

TEST(SettingsDialog, PortTextsConvertWithAutomaticBase) {
  // 8 is no octal digit: it ends the number.
  const std::pair<const char*, int32_t> cases[] = {{"0370", 248}, {"0378", 31}, {"0X3bc", 0x3BC}, {"keine", 0},
                                                   {"99999999999", INT32_MAX}};
  for (const auto& [text, value] : cases) EXPECT_EQ(PortTextValue(text), value) << text;
}

// What the next start would replace by 0x378, and port 0 from a text without
// digits, are refused; line lengths become even.
TEST(SettingsDialog, EveryFieldKeepsItsRangeAndARefusalNamesTheFieldAndAppliesNothing) {
  using F = SettingsField;
  struct Case {
    SettingsField field;
    const char* text;
    uint32_t stored;  // 0 = refused
  } const cases[] = {
      {F::PortAdress, "888", 0x378},      {F::PortAdress, "0x3bc", 0x3BC},   {F::PortAdress, " 0x278 Drucker", 0x278},
      {F::PortAdress, "0x200", 0x200},    {F::PortAdress, "0x400", 0x400},   {F::PortAdress, "01000", 0x200},
      {F::PortAdress, "0xD010", 0xD010},  {F::PortAdress, "0xFFFD", 0xFFFD}, {F::PortAdress, "0378", 0},
      {F::PortAdress, "", 0},             {F::PortAdress, "keine", 0},       {F::PortAdress, "0xFF", 0},
      {F::PortAdress, "0xFFFE", 0},       {F::PortAdress, "-0x378", 0},      {F::PortAdress, "99999999999", 0},
      {F::TimeOut, "9999", 0},            {F::TimeOut, "10000", 10000},      {F::TimeOut, "10000000", 10000000},
      {F::TimeOut, "10000001", 0},        {F::TimeOut, "4294977296", 0},     {F::TimeBaseKorr, "0", 0},
      {F::TimeBaseKorr, " 1 ", 1},      {F::TimeBaseKorr, "100", 100},     {F::TimeBaseKorr, "101", 0},
      {F::TimeBaseKorr, "", 0},           {F::TimeBaseKorr, "+85", 0},       {F::TimeBaseKorr, "8 5", 0},
      {F::HexLineLen, "1", 0},            {F::HexLineLen, "2", 2},           {F::HexLineLen, "3", 2},
      {F::HexLineLen, "33", 32},          {F::HexLineLen, "253", 252},       {F::HexLineLen, "254", 254},
      {F::HexLineLen, "255", 0},          {F::HexLineLen, "-2", 0},          {F::HexLineLen, "0x20", 0},
  };
  const char* const labels[] = {"Portadresse: Bitte eine Adresse zwischen 0x100 und 0xFFFD eingeben.",
                                "Timeout-Zähler: Bitte eine ganze Zahl zwischen 10000 und 10000000 eingeben.",
                                "Korrektur: Bitte eine ganze Zahl zwischen 1 und 100 eingeben.",
                                "Länge HEX-Zeile: Bitte eine ganze Zahl zwischen 2 und 254 eingeben."};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Settings settings;
    const auto refusal = ConfirmSettingsDialog(Edited(c.field, c.text), settings);
    if (c.stored == 0) {
      ASSERT_TRUE(refusal);
      EXPECT_EQ(refusal->Field, c.field);
      EXPECT_EQ(refusal->Message, labels[static_cast<int>(c.field)]);
      EXPECT_EQ(Five(settings), Five(Settings{}));
      continue;
    }
    ASSERT_FALSE(refusal);
    const uint32_t stored = c.field == F::PortAdress     ? uint32_t(settings.PortAdress)
                            : c.field == F::TimeOut      ? settings.TimeOut
                            : c.field == F::TimeBaseKorr ? uint32_t(settings.TimeBaseKorr)
                                                         : settings.HexLineLen;
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(settings.StatusPort, settings.PortAdress + 1);
    EXPECT_EQ(settings.ControlPort, settings.PortAdress + 2);
  }
}

TEST(SettingsDialog, OkStopsAtTheFirstFailingFieldAndAppliesNothingUntilAllPass) {
  Settings settings;
  settings.MessageBeap = 0;
  settings.TimeOut = 4000000000u;  // beyond INT32_MAX
  const std::string before = Five(settings);
  SettingsDialogFields fields = FillSettingsDialog(settings);
  EXPECT_EQ(fields.TimeOutText, "4000000000");
  EXPECT_FALSE(fields.Beep);
  fields.PortText = "0x278";
  fields.TimeOutText = "50000";
  fields.KorrekturText = "150";
  fields.HexLineLenText = "0";
  fields.Beep = true;
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
  // Opening again shows what was applied.
  const SettingsDialogFields again = FillSettingsDialog(settings);
  EXPECT_EQ(again.PortEntry, 2);
  EXPECT_TRUE(again.Beep);
  EXPECT_EQ(again.TimeOutText + " " + again.KorrekturText + " " + again.HexLineLenText, "50000 75 16");
}

}  // namespace
}  // namespace tav
