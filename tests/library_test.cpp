// SPDX-License-Identifier: GPL-2.0-or-later
// The device library file: number conversion, the device-line parser with
// its messages, the walk through the file and broken files; then the
// manufacturer and device lists and the controls that follow the selected
// device.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scripted_feedback.h"
#include "library/device_library.h"
#include "library/device_selection.h"
#include "library/library_text.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

// A valid 40-pin line; tests change single fields by number.
std::string DeviceLine(const std::map<int, std::string>& changes = {}, const std::string& flag = "y",
                       int fieldCount = 23) {
  std::istringstream base("AT89C51;DIP40;12000;5000;2000;1;1;10000;0;0;0x1E;0x51;0xFF;0;0;0;n;4096;3;0;;;n;");
  std::string line, field;
  for (int i = 1; i <= fieldCount && std::getline(base, field, ';'); ++i) {
    line += (changes.count(i) ? changes.at(i) : field) + ";";
  }
  return line + flag + "\n";
}

// The whole record on one line: name, package, Vpp/Vcc codes, pulse time x
// pulses per byte, pulses per lock bit, erase time, the eight signature
// bytes, P3.3, size, lock bits, option, VCC65, KVp.
std::string Describe(const DeviceRecord& d) {
  static const char* const options[] = {"-", "A14", "OPTION", "LOCKP12"};
  char text[200];
  std::snprintf(text, sizeof text, "%s DIP%d %d/%d %ux%u %u %u %02X %02X %02X %02X %02X %02X %02X %02X %c %u %d %s %c %c",
                d.DeviceName.c_str(), d.Package, d.VppCode, d.VccProgCode, d.ProgPulseTime, d.ProgPulseCount,
                d.LockPulseCount, d.EraseTime, d.ManufacturerId000, d.DeviceIdDip20, d.ManufacturerId030, d.DeviceId031,
                d.DeviceId032, d.DeviceId060, d.DeviceId100, d.DeviceId200, d.P33High ? 'y' : 'n', d.SizeBytes,
                d.LockBitCount, options[static_cast<int>(d.Option)], d.Vcc65 ? 'y' : 'n', d.KVp ? 'y' : 'n');
  return text;
}

// A group of `count` valid devices named after their manufacturer.
std::string Group(const std::string& manufacturer, int count) {
  std::string text = ":" + manufacturer + ";y\n";
  for (int i = 0; i < count; ++i) text += DeviceLine({{1, manufacturer + "-" + std::to_string(i)}});
  return text;
}

// A list as one text: entries joined by '|', the selected one marked '*'.
std::string Texts(const SelectionList& list) {
  std::string text;
  for (size_t i = 0; i < list.Entries.size(); ++i)
    text += (i ? "|" : "") + std::string(static_cast<int>(i) == list.Selected ? "*" : "") + list.Entries[i].Text;
  return text;
}

// Enabled controls: E for the erase button, then the lock boxes 1 to 3; '-' = disabled.
std::string Enabled(const DeviceControls& c) {
  return {c.EraseEnabled ? 'E' : '-', c.Lock1Enabled ? '1' : '-', c.Lock2Enabled ? '2' : '-',
          c.Lock3Enabled ? '3' : '-'};
}

// The messages expected after one step: none, or the one given.
std::vector<std::string> Only(const std::string& message) {
  return message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message};
}

class LibraryTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.Valid());
    settings.SettingsFilePath = scratch_.Slash() + "QUENVALD.INI";
  }
  void WriteLibrary(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  // Both lists and the enabled controls as the window shows them.
  std::string Shown() {
    return Texts(model.Manufacturers()) + "/" + Texts(model.Devices()) + " " + Enabled(model.Controls());
  }
  // A step's result, then what it shows.
  std::string Step(int result) { return std::to_string(result) + " " + Shown(); }
  int Load(int32_t manuf, int32_t dev) {
    feedback.Clear();
    settings.ManufIndex = manuf;
    settings.DeviceIndex = dev;
    return library.LoadSelectedDevice();
  }
  test::ScratchDirectory scratch_{"tav_library"};
  const std::string path = scratch_.Slash() + "8789LIST.CSV";
  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{settings.MessageBeap};
  DeviceLibrary library{settings, device, feedback};
  SelectionList manufacturers, devices;
  DeviceListModel model{library};
};

// --- small text rules -------------------------------------------------------

TEST(LibraryText, NumbersConvertLikeStrtoulBaseZeroIn32Bits) {
  const std::pair<std::string, uint32_t> cases[] = {
      {"0X1e", 30}, {"036", 30}, {"", 0}, {" \t +42", 42}, {"12abc", 12}, {"09", 0}, {"0x", 0},
      {"4294967295", 0xFFFFFFFF}, {"4294967296", 0xFFFFFFFF}, {"-1", 0xFFFFFFFF}, {std::string("1\0" "5", 3), 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseLibraryNumber(text), value) << '"' << text << '"';
}

// Device names with umlauts arrive in either encoding and always leave as UTF-8.
TEST(LibraryText, NamesBecomeUtf8FromEitherEncoding) {
  const std::string utf8 = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80";  // two, three and four bytes
  EXPECT_EQ(DisplayText(utf8), utf8);
  EXPECT_EQ(DisplayText("\x80\x84 \x9F \x81"), "\xE2\x82\xAC\xE2\x80\x9E \xC5\xB8 \xC2\x81");
  // Overlong, surrogate, beyond U+10FFFF, cut short: Windows-1252 text, not UTF-8.
  for (const char* bytes : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3"}) EXPECT_FALSE(IsValidUtf8(bytes));
}

// --- the device-line parser -------------------------------------------------

TEST_F(LibraryTest, ParsesEveryFieldOfAValidLine) {
  // Times become units of the TimeBaseKorr current at parse time: 1000 µs /
  // 85 = 11, 0 and 1 stay; a correction of 0 must not divide by zero and acts
  // as the default 85 (2000 / 85 = 23, 10000 / 85 = 117). An erase time of 1
  // means "no erase pulse", so a real erase time shorter than two writes
  // (50 µs at 85, 2 µs at 10) becomes 2, never 1.
  struct Case { int32_t korr; std::map<int, std::string> changes; const char* record; };
  const Case cases[] = {
      {85, {{5, "1000"}, {8, "50"}, {9, "0xE0"}, {10, "036"}, {14, "0x60"}, {15, "256"}, {16, "0x1FF"},
            {17, "Y"}, {21, "LOCKP12"}, {22, "VCC65"}, {23, "Y"}},
       "AT89C51 DIP40 120/100 11x1 1 2 E0 1E 1E 51 FF 60 00 FF y 4096 3 LOCKP12 y y"},
      // The limits: 25500 mV and 12750 mV give code 255, 259 lock bits are 3 in the low 8 bits.
      {10, {{3, "25500"}, {4, "12750"}, {5, "1000"}, {8, "2"}, {18, "65536"}, {19, "259"}, {21, "OPTION"}},
       "AT89C51 DIP40 255/255 100x1 1 2 00 00 1E 51 FF 00 00 00 n 65536 3 OPTION n n"},
      // Only the exact upper-case words count.
      {0, {{3, "0"}, {4, "1"}, {6, "0x19"}, {18, "1"}, {19, "0"}, {21, "A14"}, {22, "vcc65"}, {23, "n"}},
       "AT89C51 DIP40 0/0 23x25 1 117 00 00 1E 51 FF 00 00 00 n 1 0 A14 n n"},
  };
  for (const Case& c : cases) {
    settings.TimeBaseKorr = c.korr;
    ASSERT_EQ(library.ParseDeviceLine(DeviceLine(c.changes)), 0) << c.record;
    EXPECT_EQ(Describe(device), c.record);
  }
  EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(LibraryTest, BadLinesStopAtTheFirstBadFieldWithItsMessage) {
  const std::string name = "AT89C51\n\n", inFile = "\n\n in '" + path + "' Datei";
  const std::string yesNo = " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: ";
  const std::string vpp = name + "Die Programmierspannung\nist viel zu groß !!" + inFile;
  const std::string vcc = name + "Die Betriebsspannung im\nProgrammiermodus ist ";
  const std::string full = DeviceLine();
  struct Case { std::string line; int result; std::string message; };
  const Case cases[] = {
      {DeviceLine({}, "comment;y"), 0, ""},  // text between the 23rd ';' and the flag is ignored
      {DeviceLine({{2, "dip40"}}), 17, name + "Unbekannte Gehäuseform" + inFile},
      {DeviceLine({{3, "30000"}, {18, "0"}, {23, "q"}}), 17, vpp},  // the first bad field wins
      {DeviceLine({{4, "12751"}}), 17, vcc + "zu groß !!" + inFile},
      {DeviceLine({{4, "0"}}), 17, vcc + "0 !!" + inFile},
      {DeviceLine({{17, "yes"}}), 17, name + "Falscher Eintrag für P3.3\nin " + path + yesNo + "yes\n"},
      {DeviceLine({{18, "65537"}}), 17, name + "Bausteingröße überschreitet 65536 (0x10000) Bytes!!\n\n"
                                               "Bausteine dieser Größe werden nicht unterstützt !!\n"},
      {DeviceLine({{19, "4"}}), 17, name + "Falscher Wert für die Lockbits in \n\n" + path +
                                        " !!\n\nEintrag darf nur von 0-3 gehen.\nGelesener Wert: 4"},
      {DeviceLine({{23, ""}}), 17, name + "Falscher Eintrag für KVp\nin " + path + yesNo + "\n"},  // the last field empty
      // The 23rd ';' not before the flag and line end: silent.
      {full.substr(0, full.size() - 2) + "\n", 13, ""},
      {full.substr(0, full.size() - 1), 13, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 100));
    feedback.Clear();
    EXPECT_EQ(library.ParseDeviceLine(c.line), c.result);
    EXPECT_EQ(feedback.Texts(), Only(c.message));
    for (const auto& shown : feedback.messages) EXPECT_TRUE(shown.kind == MessageKind::Info && shown.beeped);
  }
}

// --- walking the file ---------------------------------------------------------

TEST_F(LibraryTest, WalksHeadersFlagsAndGroupsInEitherEncodingAndLineEnd) {
  // The same library as Windows-1252 with LF and as UTF-8 with CR LF.
  for (const auto& [u, lineEnd] : {std::pair<std::string, std::string>{"\xFC", "\n"}, {"\xC3\xBC", "\r\n"}}) {
    SCOPED_TRACE(lineEnd.size() == 1 ? "Windows-1252, LF" : "UTF-8, CR LF");
    const std::string content = "# Bauteile f" + u + "r Tests\nearly;y\n:M" + u + "ller;first;y\n# note\n" +
                                DeviceLine({{1, "A1"}}) + DeviceLine({{1, "A-off"}}, "N") + "\n" +
                                DeviceLine({{1, "Pr" + u + "f"}}, "Y") + DeviceLine({{1, "A3"}}, "y", 22) +
                                DeviceLine({{1, "Z" + u}, {17, "j" + u}}) + ":Hidden;n\n" + DeviceLine({{1, "H1"}}) +
                                ":Beta y\n" + DeviceLine({{1, "B1"}});
    std::string withEnds;
    for (char c : content) withEnds += c == '\n' ? lineEnd : std::string(1, c);
    WriteLibrary(withEnds);

    settings.ManufIndex = 0;
    ASSERT_EQ(FillManufacturerList(library, manufacturers), 0);
    EXPECT_EQ(Texts(manufacturers), "*M\xC3\xBCller|Beta ");
    // Lines that do not parse are left out, the refused one with its message;
    // the inactive header ends the group.
    EXPECT_EQ(FillDeviceList(library, devices), 0);
    EXPECT_EQ(Texts(devices), "*A1|Pr\xC3\xBC" "f");
    EXPECT_EQ(feedback.Texts(), Only("Z\xC3\xBC\n\nFalscher Eintrag für P3.3\nin " + path +
                                     " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: j\xC3\xBC\n"));
    // Result, name and message count of each load: never the comment line
    // before A1; past the line flagged N and the empty line to the second;
    // 22 fields unusable without a message, a refused field unusable with
    // its message; the inactive header not counted.
    std::vector<std::string> loaded;
    for (const auto& [m, d] : {std::pair{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}}) {
      const int result = Load(m, d);
      loaded.push_back(std::to_string(result) + " " + device.DeviceName + " " + std::to_string(feedback.messages.size()));
    }
    EXPECT_EQ(loaded, (std::vector<std::string>{"0 A1 0", "0 Pr\xC3\xBC" "f 0", "13 A3 0", "13 Z\xC3\xBC 1", "0 B1 0"}));
  }
}

// --- robustness -----------------------------------------------------------------

TEST_F(LibraryTest, BrokenFilesGiveMessagesNeverACrash) {
  const std::string valid = ":Alpha;y\n" + DeviceLine();
  const std::string notFound = "Hersteller in Bibliothek nicht gefunden !";
  std::string binary;
  for (uint32_t i = 0, x = 8051; i < 20000; ++i) binary += static_cast<char>((x = x * 1103515245 + 12345) >> 23);
  const std::pair<std::string, std::string> cases[] = {{"", notFound}, {binary, notFound},
      {std::string(200000, 'y'), notFound},  // one huge line, no newline anywhere
      {valid.substr(0, valid.size() - 1), "Fehler beim lesen der Bibliothek !"}};  // no final newline
  for (const auto& [content, message] : cases) {
    SCOPED_TRACE(content.substr(0, 40));
    WriteLibrary(content);
    EXPECT_EQ(Load(0, 0), 13);
    EXPECT_EQ(feedback.Texts(), Only(message));
    FillManufacturerList(library, manufacturers);
    FillDeviceList(library, devices);
    EXPECT_FALSE(manufacturers.Entries.empty() || devices.Entries.empty());
  }
}

// --- the selection lists and the controls that follow them ----------------------

TEST_F(LibraryTest, ListSelectionFollowsTheStoredIndexNotTheListPosition) {
  // Alpha lists A|B|C; BadSize and Short are active lines that do not make it
  // into the list, so B and C are lines 3 and 4 of the group. Editors on
  // Windows like to put a UTF-8 signature in front: it must not swallow the
  // first manufacturer.
  WriteLibrary("\xEF\xBB\xBF:Alpha;y\n" + DeviceLine({{1, "A"}}) + DeviceLine({{1, "BadSize"}, {18, "0"}}) +
               DeviceLine({{1, "Short"}}, "y", 3) + DeviceLine({{1, "B"}}) + DeviceLine({{1, "C"}}) +
               Group("Three", 3) + Group("Eight", 8));
  settings.ManufIndex = 5;  // beyond the list: the first manufacturer, without a message
  settings.DeviceIndex = 1;  // names the bad line: the first entry instead
  EXPECT_EQ(Step(model.StartUp()), "0 *Alpha|Three|Eight/*A|B|C E123");
  EXPECT_EQ(feedback.Texts(), Only("BadSize\n\nBausteingröße ist 0 !!\n\n in " + path));  // once, while filling
  EXPECT_EQ(device.DeviceName, "A");
  EXPECT_EQ(model.SelectDevice(2), 0);
  EXPECT_EQ(device.DeviceName, "C");
  // The stored index 4 survives a refill, selects C again, then the fifth of Eight;
  // Three has no fifth and falls to the first.
  EXPECT_EQ(Step(model.SelectManufacturer(0)), "0 *Alpha|Three|Eight/A|B|*C E123");
  EXPECT_EQ(model.SelectManufacturer(2), 0);
  EXPECT_EQ(model.Devices().Selected, 4);
  EXPECT_EQ(model.SelectManufacturer(1), 0);
  EXPECT_EQ(settings.DeviceIndex, 0);
  // Positions outside the lists change nothing.
  EXPECT_EQ(model.SelectManufacturer(3), 15);
  EXPECT_EQ(Step(model.SelectDevice(-1)), "15 Alpha|*Three|Eight/*Three-0|Three-1|Three-2 E123");
  ASSERT_EQ(FillManufacturerList(library, manufacturers), 0);
  EXPECT_EQ(Texts(manufacturers), "Alpha|*Three|Eight");  // a position inside the list stays
  // Nor may a lone start of a signature be skipped.
  WriteLibrary("\xEF" + Group("Alpha", 1) + Group("Beta", 1));
  EXPECT_EQ(Step(model.StartUp()), "0 *Beta/*Beta-0 E123");
}

TEST_F(LibraryTest, ControlsFollowTheSelectedDevice) {
  // A directory where the library should be cannot be opened: the
  // placeholder, an unfilled device list, and both readers say why.
  std::filesystem::create_directory(path);
  EXPECT_EQ(Step(model.StartUp()), "13 *Keine Hersteller/ ----");
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>(2, "Kann Bauteilbibliothek nicht öffnen !"));
  std::filesystem::remove(path);
  // The last device of Mixed is erasable, the selected first one is not:
  // the erase button must follow the selection, not the last line parsed.
  WriteLibrary(":Mixed;y\n" + DeviceLine({{1, "Eprom"}, {8, "0"}, {19, "2"}}) +
               DeviceLine({{1, "Flash"}, {19, "1"}}) + ":Empty;y\n# nothing here\nOff;n\n" + Group("Other", 1));
  EXPECT_EQ(Step(model.StartUp()), "0 *Mixed|Empty|Other/*Eprom|Flash -12-");
  EXPECT_EQ(Step(model.SelectDevice(1)), "0 *Mixed|Empty|Other/Eprom|*Flash E1--");
  // A group without an active device line: the placeholder with lock-bit
  // count 0 disables everything, and choosing it says why there is no device.
  EXPECT_EQ(Step(model.SelectManufacturer(1)), "15 Mixed|*Empty|Other/*Keine Bausteine ----");
  feedback.Clear();
  EXPECT_EQ(model.SelectDevice(0), 13);
  EXPECT_EQ(feedback.Texts(), Only("Keine Bausteine für diesen\n\n Hersteller in der Liste !"));
  // A refill clears the placeholder; back at Mixed the stored position 0
  // names the EPROM again, and the erase button goes with it.
  EXPECT_EQ(Step(model.SelectManufacturer(2)), "0 Mixed|Empty|*Other/*Other-0 E123");
  EXPECT_EQ(Step(model.SelectManufacturer(0)), "0 *Mixed|Empty|Other/*Eprom|Flash -12-");
  // With the library gone a new start leaves no device of the old one behind.
  std::filesystem::remove(path);
  EXPECT_EQ(Step(model.StartUp()), "13 *Keine Hersteller/ ----");
}

}  // namespace
}  // namespace tav
