// Recognising a file's format from its first lines, the file-open error
// message with its mapped error texts, and the format table.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/scripted_feedback.h"
#include "files/program_files.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

class DetectTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(scratch.Valid()); }

  int Detect(const std::string& content) {
    const std::string path = (dir / "any.name").string();
    std::ofstream(path, std::ios::binary) << content;
    return DetectFileFormat(path, feedback);
  }

  test::ScratchDirectory scratch{"tav_detect"};
  const fs::path& dir = scratch.Path();
  int beep = 1;
  ScriptedFeedback feedback{beep};
};

TEST_F(DetectTest, FirstLineDecides) {
  EXPECT_EQ(Detect(":03001000020030BB\n"), 2);
  EXPECT_EQ(Detect(":020000040000FA\n:03001000020030BB\n"), 3);
  EXPECT_EQ(Detect(";0300100200300045\n"), 8);
  EXPECT_EQ(Detect("/0010031302003058\n"), 9);
  EXPECT_EQ(Detect("S1060010020030B7\n"), 5);
  EXPECT_EQ(Detect("S207000010020030B6\r\n"), 6);
  EXPECT_EQ(Detect("S30800000010020030B5"), 7);
  EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(DetectTest, SegmentRecordFirstNeedsTheSecondLine) {
  EXPECT_EQ(Detect(":020000020000FC\n:020000040000FA\n"), 3);
  EXPECT_EQ(Detect(":020000020000FC\n:03001000020030BB\n"), 4);
  EXPECT_EQ(Detect(":020000020000FC\n:00000001FF\n"), 4);
  // Nothing after it: nothing known, and so binary.
  EXPECT_EQ(Detect(":020000020000FC\n"), 1);
}

TEST_F(DetectTest, MotorolaHeaderLeavesTheDecisionToTheSecondLine) {
  const std::string s0 = "S00F00004252415354452056312E3030FA\n";
  EXPECT_EQ(Detect(s0 + "S1060010020030B7\n"), 5);
  EXPECT_EQ(Detect(s0 + "S204000000FB\n"), 6);
  EXPECT_EQ(Detect(s0 + "S30500000000FA\n"), 7);
  // Only two lines are examined.
  EXPECT_EQ(Detect(s0 + s0 + "S1060010020030B7\n"), 1);
  EXPECT_EQ(Detect(s0), 1);
}

TEST_F(DetectTest, ControlCharactersOrUnknownTextMeanBinary) {
  EXPECT_EQ(Detect("hello\nworld\n:03001000020030BB\n"), 1);
  EXPECT_EQ(Detect(":0300\x01""1000020030BB\n"), 1);
  EXPECT_EQ(Detect(std::string(":03001\0""00020030BB\n", 18)), 1);
  EXPECT_EQ(Detect(":0300100\xC3\xA4""020030BB\n"), 1);
  EXPECT_EQ(Detect(""), 1);
  // The last two characters of a line are not examined (a line end may
  // stand there), and DEL is not a control character here.
  EXPECT_EQ(Detect(";0300100200300045\x01\n"), 8);
  EXPECT_EQ(Detect(";03001002003000\x7F""5\n"), 8);
}

TEST_F(DetectTest, UnreadablePathsGiveZeroAndTheFileMessage) {
  const std::string missing = (dir / "nothing.hex").string();
  EXPECT_EQ(DetectFileFormat(missing, feedback), 0);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0].text,
            "Fehler beim Öffnen der Datei\n\n" + missing + "\n\nDatei oder Verzeichnis existiert nicht");

  feedback.Clear();
  EXPECT_EQ(DetectFileFormat(dir.string(), feedback), 0);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0].text,
            "Fehler beim Öffnen der Datei\n\n" + dir.string() + "\n\n" + std::strerror(EISDIR));

  feedback.Clear();
  const std::string underFile = (dir / "file" / "x.hex").string();
  std::ofstream((dir / "file").string()) << "x";
  EXPECT_EQ(DetectFileFormat(underFile, feedback), 0);
  EXPECT_EQ(feedback.LastText(), "Fehler beim Öffnen der Datei\n\n" + underFile + "\n\nPfad nicht gefunden");
}

TEST(FileOpenErrorTest, PlatformErrorsMapToTheTableByMeaning) {
  EXPECT_EQ(FileErrorText(0), " ");
  EXPECT_EQ(FileErrorText(ENOENT), "Datei oder Verzeichnis existiert nicht");
  EXPECT_EQ(FileErrorText(EACCES), "Zugriff verweigert");
  EXPECT_EQ(FileErrorText(EMFILE), "Zu viele Dateien offen");
  EXPECT_EQ(FileErrorText(ENFILE), "Zu viele Dateien offen");
  EXPECT_EQ(FileErrorText(ENOSPC), "Kein Platz mehr auf dem Gerät");
  EXPECT_EQ(FileErrorText(EROFS), "Read only Dateisystem");
  EXPECT_EQ(FileErrorText(EEXIST), "Datei existiert schon");
  EXPECT_EQ(FileErrorText(EIO), "Eingabe/Ausgabe Fehler");
  EXPECT_EQ(FileErrorText(EBUSY), "Resource ist beschäftigt");
  // No entry of that meaning: the platform's own description.
  EXPECT_EQ(FileErrorText(EFBIG), std::strerror(EFBIG));
  EXPECT_EQ(FileErrorText(ENAMETOOLONG), std::strerror(ENAMETOOLONG));
}

TEST(FileOpenErrorTest, PlainBoxWithoutBeep) {
  int beep = 1;
  ScriptedFeedback feedback(beep);
  ShowFileOpenError(feedback, "C:\\prog.hex", ENOSPC);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0].text, "Fehler beim Öffnen der Datei\n\nC:\\prog.hex\n\nKein Platz mehr auf dem Gerät");
  EXPECT_EQ(feedback.messages[0].kind, MessageKind::Plain);
  EXPECT_FALSE(feedback.messages[0].beeped);
  EXPECT_EQ(feedback.beeps, 0);
}

TEST(FileFormatTableTest, NumbersNamesAndKeys) {
  const char* names[] = {"Binär",
                         "Intel8",
                         "Intel32",
                         "IntelMCS",
                         "Motorola S1 Exorciser",
                         "Motorola S2 Exormax",
                         "Motorola S3 32Bit",
                         "MOS Technology",
                         "Tektronix"};
  const char* keys[] = {"bin", "intel8", "intel32", "intelmcs", "s1", "s2", "s3", "mos", "tek"};
  for (int n = 1; n <= 9; ++n) {
    const FileFormatInfo* f = FindFileFormat(n);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->name, names[n - 1]);
    EXPECT_EQ(FindFileFormatByKey(keys[n - 1]), f);
    EXPECT_EQ(f->textMode, n != 1);
    EXPECT_STREQ(f->extension, n == 1 ? "bin" : "hex");
  }
  EXPECT_EQ(FindFileFormatByKey("Intel32"), FindFileFormat(3));
  EXPECT_EQ(FindFileFormat(0), nullptr);
  EXPECT_EQ(FindFileFormat(10), nullptr);
  EXPECT_EQ(FindFileFormatByKey("intel"), nullptr);
  EXPECT_EQ(FindFileFormatByKey(""), nullptr);
}

}  // namespace
}  // namespace tav
