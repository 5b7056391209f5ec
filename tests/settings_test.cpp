#include "settings/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>

#include "app/scripted_feedback.h"
#include "settings/paths.h"
#include "settings/profile_numbers.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const char kPortMessage[] =
    "Portadresse in\n'QUENVALD.INI'\nkann nicht stimmen!!\n\nNehme Standardwert von 0x378.";
const char kHexLenMessage[] =
    "Der Wert für die Länge der HEX-Zeilen ist größer 254 oder kleiner 2.\n"
    "Eingetragene Länge 0\n\nWert geändert auf Standardwert = 32 Datenbytes";

// A fresh directory per test, with helpers to write and read QUENVALD.INI.
class SettingsFileTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }

  std::string IniPath() const { return dir_ + "QUENVALD.INI"; }
  void WriteIni(const std::string& bytes) const {
    std::ofstream(IniPath(), std::ios::binary) << bytes;
  }
  std::string ReadIni() const {
    std::ifstream in(IniPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Loads into `settings` with a feedback that reads the record's own beep
  // switch, as the application wires it.
  void Load(const std::string& ini) {
    WriteIni(ini);
    Load();
  }
  void Load() { LoadSettings(settings, feedback, dir_); }
  // Files left in the directory besides QUENVALD.INI (temporary files).
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) {
      if (e.path().filename() != "QUENVALD.INI") names.push_back(e.path().filename().string());
    }
    return names;
  }

  test::ScratchDirectory scratch_{"tav_settings"};
  const std::string dir_ = scratch_.Slash();
  Settings settings;
  ScriptedFeedback feedback{settings.MessageBeap};
};

TEST_F(SettingsFileTest, MissingFileGivesEveryDefaultWithoutMessage) {
  Load();
  EXPECT_TRUE(feedback.messages.empty());
  EXPECT_EQ(settings.SettingsFilePath, dir_ + "QUENVALD.INI");
  EXPECT_EQ(settings.PortAdress, 0x378);
  EXPECT_EQ(settings.StatusPort, 0x379);
  EXPECT_EQ(settings.ControlPort, 0x37A);
  EXPECT_EQ(settings.DebugNT, 0);
  EXPECT_EQ(settings.SearchHardware, 2);
  EXPECT_EQ(settings.TimeOut, 1000000u);
  EXPECT_EQ(settings.MessageBeap, 1);
  EXPECT_EQ(settings.TimeBaseKorr, 85);
  EXPECT_EQ(settings.FFSave, 0);
  EXPECT_EQ(settings.Verify, 1);
  EXPECT_EQ(settings.XKoord, 10);
  EXPECT_EQ(settings.YKoord, 10);
  EXPECT_EQ(settings.ShowDeviceData, 0);
  EXPECT_EQ(settings.ManufIndex, 0);
  EXPECT_EQ(settings.DeviceIndex, 0);
  EXPECT_EQ(settings.IDCheck, 1);
  EXPECT_EQ(settings.TestChecksum, 1);
  EXPECT_EQ(settings.Lock1 + settings.Lock2 + settings.Lock3, 0);
  EXPECT_EQ(settings.HexLineLen, 32u);
  EXPECT_EQ(settings.DataFormat, 1);
  EXPECT_EQ(settings.ReadFilter, 1);
  EXPECT_EQ(settings.DataDirectory, DefaultDataPath());
  EXPECT_EQ(settings.ProgramFilePath, DefaultDataPath() + "tmp");
  EXPECT_EQ(settings.ProgramFileName, "tmp");
  // Loading does not create the file; the first save does.
  EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(SettingsFileTest, PortAddressIsHexWithinRangeOrMessageAndDefault) {
  struct Case {
    const char* entry;
    int32_t port;
    bool message;
  };
  const Case cases[] = {
      {"3BC", 0x3BC, false}, {"3bc", 0x3BC, false},  {"0x278", 0x278, false}, {"200", 0x200, false},
      {"400", 0x400, false}, {"1000", 0x378, true},  {"1ff", 0x378, true},    {"401", 0x378, true},
      {"zz", 0x378, true},   {"", 0x378, true},      {"-378", 0x378, true},   {"378junk", 0x378, false},
      {"FFFFFFFFFFFFFFFFFFFF378", 0x378, true},
  };
  for (const auto& c : cases) {
    feedback.Clear();
    Load(std::string("[Hardware]\nPortAdress=") + c.entry + "\n");
    EXPECT_EQ(settings.PortAdress, c.port) << c.entry;
    EXPECT_EQ(settings.StatusPort, c.port + 1) << c.entry;
    EXPECT_EQ(settings.ControlPort, c.port + 2) << c.entry;
    if (c.message) {
      EXPECT_THAT(feedback.Texts(), ElementsAre(kPortMessage)) << c.entry;
    } else {
      EXPECT_TRUE(feedback.messages.empty()) << c.entry;
    }
  }
}

TEST_F(SettingsFileTest, PortMessageNeverBeepsButHexLineMessageFollowsMessageBeap) {
  // The record starts with the beep switched on, as a fresh one does.
  ASSERT_EQ(settings.MessageBeap, 1);
  Load("[Hardware]\nPortAdress=1000\nMessageBeap=1\n[Brastel INI-Section]\nHexLineLen=1\n");
  ASSERT_EQ(feedback.messages.size(), 2u);
  EXPECT_EQ(feedback.messages[0].text, kPortMessage);
  EXPECT_FALSE(feedback.messages[0].beeped);
  EXPECT_EQ(feedback.messages[1].text, kHexLenMessage);
  EXPECT_TRUE(feedback.messages[1].beeped);

  feedback.Clear();
  Load("[Hardware]\nPortAdress=1000\nMessageBeap=0\n[Brastel INI-Section]\nHexLineLen=1\n");
  ASSERT_EQ(feedback.messages.size(), 2u);
  EXPECT_EQ(feedback.beeps, 0);
}

TEST_F(SettingsFileTest, HexLineLengthKeepsLowByteEvenOrFallsBackWithMessage) {
  struct Case {
    const char* entry;
    uint32_t length;
    bool message;
  };
  const Case cases[] = {
      {"33", 32, false},  {"1", 32, true},    {"0", 32, true},    {"256", 32, true},  {"300", 44, false},
      {"255", 254, false}, {"2", 2, false},   {"-1", 254, false}, {"abc", 32, true},
      {"99999999999", 254, false},  // saturates at INT32_MAX, whose low byte is 0xFF
  };
  for (const auto& c : cases) {
    feedback.Clear();
    Load(std::string("[Brastel INI-Section]\nHexLineLen=") + c.entry + "\n");
    EXPECT_EQ(settings.HexLineLen, c.length) << c.entry;
    if (c.message) {
      EXPECT_THAT(feedback.Texts(), ElementsAre(kHexLenMessage)) << c.entry;
    } else {
      EXPECT_TRUE(feedback.messages.empty()) << c.entry;
    }
  }
}

TEST_F(SettingsFileTest, RangeRulesOfTheIntegerKeys) {
  auto load = [&](const char* section, const char* key, const std::string& entry) {
    feedback.Clear();
    Load(std::string("[") + section + "]\n" + key + "=" + entry + "\n");
    EXPECT_TRUE(feedback.messages.empty()) << key << "=" << entry;
  };
  const char* hw = "Hardware";
  const char* br = "Brastel INI-Section";

  load(hw, "TimeOut", "50000");           EXPECT_EQ(settings.TimeOut, 1000000u);
  load(hw, "TimeOut", "5000000");         EXPECT_EQ(settings.TimeOut, 5000000u);
  load(hw, "TimeOut", "-1");              EXPECT_EQ(settings.TimeOut, 4294967295u);  // compared unsigned
  load(hw, "TimeOut", "zehn");            EXPECT_EQ(settings.TimeOut, 1000000u);
  load(hw, "TimeOut", "99999999999");     EXPECT_EQ(settings.TimeOut, 4294967295u);
  load(hw, "TimeBaseKorr", "0");          EXPECT_EQ(settings.TimeBaseKorr, 85);
  load(hw, "TimeBaseKorr", "101");        EXPECT_EQ(settings.TimeBaseKorr, 85);
  load(hw, "TimeBaseKorr", "1");          EXPECT_EQ(settings.TimeBaseKorr, 1);
  load(hw, "TimeBaseKorr", "100");        EXPECT_EQ(settings.TimeBaseKorr, 100);
  load(hw, "TimeBaseKorr", "4294967381"); EXPECT_EQ(settings.TimeBaseKorr, 85);  // no wrap to 85+2^32
  load(hw, "SearchHardware", "1");        EXPECT_EQ(settings.SearchHardware, 2);
  load(hw, "SearchHardware", "5");        EXPECT_EQ(settings.SearchHardware, 5);
  load(hw, "SearchHardware", "6");        EXPECT_EQ(settings.SearchHardware, 2);
  load(hw, "DebugNT", "1");               EXPECT_EQ(settings.DebugNT, 1);
  load(hw, "DebugNT", "2");               EXPECT_EQ(settings.DebugNT, 0);
  load(hw, "MessageBeap", "7");           EXPECT_EQ(settings.MessageBeap, 1);
  load(hw, "MessageBeap", "0");           EXPECT_EQ(settings.MessageBeap, 0);
  load(br, "ManufIndex", "-3");           EXPECT_EQ(settings.ManufIndex, 1);
  load(br, "ManufIndex", "7");            EXPECT_EQ(settings.ManufIndex, 7);
  load(br, "DeviceIndex", "-3");          EXPECT_EQ(settings.DeviceIndex, 0);
  load(br, "DeviceIndex", "12");          EXPECT_EQ(settings.DeviceIndex, 12);
  load(br, "X-Koord", "2000");            EXPECT_EQ(settings.XKoord, 10);
  load(br, "X-Koord", "-4");              EXPECT_EQ(settings.XKoord, 10);
  load(br, "X-Koord", "1024");            EXPECT_EQ(settings.XKoord, 1024);
  load(br, "Y-Koord", "768");             EXPECT_EQ(settings.YKoord, 768);
  load(br, "Y-Koord", "769");             EXPECT_EQ(settings.YKoord, 10);
  load(br, "IDCheck", "256");             EXPECT_EQ(settings.IDCheck, 0);
  load(br, "IDCheck", "257");             EXPECT_EQ(settings.IDCheck, 1);
  load(br, "IDCheck", "0");               EXPECT_EQ(settings.IDCheck, 0);
  load(br, "ReadFilter", "4");            EXPECT_EQ(settings.ReadFilter, 1);
  load(br, "ReadFilter", "5");            EXPECT_EQ(settings.ReadFilter, 1);
  load(br, "ReadFilter", "3");            EXPECT_EQ(settings.ReadFilter, 3);
  load(br, "DataFormat", "0");            EXPECT_EQ(settings.DataFormat, 1);
  load(br, "DataFormat", "9");            EXPECT_EQ(settings.DataFormat, 9);
  load(br, "DataFormat", "10");           EXPECT_EQ(settings.DataFormat, 1);
  load(br, "Verify", "5");                EXPECT_EQ(settings.Verify, 1);
  load(br, "Verify", "0");                EXPECT_EQ(settings.Verify, 0);
  load(br, "TestChecksum", "0");          EXPECT_EQ(settings.TestChecksum, 0);
  load(br, "FFSave", "2");                EXPECT_EQ(settings.FFSave, 0);
  load(br, "FFSave", "1");                EXPECT_EQ(settings.FFSave, 1);
  load(br, "ShowDeviceData", "-1");       EXPECT_EQ(settings.ShowDeviceData, 0);
  load(br, "Lock1", "1");                 EXPECT_EQ(settings.Lock1, 1);
  load(br, "Lock2", "3");                 EXPECT_EQ(settings.Lock2, 0);
  load(br, "Lock3", "1");                 EXPECT_EQ(settings.Lock3, 1);
}

TEST(ProfileNumbers, LeadingIntegerRule) {
  EXPECT_EQ(ProfileInt("12abc"), 12);
  EXPECT_EQ(ProfileInt("abc"), 0);
  EXPECT_EQ(ProfileInt(""), 0);
  EXPECT_EQ(ProfileInt("-7"), -7);
  EXPECT_EQ(ProfileInt("+7"), 0);   // only a minus sign is allowed
  EXPECT_EQ(ProfileInt("--7"), 0);
  EXPECT_EQ(ProfileInt("-"), 0);
  EXPECT_EQ(ProfileInt("2147483647"), 2147483647);
  EXPECT_EQ(ProfileInt("2147483648"), 2147483647);
  EXPECT_EQ(ProfileInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ProfileInt(std::string(500, '9')), 2147483647);
  EXPECT_EQ(ProfileInt("-" + std::string(500, '9')), -2147483647 - 1);
  EXPECT_EQ(ProfileHex("0X3bC"), 0x3BC);
  EXPECT_EQ(ProfileHex("  +278"), 0x278);
  EXPECT_EQ(ProfileHex("0x"), 0);
  EXPECT_EQ(ProfileHex("x1"), std::nullopt);
  EXPECT_EQ(ProfileUnsigned("4294967295"), 4294967295u);
  EXPECT_EQ(ProfileUnsigned("-2147483648"), 2147483648u);
}

TEST_F(SettingsFileTest, IntegerEntriesConvertTheirLeadingNumber) {
  Load("[Hardware]\nSearchHardware=3 Versuche\nTimeBaseKorr=  90  \nMessageBeap=aus\n"
       "[Brastel INI-Section]\nX-Koord=\nY-Koord=+50\n");
  EXPECT_EQ(settings.SearchHardware, 3);
  EXPECT_EQ(settings.TimeBaseKorr, 90);
  EXPECT_EQ(settings.MessageBeap, 0);  // no leading digits: 0, not the default 1
  EXPECT_EQ(settings.XKoord, 0);       // present but empty: 0
  EXPECT_EQ(settings.YKoord, 0);
}

TEST_F(SettingsFileTest, ProgramFileFromDataPathAndLastFile) {
  Load("[Brastel INI-Section]\nDataPath=/daten/eprom/\nLastFile=prog.hex\n");
  EXPECT_EQ(settings.ProgramFilePath, "/daten/eprom/prog.hex");
  EXPECT_EQ(settings.ProgramFileName, "prog.hex");
  EXPECT_EQ(settings.DataDirectory, "/daten/eprom/");

  // Without a final separator the last component is taken as a file name.
  Load("[Brastel INI-Section]\nDataPath=/daten/eprom\nLastFile=/anderswo/prog.hex\n");
  EXPECT_EQ(settings.ProgramFilePath, "/daten/prog.hex");
  EXPECT_EQ(settings.ProgramFileName, "prog.hex");
  EXPECT_EQ(settings.DataDirectory, "/daten/eprom");

  // Text entries are cut at 259 characters.
  const std::string longDir = "/" + std::string(300, 'd') + "/";
  Load("[Brastel INI-Section]\nDataPath=" + longDir + "\n");
  EXPECT_EQ(settings.DataDirectory, longDir.substr(0, 259));
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCase) {
  Load("[HARDWARE]\nportadress=3bc\nTIMEBASEKORR=60\n[brastel ini-section]\nx-koord=100\nlastfile=a.bin\n");
  EXPECT_EQ(settings.PortAdress, 0x3BC);
  EXPECT_EQ(settings.TimeBaseKorr, 60);
  EXPECT_EQ(settings.XKoord, 100);
  EXPECT_EQ(settings.ProgramFileName, "a.bin");

  // A save replaces the entries in place and keeps their spelling.
  settings.XKoord = 200;
  SaveSettings(settings);
  const std::string saved = ReadIni();
  EXPECT_THAT(saved, HasSubstr("x-koord=200"));
  EXPECT_THAT(saved, Not(HasSubstr("X-Koord")));
  EXPECT_THAT(saved, Not(HasSubstr("[Hardware]")));
}

TEST_F(SettingsFileTest, DamagedLinesFallBackWithoutDisturbingOthers) {
  std::string ini = "[Hardware]\nPortAdress=3bc\n";
  ini += std::string("\0\0\x01\xff\xfe garbage", 14) + "\n";
  ini += "TimeBaseKorr 90\n";  // no '=': treated as missing
  ini += "TimeOut=2000000\n[Brastel INI-Section\nX-Koord=300\n";
  ini += "[Brastel INI-Section]\nY-Koord=\x01\x02\n=17\nLock1=1\n";
  Load(ini);
  EXPECT_TRUE(feedback.messages.empty());
  EXPECT_EQ(settings.PortAdress, 0x3BC);
  EXPECT_EQ(settings.TimeBaseKorr, 85);
  EXPECT_EQ(settings.TimeOut, 2000000u);
  EXPECT_EQ(settings.XKoord, 10);  // its section header was broken
  EXPECT_EQ(settings.YKoord, 0);
  EXPECT_EQ(settings.Lock1, 1);
}

TEST_F(SettingsFileTest, RandomBytesNeverYieldValuesOutsideTheirRanges) {
  std::mt19937 random(4711);
  for (int round = 0; round < 100; ++round) {
    std::string bytes;
    const int length = static_cast<int>(random() % 2000);
    for (int i = 0; i < length; ++i) {
      // Plenty of structure characters, so sections and keys do turn up.
      const char structure[] = "[]=\n\r-0123456789HardwePotAsTimOuBlXKY ";
      bytes += random() % 3 == 0 ? structure[random() % (sizeof structure - 1)] : static_cast<char>(random());
    }
    if (round % 2 == 0) bytes = "[Hardware]\nTimeBaseKorr=" + bytes;
    feedback.Clear();
    Load(bytes);
    EXPECT_GE(settings.PortAdress, 0x200);
    EXPECT_LE(settings.PortAdress, 0x400);
    EXPECT_GE(settings.TimeBaseKorr, 1);
    EXPECT_LE(settings.TimeBaseKorr, 100);
    EXPECT_GE(settings.TimeOut, 1000000u);
    EXPECT_GE(settings.SearchHardware, 2);
    EXPECT_LE(settings.SearchHardware, 5);
    EXPECT_EQ(settings.HexLineLen % 2, 0u);
    EXPECT_GE(settings.HexLineLen, 2u);
    EXPECT_LE(settings.HexLineLen, 254u);
    EXPECT_GE(settings.ManufIndex, 0);
    EXPECT_GE(settings.DeviceIndex, 0);
    EXPECT_LE(settings.DataDirectory.size(), 259u);
    EXPECT_LE(feedback.messages.size(), 2u);
    // Whatever was read can be saved and read again to the same values.
    const Settings first = settings;
    SaveSettings(settings);
    feedback.Clear();
    Load();
    EXPECT_EQ(settings.PortAdress, first.PortAdress);
    EXPECT_EQ(settings.TimeOut, first.TimeOut);
    EXPECT_EQ(settings.HexLineLen, first.HexLineLen);
    EXPECT_EQ(settings.ManufIndex, first.ManufIndex);
    EXPECT_TRUE(feedback.messages.empty());
  }
}

TEST_F(SettingsFileTest, SaveWritesEveryKeyInOrderAndNeverDebugNT) {
  Load();
  SaveSettings(settings);
  EXPECT_EQ(ReadIni(),
            "[Hardware]\nPortAdress=378\nSearchHardware=2\nTimeOut=1000000\nTimeBaseKorr=85\nMessageBeap=1\n"
            "\n\n[Brastel INI-Section]\nVerify=1\nFFSave=0\nX-Koord=10\nY-Koord=10\nDataFormat=1\n"
            "ManufIndex=0\nDeviceIndex=0\nTestChecksum=1\nShowDeviceData=0\nIDCheck=1\nLock1=0\n"
            "Lock2=0\nLock3=0\nReadFilter=1\nHexLineLen=32\nDataPath=" +
                DefaultDataPath() + "\nLastFile=tmp\n");
}

TEST_F(SettingsFileTest, RoundTripKeepsForeignEntriesCommentsAndDebugNT) {
  WriteIni(
      "; Einstellungen des Brenners\n\n"
      "[Hardware]\nPortAdress=3BC\nDebugNT=1\nFremd=bleibt\n"
      "[Andere Sektion]\n; Kommentar\nSchluessel=Wert\n"
      "[Brastel INI-Section]\nLastFile=prog.hex\nDataPath=/daten/\n");
  Load();
  EXPECT_EQ(settings.DebugNT, 1);
  settings.DebugNT = 0;  // changed in memory, but never written
  settings.SetPortAdress(0x278);
  settings.TimeOut = 4294967295u;
  settings.HexLineLen = 16;
  settings.ProgramFilePath = "/neu/ort/datei.s19";
  SaveSettings(settings);
  EXPECT_EQ(settings.ProgramFileName, "datei.s19");

  const std::string saved = ReadIni();
  EXPECT_THAT(saved, HasSubstr("; Einstellungen des Brenners\n"));
  EXPECT_THAT(saved, HasSubstr("DebugNT=1\n"));
  EXPECT_THAT(saved, HasSubstr("Fremd=bleibt\n"));
  EXPECT_THAT(saved, HasSubstr("; Kommentar\nSchluessel=Wert\n"));
  EXPECT_THAT(saved, HasSubstr("[Andere Sektion]"));
  EXPECT_THAT(saved, HasSubstr("PortAdress=278\n"));
  EXPECT_THAT(saved, HasSubstr("TimeOut=-1\n"));  // signed decimal
  EXPECT_THAT(saved, HasSubstr("DataPath=/neu/ort/\n"));
  EXPECT_THAT(saved, HasSubstr("LastFile=datei.s19\n"));
  // In place: the first key of the section is still the first.
  EXPECT_LT(saved.find("PortAdress"), saved.find("DebugNT"));

  Settings again;
  ScriptedFeedback quiet(again.MessageBeap);
  LoadSettings(again, quiet, dir_);
  EXPECT_TRUE(quiet.messages.empty());
  EXPECT_EQ(again.PortAdress, 0x278);
  EXPECT_EQ(again.DebugNT, 1);
  EXPECT_EQ(again.TimeOut, 4294967295u);
  EXPECT_EQ(again.HexLineLen, 16u);
  EXPECT_EQ(again.ProgramFilePath, "/neu/ort/datei.s19");
  EXPECT_EQ(again.ProgramFileName, "datei.s19");
  EXPECT_EQ(again.DataDirectory, "/neu/ort/");
}

TEST_F(SettingsFileTest, LineBreakInFileNameCannotInjectEntries) {
  Load("[Brastel INI-Section]\nDataPath=/alt/\nLastFile=alt.hex\n");
  settings.ProgramFilePath = "/neu/x\nPortAdress=200\n.hex";
  SaveSettings(settings);
  Settings again;
  ScriptedFeedback quiet(again.MessageBeap);
  LoadSettings(again, quiet, dir_);
  EXPECT_EQ(again.PortAdress, 0x378);
  EXPECT_EQ(again.ProgramFilePath, "/alt/alt.hex");
}

TEST_F(SettingsFileTest, FailedSaveLeavesNothingBehind) {
  // Directory of the target does not exist: nothing is created anywhere.
  settings.SettingsFilePath = dir_ + "fehlt/QUENVALD.INI";
  SaveSettings(settings);
  EXPECT_FALSE(fs::exists(dir_ + "fehlt"));
  EXPECT_TRUE(Leftovers().empty());

  // A directory in place of the file stays a directory.
  fs::create_directory(IniPath());
  fs::create_directory(IniPath() + "/inhalt");
  settings.SettingsFilePath = IniPath();
  SaveSettings(settings);
  EXPECT_TRUE(fs::is_directory(IniPath() + "/inhalt"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SettingsFileTest, WriteFailingHalfWayKeepsTheOldFile) {
  const std::string original = "[Hardware]\nPortAdress=3bc\n; " + std::string(4000, 'x') + "\nFremd=1\n";
  Load(original);
  settings.ProgramFilePath = "/" + std::string(200, 'p') + "/datei.hex";

  // A file size limit makes the write of the new file fail after a few bytes,
  // also for root. The signal it raises would end the process.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveSettings(settings);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(ReadIni(), original);
  EXPECT_TRUE(Leftovers().empty());

  // Without the limit the same save goes through.
  SaveSettings(settings);
  EXPECT_THAT(ReadIni(), HasSubstr("LastFile=datei.hex\n"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SettingsFileTest, SaveKeepsThePermissionsOfTheFile) {
  WriteIni("[Hardware]\n");
  fs::permissions(IniPath(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Load();
  SaveSettings(settings);
  EXPECT_EQ(fs::status(IniPath()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace tav
