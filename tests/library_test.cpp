// The device library file: line reading, classification, number conversion,
// encodings, the device-line parser with its messages, the walk through the
// file, robustness against broken files, and the shipped sample library.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "app/scripted_feedback.h"
#include "library/device_library.h"
#include "library/device_selection.h"
#include "library/library_text.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// Fields of a valid 40-pin line; tests change single fields by number.
std::string DeviceLine(const std::map<int, std::string>& changes = {}, const std::string& flag = "y",
                       int fieldCount = 23) {
  const char* base[23] = {"AT89C51", "DIP40", "12000", "5000", "2000", "1",  "1",    "10000",
                          "0",       "0",     "0x1E",  "0x51", "0xFF", "0",  "0",    "0",
                          "n",       "4096",  "3",     "0",    "",     "",   "n"};
  std::string line;
  for (int i = 1; i <= fieldCount; ++i) {
    auto it = changes.find(i);
    line += (it != changes.end() ? it->second : std::string(base[i - 1])) + ";";
  }
  return line + flag + "\n";
}

class LibraryTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.Valid());
    settings.SettingsFilePath = (dir_ / "QUENVALD.INI").string();
  }

  void WriteLibrary(const std::string& bytes) {
    std::ofstream out(dir_ / "8789LIST.CSV", std::ios::binary);
    out << bytes;
  }
  std::string Path() const { return (dir_ / "8789LIST.CSV").string(); }

  int beep = 1;
  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{beep};
  DeviceLibrary library{settings, device, feedback};
  test::ScratchDirectory scratch_{"tav_library"};
  const fs::path& dir_ = scratch_.Path();
};

// --- small text rules -------------------------------------------------------

TEST(LibraryNumber, ConvertsLikeStrtoulBaseZeroIn32Bits) {
  EXPECT_EQ(ParseLibraryNumber("0x1E"), 30u);
  EXPECT_EQ(ParseLibraryNumber("0X1e"), 30u);
  EXPECT_EQ(ParseLibraryNumber("036"), 30u);
  EXPECT_EQ(ParseLibraryNumber("30"), 30u);
  EXPECT_EQ(ParseLibraryNumber("010"), 8u);
  EXPECT_EQ(ParseLibraryNumber(""), 0u);
  EXPECT_EQ(ParseLibraryNumber(" \t 42"), 42u);
  EXPECT_EQ(ParseLibraryNumber("+7"), 7u);
  EXPECT_EQ(ParseLibraryNumber("12abc"), 12u);
  EXPECT_EQ(ParseLibraryNumber("09"), 0u);       // octal stops at the 9
  EXPECT_EQ(ParseLibraryNumber("0x"), 0u);       // no hex digit: the 0 alone
  EXPECT_EQ(ParseLibraryNumber("0xg1"), 0u);
  EXPECT_EQ(ParseLibraryNumber("abc"), 0u);
  EXPECT_EQ(ParseLibraryNumber("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseLibraryNumber("4294967296"), 0xFFFFFFFFu);  // saturates, no wrap
  EXPECT_EQ(ParseLibraryNumber("0x1234567890"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseLibraryNumber("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseLibraryNumber(std::string("1\0" "5", 3)), 1u);
}

TEST(LibraryLine, FlagAndKindComeFromFirstAndSecondToLastCharacter) {
  EXPECT_TRUE(IsActiveLine("abc;y\n"));
  EXPECT_TRUE(IsActiveLine("abc;Y\n"));
  EXPECT_FALSE(IsActiveLine("abc;N\n"));
  EXPECT_FALSE(IsActiveLine("abc;y"));  // no newline: the ';' is the flag
  EXPECT_TRUE(IsActiveLine("yz"));
  EXPECT_FALSE(IsActiveLine("y"));
  EXPECT_FALSE(IsActiveLine(""));
  EXPECT_TRUE(IsHeaderLine(":Atmel;y\n"));
  EXPECT_FALSE(IsHeaderLine(" :Atmel;y\n"));
  EXPECT_EQ(ManufacturerNameOf(":Atmel;Flash;y\n"), "Atmel");
  EXPECT_EQ(ManufacturerNameOf(":Atmel y\n"), "Atmel ");
  EXPECT_EQ(ManufacturerNameOf(":y\n"), "");
  EXPECT_EQ(ManufacturerNameOf(":;y\n"), "");
}

TEST(LibraryLine, ReadsCrLfAsLfKeepsLoneCrAndSplitsLongLines) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const std::string longLine(3000, 'a');
  const std::string content = "one\r\ntwo\rx\n" + longLine + "\nlast\r";
  std::fwrite(content.data(), 1, content.size(), file);
  std::rewind(file);
  std::string line;
  ASSERT_TRUE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, "one\n");
  ASSERT_TRUE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, "two\rx\n");
  ASSERT_TRUE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, std::string(2047, 'a'));
  ASSERT_TRUE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, std::string(953, 'a') + "\n");
  ASSERT_TRUE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, "last\r");
  EXPECT_FALSE(ReadLibraryLine(file, line));
  EXPECT_EQ(line, "");
  std::fclose(file);
  EXPECT_FALSE(ReadLibraryLine(nullptr, line));
}

TEST(LibraryText, KeepsUtf8AndConvertsWindows1252) {
  EXPECT_EQ(DisplayText("Gr\xC3\xB6\xC3\x9F" "e"), "Gr\xC3\xB6\xC3\x9F" "e");
  EXPECT_EQ(DisplayText("Gr\xF6\xDF" "e"), "Gr\xC3\xB6\xC3\x9F" "e");
  EXPECT_EQ(DisplayText("\x80 \x9F \x81"), "\xE2\x82\xAC \xC5\xB8 \xC2\x81");
  EXPECT_EQ(DisplayText("plain"), "plain");
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xC3"));              // cut short
}

// --- the device-line parser -------------------------------------------------

TEST_F(LibraryTest, ParsesEveryFieldOfAValidLine) {
  settings.TimeBaseKorr = 85;
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{9, "0xE0"}, {10, "036"}, {14, "0x60"}, {15, "256"},
                                                {16, "0x1FF"}, {17, "Y"}, {21, "LOCKP12"},
                                                {22, "VCC65"}, {23, "Y"}})),
            0);
  EXPECT_TRUE(feedback.messages.empty());
  EXPECT_EQ(device.DeviceName, "AT89C51");
  EXPECT_EQ(device.Package, 40);
  EXPECT_EQ(device.VppCode, 120);
  EXPECT_EQ(device.VccProgCode, 100);
  EXPECT_EQ(device.ProgPulseTime, 23u);
  EXPECT_EQ(device.ProgPulseCount, 1u);
  EXPECT_EQ(device.LockPulseCount, 1u);
  EXPECT_EQ(device.EraseTime, 117u);
  EXPECT_EQ(device.ManufacturerId000, 0xE0);
  EXPECT_EQ(device.DeviceIdDip20, 30);
  EXPECT_EQ(device.ManufacturerId030, 0x1E);
  EXPECT_EQ(device.DeviceId031, 0x51);
  EXPECT_EQ(device.DeviceId032, 0xFF);
  EXPECT_EQ(device.DeviceId060, 0x60);
  EXPECT_EQ(device.DeviceId100, 0);     // low 8 bits of 256
  EXPECT_EQ(device.DeviceId200, 0xFF);  // low 8 bits of 0x1FF
  EXPECT_TRUE(device.P33High);
  EXPECT_EQ(device.SizeBytes, 4096u);
  EXPECT_EQ(device.LockBitCount, 3);
  EXPECT_EQ(device.Option, DeviceOption::LockP12);
  EXPECT_TRUE(device.Vcc65);
  EXPECT_TRUE(device.KVp);

  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{2, "DIP20"}, {17, "n"}, {21, "A14"}, {22, "vcc65"},
                                                {23, "N"}})),
            0);
  EXPECT_EQ(device.Package, 20);
  EXPECT_FALSE(device.P33High);
  EXPECT_EQ(device.Option, DeviceOption::A14);
  EXPECT_FALSE(device.Vcc65);
  EXPECT_FALSE(device.KVp);
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{21, "OPTION"}})), 0);
  EXPECT_EQ(device.Option, DeviceOption::Option);
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{21, "option"}})), 0);
  EXPECT_EQ(device.Option, DeviceOption::None);
  // Text between the 23rd ';' and the flag is ignored.
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({}, "comment;y")), 0);
}

TEST_F(LibraryTest, TimesBecomeTimeBaseUnitsWithTheCurrentCorrection) {
  struct Case { const char* micro; int32_t korr; uint32_t units; };
  const Case cases[] = {{"1000", 85, 11}, {"50", 85, 1}, {"1", 85, 1}, {"0", 85, 0},
                        {"2", 85, 1},     {"1000", 10, 100}, {"1000", 1, 1000}};
  for (const Case& c : cases) {
    settings.TimeBaseKorr = c.korr;
    ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{5, c.micro}, {8, c.micro}})), 0);
    EXPECT_EQ(device.ProgPulseTime, c.units) << c.micro << " / " << c.korr;
    EXPECT_EQ(device.EraseTime, c.units) << c.micro << " / " << c.korr;
  }
  // A correction of 0 must not divide by zero; it acts as the default 85.
  settings.TimeBaseKorr = 0;
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{5, "1000"}})), 0);
  EXPECT_EQ(device.ProgPulseTime, 11u);
}

TEST_F(LibraryTest, VoltageSizeAndLockBitLimits) {
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{3, "25500"}, {4, "12750"}, {18, "65536"}, {19, "259"}})), 0);
  EXPECT_EQ(device.VppCode, 255);
  EXPECT_EQ(device.VccProgCode, 255);
  EXPECT_EQ(device.SizeBytes, 65536u);
  EXPECT_EQ(device.LockBitCount, 3);
  ASSERT_EQ(library.ParseDeviceLine(DeviceLine({{3, "0"}, {4, "1"}, {18, "1"}, {19, "0"}})), 0);
  EXPECT_EQ(device.VppCode, 0);
  EXPECT_EQ(device.VccProgCode, 0);
  EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(LibraryTest, InvalidFieldsShowTheirMessageAndStop) {
  const std::string p = Path();
  struct Case { std::map<int, std::string> changes; std::string text; };
  const Case cases[] = {
      {{{2, "dip40"}}, "AT89C51\n\nUnbekannte Gehäuseform\n\n in '" + p + "' Datei"},
      {{{2, " DIP40"}}, "AT89C51\n\nUnbekannte Gehäuseform\n\n in '" + p + "' Datei"},
      {{{3, "25501"}}, "AT89C51\n\nDie Programmierspannung\nist viel zu groß !!\n\n in '" + p + "' Datei"},
      {{{3, "-1"}}, "AT89C51\n\nDie Programmierspannung\nist viel zu groß !!\n\n in '" + p + "' Datei"},
      {{{4, "12751"}},
       "AT89C51\n\nDie Betriebsspannung im\nProgrammiermodus ist zu groß !!\n\n in '" + p + "' Datei"},
      {{{4, "0"}}, "AT89C51\n\nDie Betriebsspannung im\nProgrammiermodus ist 0 !!\n\n in '" + p + "' Datei"},
      {{{4, ""}}, "AT89C51\n\nDie Betriebsspannung im\nProgrammiermodus ist 0 !!\n\n in '" + p + "' Datei"},
      {{{17, "yes"}},
       "AT89C51\n\nFalscher Eintrag für P3.3\nin " + p + " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: yes\n"},
      {{{17, ""}},
       "AT89C51\n\nFalscher Eintrag für P3.3\nin " + p + " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: \n"},
      {{{18, "65537"}},
       "AT89C51\n\nBausteingröße überschreitet 65536 (0x10000) Bytes!!\n\n"
       "Bausteine dieser Größe werden nicht unterstützt !!\n"},
      {{{18, "0"}}, "AT89C51\n\nBausteingröße ist 0 !!\n\n in " + p},
      {{{19, "4"}},
       "AT89C51\n\nFalscher Wert für die Lockbits in \n\n" + p +
           " !!\n\nEintrag darf nur von 0-3 gehen.\nGelesener Wert: 4"},
      {{{23, "x"}},
       "AT89C51\n\nFalscher Eintrag für KVp\nin " + p + " !!\n\nGültig sind nur y,Y und n,N\n\nGelesen: x\n"},
  };
  for (const Case& c : cases) {
    feedback.Clear();
    EXPECT_EQ(library.ParseDeviceLine(DeviceLine(c.changes)), 17) << c.text;
    ASSERT_EQ(feedback.messages.size(), 1u) << c.text;
    EXPECT_EQ(feedback.messages[0].text, c.text);
    EXPECT_EQ(feedback.messages[0].kind, MessageKind::Info);
    EXPECT_TRUE(feedback.messages[0].beeped);
  }
}

TEST_F(LibraryTest, ParsingStopsAtTheFirstBadFieldLeavingLaterFieldsAlone) {
  device.SizeBytes = 777;
  device.KVp = true;
  EXPECT_EQ(library.ParseDeviceLine(DeviceLine({{1, "NEU"}, {3, "30000"}, {18, "0"}, {23, "q"}})), 17);
  EXPECT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(device.DeviceName, "NEU");
  EXPECT_EQ(device.Package, 40);
  EXPECT_EQ(device.SizeBytes, 777u);
  EXPECT_TRUE(device.KVp);
}

TEST_F(LibraryTest, IncompleteLinesFailSilently) {
  EXPECT_EQ(library.ParseDeviceLine(DeviceLine({}, "y", 22)), 13);
  // The 23rd ';' must come before the flag and the line end.
  std::string line = DeviceLine();
  EXPECT_EQ(library.ParseDeviceLine(line.substr(0, line.size() - 2) + "\n"), 13);
  EXPECT_EQ(library.ParseDeviceLine(line.substr(0, line.size() - 1)), 13);  // no newline
  EXPECT_EQ(library.ParseDeviceLine(""), 13);
  EXPECT_EQ(library.ParseDeviceLine(";"), 13);
  EXPECT_EQ(library.ParseDeviceLine(";\n"), 13);
  EXPECT_TRUE(feedback.messages.empty());
  // Enough fields but an empty package: the package message comes first.
  EXPECT_EQ(library.ParseDeviceLine(std::string(5000, ';')), 17);
  EXPECT_EQ(feedback.messages.size(), 1u);
}

TEST_F(LibraryTest, NamesInMessagesAndRecordAreUtf8ForBothEncodings) {
  const std::string utf8Name = "M\xC3\xBCller-51";
  for (const std::string& raw : {std::string("M\xFCller-51"), utf8Name}) {
    feedback.Clear();
    EXPECT_EQ(library.ParseDeviceLine(DeviceLine({{1, raw}, {17, "j\xE4"}})), 17);
    EXPECT_EQ(device.DeviceName, utf8Name);
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0].text.rfind(utf8Name + "\n\n", 0), 0u);
    EXPECT_NE(feedback.messages[0].text.find("Gelesen: j\xC3\xA4\n"), std::string::npos);
  }
}

// --- walking the file ---------------------------------------------------------

TEST_F(LibraryTest, LibraryPathUsesTheSettingsDirectory) {
  EXPECT_EQ(library.LibraryFilePath(), (dir_ / "8789LIST.CSV").string());
  settings.SettingsFilePath = "QUENVALD.INI";
  EXPECT_EQ(library.LibraryFilePath(), "8789LIST.CSV");
}

TEST_F(LibraryTest, ListFunctionsFollowHeadersFlagsAndGroups) {
  const std::string last = DeviceLine({{1, "B-last"}});
  WriteLibrary("# comment\n"
               "early;y\n"                    // before any header: no group
               ":Alpha;first;y\n" +
               DeviceLine({{1, "A1"}}) +
               DeviceLine({{1, "A-off"}}, "N") + "\n" +
               DeviceLine({{1, "A2"}}, "Y") +
               ":Hidden;n\n" + DeviceLine({{1, "H1"}}) +
               ":Beta y\n" + DeviceLine({{1, "B1"}}) + last.substr(0, last.size() - 1));
  ASSERT_EQ(library.OpenLibrary(), 0);
  std::string name;
  std::vector<std::string> names;
  while (library.NextManufacturerName(name) == 0) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta "}));
  library.CloseLibrary();
  library.CloseLibrary();  // harmless twice

  settings.ManufIndex = 0;
  ASSERT_EQ(library.OpenLibrary(), 0);
  ASSERT_EQ(library.SeekManufacturer(), 0);
  EXPECT_EQ(library.NextDevice(), 0);
  EXPECT_EQ(device.DeviceName, "A1");
  EXPECT_EQ(library.NextDevice(), 0);
  EXPECT_EQ(device.DeviceName, "A2");
  EXPECT_EQ(library.NextDevice(), 15);  // the inactive header ends the group
  library.CloseLibrary();

  settings.ManufIndex = 1;
  ASSERT_EQ(library.OpenLibrary(), 0);
  ASSERT_EQ(library.SeekManufacturer(), 0);
  EXPECT_EQ(library.NextDevice(), 0);
  EXPECT_EQ(device.DeviceName, "B1");
  EXPECT_EQ(library.NextDevice(), 15);  // last line lacks its newline: ignored
  EXPECT_EQ(library.NextDevice(), 15);
  library.CloseLibrary();
  EXPECT_TRUE(feedback.messages.empty());

  settings.ManufIndex = 2;
  ASSERT_EQ(library.OpenLibrary(), 0);
  EXPECT_EQ(library.SeekManufacturer(), 13);
  EXPECT_EQ(feedback.LastText(), "Hersteller in Bibliothek nicht gefunden !");
}

TEST_F(LibraryTest, LoadSelectedDeviceFindsTheDeviceOrSaysWhyNot) {
  const std::string content = ":Alpha;y\n# note\n" + DeviceLine({{1, "A1"}}) + DeviceLine({{1, "A2"}}) +
                              DeviceLine({{1, "A3"}}, "y", 22) + DeviceLine({{1, "A4"}, {19, "9"}}) +
                              ":Beta;y\n" + DeviceLine({{1, "B1"}}) + DeviceLine({{1, "B2"}}, "n");
  struct Case { int32_t manuf; int32_t dev; int result; const char* name; const char* message; };
  const Case cases[] = {
      {0, 0, 0, "A1", nullptr},
      {0, 1, 0, "A2", nullptr},
      {0, 2, 13, "A3", nullptr},  // 22 fields: no message
      {0, 3, 13, "A4", "lockbits"},
      {0, 4, 13, nullptr, "Keine Bausteine für diesen\n\n Hersteller in der Liste !"},
      {1, 0, 0, "B1", nullptr},
      {1, 1, 13, nullptr, "Fehler beim lesen der Bibliothek !"},
      {2, 0, 13, nullptr, "Hersteller in Bibliothek nicht gefunden !"},
      {0, -4, 0, "A1", nullptr},  // never the comment line before A1
  };
  for (const char* lineEnd : {"\n", "\r\n"}) {
    std::string withEnds;
    for (char c : content) {
      if (c == '\n') withEnds += lineEnd; else withEnds += c;
    }
    WriteLibrary(withEnds);
    for (const Case& c : cases) {
      feedback.Clear();
      device.DeviceName = "previous";
      settings.ManufIndex = c.manuf;
      settings.DeviceIndex = c.dev;
      EXPECT_EQ(library.LoadSelectedDevice(), c.result) << c.manuf << "/" << c.dev;
      EXPECT_EQ(device.DeviceName, c.name ? c.name : "previous") << c.manuf << "/" << c.dev;
      if (c.message == nullptr) {
        EXPECT_TRUE(feedback.messages.empty()) << c.manuf << "/" << c.dev;
      } else if (std::string(c.message) == "lockbits") {
        EXPECT_NE(feedback.LastText().find("Gelesener Wert: 9"), std::string::npos);
      } else {
        EXPECT_EQ(feedback.Texts(), std::vector<std::string>{c.message});
      }
    }
  }
}

TEST_F(LibraryTest, MissingLibraryIsReported) {
  EXPECT_EQ(library.LoadSelectedDevice(), 13);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Kann Bauteilbibliothek nicht öffnen !"});
  std::string name;
  EXPECT_EQ(library.NextManufacturerName(name), 15);  // nothing open: end at once
  EXPECT_EQ(library.NextDevice(), 15);
}

TEST_F(LibraryTest, Windows1252AndUtf8LibrariesGiveTheSameNames) {
  for (const std::string& umlaut : {std::string("\xFC"), std::string("\xC3\xBC")}) {
    WriteLibrary("# Bauteile f" + umlaut + "r Tests.\n:M" + umlaut + "ller;y\n" +
                 DeviceLine({{1, "Pr" + umlaut + "f-51"}}));
    ASSERT_EQ(library.OpenLibrary(), 0);
    std::string name;
    ASSERT_EQ(library.NextManufacturerName(name), 0);
    EXPECT_EQ(name, "M\xC3\xBCller");
    library.CloseLibrary();
    settings.ManufIndex = 0;
    settings.DeviceIndex = 0;
    ASSERT_EQ(library.LoadSelectedDevice(), 0);
    EXPECT_EQ(device.DeviceName, "Pr\xC3\xBC" "f-51");
  }
}

// --- robustness -----------------------------------------------------------------

TEST_F(LibraryTest, BrokenFilesGiveMessagesNeverACrash) {
  const std::string valid = ":Alpha;y\n" + DeviceLine();
  struct Case { std::string content; const char* message; };
  const Case cases[] = {
      {"", "Hersteller in Bibliothek nicht gefunden !"},
      {std::string(200000, 'y'), "Hersteller in Bibliothek nicht gefunden !"},
      {std::string(200000, ';') + "\n", "Hersteller in Bibliothek nicht gefunden !"},
      {":" + std::string(5000, 'x') + "y\n", "Hersteller in Bibliothek nicht gefunden !"},
      {":Alpha;y\n" + std::string(100000, 'y') + "\n", nullptr},
      {":Alpha;y\n" + std::string(3000, ';') + "y\n", nullptr},
      {valid.substr(0, valid.size() - 1), "Fehler beim lesen der Bibliothek !"},
      {std::string("\0\0:\0y\n\0", 7), nullptr},
  };
  for (const Case& c : cases) {
    WriteLibrary(c.content);
    feedback.Clear();
    settings.ManufIndex = 0;
    settings.DeviceIndex = 0;
    EXPECT_EQ(library.LoadSelectedDevice(), 13);
    if (c.message != nullptr) {
      EXPECT_EQ(feedback.LastText(), c.message) << c.content.substr(0, 40);
    }
    SelectionList manufacturers, devices;
    FillManufacturerList(library, manufacturers);
    FillDeviceList(library, devices);
    EXPECT_FALSE(manufacturers.Entries.empty());
    EXPECT_FALSE(devices.Entries.empty());
  }
}

TEST_F(LibraryTest, RandomJunkIsHandled) {
  std::mt19937 random(8051);
  const char alphabet[] = ":;yYnN\r\n0x1DIP4025 \xFC\xC3";
  for (int round = 0; round < 200; ++round) {
    std::string junk;
    const int length = static_cast<int>(random() % 6000);
    for (int i = 0; i < length; ++i) {
      junk += round % 2 ? static_cast<char>(random() & 0xFF)
                        : alphabet[random() % (sizeof alphabet - 1)];
    }
    WriteLibrary(junk);
    settings.ManufIndex = static_cast<int32_t>(random() % 3);
    settings.DeviceIndex = static_cast<int32_t>(random() % 3);
    const int result = library.LoadSelectedDevice();
    EXPECT_TRUE(result == 0 || result == 13);
    if (result == 0) {
      EXPECT_TRUE(device.Package == 20 || device.Package == 40);
      EXPECT_GE(device.SizeBytes, 1u);
      EXPECT_LE(device.SizeBytes, 65536u);
      EXPECT_LE(device.LockBitCount, 3);
      EXPECT_TRUE(IsValidUtf8(device.DeviceName));
    }
    SelectionList manufacturers;
    FillManufacturerList(library, manufacturers);
    for (const SelectionEntry& entry : manufacturers.Entries) EXPECT_TRUE(IsValidUtf8(entry.Text));
  }
}

// --- the shipped library ----------------------------------------------------------

TEST_F(LibraryTest, ShippedLibraryParsesWithTheDataSheetValues) {
  settings.SettingsFilePath = std::string(TAVROLITH_SOURCE_DIR) + "/data/QUENVALD.INI";
  settings.TimeBaseKorr = 85;
  struct Expected {
    const char* name; uint8_t package; uint8_t vpp; uint32_t pulse; uint32_t pulses; uint32_t lockPulses;
    uint32_t erase; uint8_t sig[8]; uint32_t size; uint8_t locks;
  };
  const Expected atmel[] = {
      {"AT89C51", 40, 120, 23, 1, 1, 117, {0, 0, 0x1E, 0x51, 0xFF, 0, 0, 0}, 4096, 3},
      {"AT89C52", 40, 120, 23, 1, 1, 117, {0, 0, 0x1E, 0x52, 0xFF, 0, 0, 0}, 8192, 3},
      {"AT89C55", 40, 120, 23, 1, 1, 117, {0, 0, 0x1E, 0x55, 0xFF, 0, 0, 0}, 20480, 3},
      {"AT89C1051", 20, 120, 23, 1, 1, 117, {0x1E, 0x11, 0, 0, 0, 0, 0, 0}, 1024, 2},
      {"AT89C2051", 20, 120, 23, 1, 1, 117, {0x1E, 0x21, 0, 0, 0, 0, 0, 0}, 2048, 2},
      {"AT89C4051", 20, 120, 23, 1, 1, 117, {0x1E, 0x41, 0, 0, 0, 0, 0, 0}, 4096, 2},
  };
  const Expected intel[] = {
      {"87C51", 40, 127, 1, 25, 25, 0, {0, 0, 0x89, 0, 0, 0, 0, 0}, 4096, 2},
      {"87C52", 40, 127, 1, 25, 25, 0, {0, 0, 0x89, 0, 0, 0, 0, 0}, 8192, 2},
      {"8751H", 40, 210, 588, 1, 1, 0, {0, 0, 0x89, 0, 0, 0, 0, 0}, 4096, 2},
  };
  SelectionList manufacturers;
  ASSERT_EQ(FillManufacturerList(library, manufacturers), 0);
  ASSERT_EQ(manufacturers.Entries.size(), 2u);
  EXPECT_EQ(manufacturers.Entries[0].Text, "Atmel");
  EXPECT_EQ(manufacturers.Entries[1].Text, "Intel");

  int32_t manuf = 0;
  for (const auto& group : {std::vector<Expected>(std::begin(atmel), std::end(atmel)),
                            std::vector<Expected>(std::begin(intel), std::end(intel))}) {
    settings.ManufIndex = manuf++;
    SelectionList devices;
    settings.DeviceIndex = 0;
    ASSERT_EQ(FillDeviceList(library, devices), 0);
    ASSERT_EQ(devices.Entries.size(), group.size());
    for (size_t i = 0; i < group.size(); ++i) {
      const Expected& e = group[i];
      settings.DeviceIndex = static_cast<int32_t>(i);
      ASSERT_EQ(library.LoadSelectedDevice(), 0) << e.name;
      EXPECT_EQ(devices.Entries[i].Text, e.name);
      EXPECT_EQ(device.DeviceName, e.name);
      EXPECT_EQ(device.Package, e.package) << e.name;
      EXPECT_EQ(device.VppCode, e.vpp) << e.name;
      EXPECT_EQ(device.VccProgCode, 100) << e.name;
      EXPECT_EQ(device.ProgPulseTime, e.pulse) << e.name;
      EXPECT_EQ(device.ProgPulseCount, e.pulses) << e.name;
      EXPECT_EQ(device.LockPulseCount, e.lockPulses) << e.name;
      EXPECT_EQ(device.EraseTime, e.erase) << e.name;
      const uint8_t sig[8] = {device.ManufacturerId000, device.DeviceIdDip20, device.ManufacturerId030,
                              device.DeviceId031,       device.DeviceId032,   device.DeviceId060,
                              device.DeviceId100,       device.DeviceId200};
      for (int k = 0; k < 8; ++k) EXPECT_EQ(sig[k], e.sig[k]) << e.name << " signature " << k;
      EXPECT_FALSE(device.P33High) << e.name;
      EXPECT_EQ(device.SizeBytes, e.size) << e.name;
      EXPECT_EQ(device.LockBitCount, e.locks) << e.name;
      EXPECT_EQ(device.Option, DeviceOption::None) << e.name;
      EXPECT_FALSE(device.Vcc65) << e.name;
      EXPECT_FALSE(device.KVp) << e.name;
    }
  }
  EXPECT_TRUE(feedback.messages.empty());

  // The file teaches itself: it has comments with an umlaut and an inactive
  // manufacturer that the lists leave out.
  std::ifstream in(std::string(TAVROLITH_SOURCE_DIR) + "/data/8789LIST.CSV", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\xC3\xBC"), std::string::npos);
  int inactiveHeaders = 0;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    if (IsHeaderLine(line) && !IsActiveLine(line)) ++inactiveHeaders;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  EXPECT_GE(inactiveHeaders, 1);
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace tav
