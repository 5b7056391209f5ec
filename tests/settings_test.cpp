// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scripted_feedback.h"
#include "settings/paths.h"
#include "settings/program_file.h"
#include "tests/files_test_rig.h"
#include "tests/posix_only.h"
#include "tests/unprivileged.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const char kHw[] = "Hardware";
const char kBr[] = "Brastel INI-Section";
const char kPortMessage[] =
    "Portadresse in\n'QUENVALD.INI'\nkann nicht stimmen!!\n\nNehme Standardwert von 0x378.";
const char kHexLenMessage[] =
    "Der Wert für die Länge der HEX-Zeilen ist größer 254 oder kleiner 2.\n"
    "Eingetragene Länge 0\n\nWert geändert auf Standardwert = 32 Datenbytes";
const char kTimeOutMessage[] =
    "Timeout-Zähler in\n'QUENVALD.INI'\nkann nicht stimmen!!\n\nNehme Standardwert von 1000000.";

class SettingsFileTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }

  std::string IniPath() const { return dir_ + "QUENVALD.INI"; }
  // Windows builds write the INI file with CR LF line ends, as every INI file
  // there has them; the expectations below are written with LF.
  std::string ReadIni() const {
    std::string text = test::ReadFile(IniPath());
    std::erase(text, '\r');
    return text;
  }
  // Loads `ini` written as the settings file, or the file as it is.
  void Load(const std::optional<std::string>& ini = {}) {
    if (ini) test::WriteFile(IniPath(), *ini);
    feedback.Clear();
    LoadSettings(settings, feedback, dir_);
  }

  struct Entry { const char* text; int64_t value; const char* message = nullptr; };
  // Loads a file holding just `key` for each entry text; checks the field,
  // the message (or none) and that the derived ports follow PortAdress.
  template <typename T>
  void ExpectKey(const char* section, const char* key, T Settings::*field, std::initializer_list<Entry> entries) {
    for (const Entry& e : entries) {
      SCOPED_TRACE(std::string(key) + "=" + e.text);
      Load(std::string("[") + section + "]\n" + key + "=" + e.text + "\n");
      EXPECT_EQ(static_cast<int64_t>(settings.*field), e.value);
      EXPECT_EQ(feedback.Texts(), e.message ? std::vector<std::string>{e.message} : std::vector<std::string>{});
      EXPECT_EQ(settings.StatusPort, settings.PortAdress + 1);
      EXPECT_EQ(settings.ControlPort, settings.PortAdress + 2);
    }
  }

  test::ScratchDirectory scratch_{"tav_settings"};
  const std::string dir_ = scratch_.Slash();
  Settings settings;
  // Reads the record's own beep switch, as the application wires it.
  ScriptedFeedback feedback{settings.MessageBeap};
};

TEST_F(SettingsFileTest, MissingFileGivesEveryDefaultAndTheFirstSaveWritesThemInOrder) {
  Load();
  EXPECT_FALSE(fs::exists(IniPath()));  // loading never creates the file

  // Every default shows in the first save, in the order of writing; DebugNT never does.
  SaveSettings(settings);
  EXPECT_EQ(ReadIni(),
            "[Hardware]\nPortAdress=378\nSearchHardware=2\nTimeOut=1000000\nTimeBaseKorr=85\nMessageBeap=1\n"
            "\n\n[Brastel INI-Section]\nVerify=1\nFFSave=0\nX-Koord=10\nY-Koord=10\nDataFormat=1\n"
            "ManufIndex=0\nDeviceIndex=0\nTestChecksum=1\nShowDeviceData=0\nIDCheck=1\nLock1=0\n"
            "Lock2=0\nLock3=0\nReadFilter=1\nHexLineLen=32\nDataPath=" +
                DefaultDataPath() + "\nLastFile=tmp\n");
}

TEST_F(SettingsFileTest, EveryKeyKeepsItsRangeOrFallsBack) {
  ExpectKey(kHw, "PortAdress", &Settings::PortAdress, {{"0x278", 0x278}, {"100", 0x100}, {"FFFD", 0xFFFD},
            {"ff", 0x378, kPortMessage}, {"FFFE", 0x378, kPortMessage}, {"zz", 0x378, kPortMessage}});
  ExpectKey(kBr, "HexLineLen", &Settings::HexLineLen,
            {{"33", 32}, {"300", 44}, {"255", 254}, {"2", 2}, {"1", 32, kHexLenMessage}, {"256", 32, kHexLenMessage}});
  // Above the dialog's 10000000 one failed detection would wait for hours;
  // "-1" is what a count beyond INT32_MAX looks like once written back.
  ExpectKey(kHw, "TimeOut", &Settings::TimeOut, {{"50000", 1000000}, {"10000000", 10000000},
            {"10000001", 1000000, kTimeOutMessage}, {"-1", 1000000, kTimeOutMessage}});
  ExpectKey(kHw, "TimeBaseKorr", &Settings::TimeBaseKorr, {{"0", 85}, {"101", 85}, {"1", 1}, {"100", 100}});
  ExpectKey(kHw, "SearchHardware", &Settings::SearchHardware, {{"1", 2}, {"5", 5}, {"6", 2}});
  ExpectKey(kHw, "MessageBeap", &Settings::MessageBeap, {{"7", 1}, {"0", 0}});
  ExpectKey(kBr, "ManufIndex", &Settings::ManufIndex, {{"-3", 1}, {"7", 7}});
  ExpectKey(kBr, "DeviceIndex", &Settings::DeviceIndex, {{"-3", 0}, {"12", 12}});
  ExpectKey(kBr, "X-Koord", &Settings::XKoord, {{"2000", 10}, {"-4", 10}, {"1024", 1024}});
  ExpectKey(kBr, "IDCheck", &Settings::IDCheck, {{"256", 0}, {"257", 1}});
  ExpectKey(kBr, "ReadFilter", &Settings::ReadFilter, {{"4", 1}, {"0", 1}, {"3", 3}});
  ExpectKey(kBr, "DataFormat", &Settings::DataFormat, {{"0", 1}, {"9", 9}, {"10", 1}});
  ExpectKey(kBr, "Verify", &Settings::Verify, {{"5", 1}, {"0", 0}});
  ExpectKey(kBr, "ShowDeviceData", &Settings::ShowDeviceData, {{"-1", 0}, {"1", 1}});
  ExpectKey(kBr, "Lock1", &Settings::Lock1, {{"1", 1}, {"3", 0}});
}

TEST_F(SettingsFileTest, ProgramFileFromDataPathAndLastFile) {
  // Without a final separator the last component of DataPath is taken as a
  // file name; files written before: a quoted value loses its quotes, an
  // unquoted one is read as it stands.
  const std::array<std::string, 3> cases[] = {
      {"/daten/eprom", "/anderswo/prog.hex", "/daten/prog.hex"}, {"\"/daten/ a/\"", "\" x.hex\"", "/daten/ a/ x.hex"},
      {"/daten/", "\"x.hex", "/daten/\"x.hex"}, {"/daten/eprom/", "prog.hex", "/daten/eprom/prog.hex"}};
  for (const auto& [dataPath, lastFile, path] : cases) {
    Load("[Brastel INI-Section]\nDataPath=" + dataPath + "\nLastFile=" + lastFile + "\n");
    EXPECT_EQ(settings.ProgramFilePath, path);
  }
}

// The INI reader drops the blanks around a value: a chosen file whose name
// or directory begins or ends with one must still be the file of the next
// run. Such paths are saved in quotes; plain ones stay as they were written.
TEST_F(SettingsFileTest, AnyChosenProgramFileSurvivesSaveAndLoad) {
  for (const std::string& path : {dir_ + " lead.hex", dir_ + "trail.hex ", dir_ + "\tboth\t", dir_ + " blank dir /prog.hex",
                                  dir_ + "\"q\".hex\"", dir_ + "\"", dir_ + "\"\"", dir_ + "plain.hex",
                                  std::string(" relative dir/x.hex")}) {
    SCOPED_TRACE("[" + path + "]");
    Load("");
    UseProgramFile(settings, path);
    SaveSettings(settings);
    Settings again;
    LoadSettings(again, feedback, dir_);
    EXPECT_EQ(again.ProgramFilePath + "|" + again.ProgramFileName + "|" + again.DataDirectory,
              path + "|" + settings.ProgramFileName + "|" + settings.DataDirectory);
  }
  // Quotes only where a blank is at an edge.
  EXPECT_THAT(ReadIni(), HasSubstr("DataPath=\" relative dir/\"\nLastFile=x.hex\n"));
}

TEST_F(SettingsFileTest, DamagedLinesFallBackWithoutDisturbingOthers) {
  const std::string ini = "[Hardware]\nPortAdress=3bc\n" + std::string("\0\0\x01\xff\xfe garbage\0\n", 15) +
                          "TimeBaseKorr 90\nTimeOut=2000000\n[Brastel INI-Section\nX-Koord=300\n"  // no '=' in line 4
                          "[Brastel INI-Section]\nY-Koord=\x01\x02\n=17\nLock1=1\n";
  Load(ini);
  EXPECT_TRUE(feedback.messages.empty());
  // X-Koord's section header was broken.
  EXPECT_EQ(std::vector<int64_t>({settings.PortAdress, settings.TimeBaseKorr, settings.TimeOut, settings.XKoord,
                                  settings.YKoord, settings.Lock1}),
            std::vector<int64_t>({0x3BC, 85, 2000000, 10, 0, 1}));
}

TEST_F(SettingsFileTest, SaveReplacesInPlaceKeepsEverythingElseButNeverWritesDebugNT) {
  // Names match without regard to case.
  Load("; Einstellungen des Brenners\n\n"
       "[HARDWARE]\nportadress=3BC\nDebugNT=1\nFremd=bleibt\n"
       "[Andere Sektion]\n; Kommentar\nSchluessel=Wert\n"
       "[brastel ini-section]\nlastfile=prog.hex\nDataPath=/daten/\nx-koord=100\n");
  EXPECT_EQ(settings.PortAdress, 0x3BC);
  EXPECT_EQ(settings.ProgramFilePath, "/daten/prog.hex");
  EXPECT_EQ(settings.DebugNT, 1);
  settings.DebugNT = 0;  // changed in memory, but never written
  settings.SetPortAdress(0x278);
  settings.TimeOut = 4294967295u;
  settings.ProgramFilePath = "/neu/ort/datei.s19";
  SaveSettings(settings);
  // Entries keep their spelling and place: the first key of a section stays first.
  for (const char* kept : {"; Einstellungen des Brenners\n", "[HARDWARE]\nportadress=278\nDebugNT=1\nFremd=bleibt\n",
                           "[Andere Sektion]\n", "; Kommentar\nSchluessel=Wert\n", "TimeOut=-1\n",
                           "[brastel ini-section]\nlastfile=datei.s19\nDataPath=/neu/ort/\nx-koord=100\n"})
    EXPECT_THAT(ReadIni(), HasSubstr(kept));
  EXPECT_THAT(ReadIni(), Not(HasSubstr("[Hardware]")));
  Load();
  EXPECT_EQ(settings.DebugNT, 1);

  // A file name with a line break cannot smuggle in entries: both keep their values.
  settings.ProgramFilePath = "/neu/x\nPortAdress=200\n.hex";
  SaveSettings(settings);
  Load();
  EXPECT_EQ(settings.PortAdress, 0x278);
  EXPECT_EQ(settings.ProgramFilePath, "/neu/ort/datei.s19");
}

// Windows editors save with a UTF-8 signature or as UTF-16: the first
// section must still be found, and the next save must keep every entry.
TEST_F(SettingsFileTest, SignaturesAndUtf16AreReadAndTheSaveKeepsTheEntries) {
  // A name beyond the 16 bits of one UTF-16 unit too.
  const std::string utf8 = "\xEF\xBB\xBF[Hardware]\r\nPortAdress=3bc\r\n[Brastel INI-Section]\r\nLastFile=Größe😀.hex\r\n";
  const std::u16string text = u"[Hardware]\r\nPortAdress=3bc\r\n[Brastel INI-Section]\r\nLastFile=Größe😀.hex\r\n";
  std::string little = "\xFF\xFE";  // with its mark
  for (const char16_t unit : text) little += {char(unit & 0xFF), char(unit >> 8)};
  // Read, saved and read again.
  for (const std::string& file : {utf8, little}) {
    Load(file);
    SaveSettings(settings);
    Load();
    EXPECT_EQ(settings.PortAdress, 0x3BC);
    EXPECT_EQ(settings.ProgramFileName, "Größe😀.hex");
    EXPECT_THAT(ReadIni(), Not(HasSubstr(std::string(1, '\0'))));
  }
  // A foreign entry whose name begins with the bytes of a mark ends up first
  // in the saved file; the next load must not take the file for UTF-16.
  for (const std::string mark : {"\xFE\xFF", "\xFF\xFE"}) {
    Load("\n" + mark + "=\n[Hardware]\nPortAdress=3bc\n");
    SaveSettings(settings);
    Load();
    EXPECT_EQ(settings.PortAdress, 0x3BC);
    EXPECT_TRUE(feedback.Texts().empty());
  }
}

// A save through the shared writer (whose failed writes the program-file
// tests see) replaces the file but keeps its rights, and follows a link.
TEST_F(SettingsFileTest, SaveKeepsTheRightsAndFollowsALinkLeavingNoTemporaryFile) {
  TAV_POSIX_ONLY("the rights are POSIX modes");
  Load("[Hardware]\nPortAdress=3bc\n");
  const auto rights = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(IniPath(), rights);
  settings.ProgramFilePath = "/daten/datei.hex";
  SaveSettings(settings);
  EXPECT_THAT(ReadIni(), HasSubstr("LastFile=datei.hex\n"));
  EXPECT_EQ(fs::status(IniPath()).permissions() & fs::perms::all, rights);
  EXPECT_EQ(test::EntriesIn(dir_), 1u);

  // A settings file that is a link to another file: that file changes, the link stays.
  fs::rename(IniPath(), dir_ + "real.ini");
  fs::create_symlink(dir_ + "real.ini", IniPath());
  settings.SetPortAdress(0x278);
  SaveSettings(settings);
  EXPECT_TRUE(fs::is_symlink(IniPath()));
  EXPECT_THAT(test::ReadFile(dir_ + "real.ini"), HasSubstr("PortAdress=278\n"));
}

// A folder where the settings file may be written but no file made: the
// file is written in place, with everything else it held, and a write that
// fails half-way (a full disk) leaves it as it was.
TEST_F(SettingsFileTest, InALockedDirectoryTheFileIsSavedInPlaceOrNotAtAll) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a folder locked against one user, and a user to give root up for";
#else
  const std::string original = "[Hardware]\nPortAdress=3bc\n; " + std::string(300, 'x') + "\nFremd=1\n";
  test::LockedDirectory locked(dir_, "QUENVALD.INI", original);
  ASSERT_TRUE(locked.Valid());
  const std::string dir = locked.Dir().string() + "/";
  const auto save = [&](bool fullDisk) {
    return locked.Run([&] {
      LoadSettings(settings, feedback, dir);
      settings.SetPortAdress(0x278);
      test::FileSizeLimit limit(fullDisk ? 100 : RLIM_INFINITY);
      SaveSettings(settings);
      return 0;
    });
  };
  ASSERT_EQ(save(true), 0);
  EXPECT_EQ(test::ReadFile(locked.File()), original);
  ASSERT_EQ(save(false), 0);
  const std::string ini = test::ReadFile(locked.File());
  EXPECT_THAT(ini, HasSubstr("PortAdress=278\n"));
  EXPECT_THAT(ini, HasSubstr("Fremd=1\n"));
  EXPECT_EQ(test::EntriesIn(locked.Dir()), 1u);
#endif
}

}  // namespace
}  // namespace tav
