// Recognising a file's format from its first lines, the file-open error
// message with its mapped error texts, and the format table.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/files_test_rig.h"

namespace tav {
namespace {

using DetectTest = test::ProgramFileTest;

TEST_F(DetectTest, FirstTwoLinesDecide) {
  const std::string s0 = "S00F00004252415354452056312E3030FA\n";
  const struct {
    std::string content;
    int format;
  } cases[] = {
      {":03001000020030BB\n", 2}, {":020000040000FA\n:03001000020030BB\n", 3}, {";0300100200300045\n", 8},
      {"/0010031302003058\n", 9}, {"S1060010020030B7\n", 5}, {"S207000010020030B6\r\n", 6},
      {"S30800000010020030B5", 7},
      // A segment record first: the second line tells Intel32 from IntelMCS.
      {":020000020000FC\n:020000040000FA\n", 3}, {":020000020000FC\n:03001000020030BB\n", 4},
      {":020000020000FC\n:00000001FF\n", 4}, {":020000020000FC\n", 1},
      // The S0 header leaves the decision to the second line; only two lines are examined.
      {s0 + "S1060010020030B7\n", 5}, {s0 + "S204000000FB\n", 6}, {s0 + "S30500000000FA\n", 7},
      {s0 + s0 + "S1060010020030B7\n", 1}, {s0, 1},
      // Unknown text or control characters mean binary; the last two characters
      // of a line are not examined (a line end may stand there), DEL is no control.
      {"hello\nworld\n:03001000020030BB\n", 1}, {":0300\x01""1000020030BB\n", 1},
      {std::string(":03001\0""00020030BB\n", 18), 1}, {":0300100\xC3\xA4""020030BB\n", 1}, {"", 1},
      {";0300100200300045\x01\n", 8}, {";03001002003000\x7F""5\n", 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    test::WriteFile(settings.ProgramFilePath, c.content);
    EXPECT_EQ(DetectFileFormat(settings.ProgramFilePath, feedback), c.format);
  }
  EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(DetectTest, UnreadablePathsGiveZeroAndThePlainFileMessageWithoutBeep) {
  const std::string file = (dir / "file").string();
  test::WriteFile(file, "x");
  const struct {
    std::string path, error;
  } cases[] = {{(dir / "nothing.hex").string(), "Datei oder Verzeichnis existiert nicht"},
               {dir.string(), std::strerror(EISDIR)},
               {file + "/x.hex", "Pfad nicht gefunden"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    feedback.Clear();
    EXPECT_EQ(DetectFileFormat(c.path, feedback), 0);
    ASSERT_EQ(feedback.Texts(), std::vector<std::string>{"Fehler beim Öffnen der Datei\n\n" + c.path + "\n\n" + c.error});
    EXPECT_EQ(feedback.messages[0].kind, MessageKind::Plain);
    EXPECT_EQ(feedback.beeps, 0);
  }
}

TEST(FileOpenErrorTest, PlatformErrorsMapToTheTableByMeaning) {
  const std::pair<int, std::string> cases[] = {
      {0, " "}, {ENOENT, "Datei oder Verzeichnis existiert nicht"}, {EACCES, "Zugriff verweigert"},
      {EMFILE, "Zu viele Dateien offen"}, {ENFILE, "Zu viele Dateien offen"},
      {ENOSPC, "Kein Platz mehr auf dem Gerät"}, {EROFS, "Read only Dateisystem"}, {EEXIST, "Datei existiert schon"},
      {EIO, "Eingabe/Ausgabe Fehler"}, {EBUSY, "Resource ist beschäftigt"},
      // No entry of that meaning: the platform's own description.
      {EFBIG, std::strerror(EFBIG)}, {ENAMETOOLONG, std::strerror(ENAMETOOLONG)}};
  for (const auto& [error, text] : cases) EXPECT_EQ(FileErrorText(error), text) << error;
}

TEST(FileFormatTableTest, NumbersNamesAndKeys) {
  const char* names[] = {"Binär", "Intel8", "Intel32", "IntelMCS", "Motorola S1 Exorciser",
                         "Motorola S2 Exormax", "Motorola S3 32Bit", "MOS Technology", "Tektronix"};
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
}

}  // namespace
}  // namespace tav
