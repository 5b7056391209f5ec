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
  const std::pair<std::string, int> cases[] = {
      {":03001000020030BB\n", 2}, {":020000040000FA\n:03001000020030BB\n", 3}, {"S30800000010020030B5", 7},
      {";0300100200300045\n", 8}, {"/0010031302003058\n", 9}, {"S1060010020030B7\n", 5}, {"S207000010020030B6\r\n", 6},
      // A segment record first: the second line tells Intel32 from IntelMCS.
      {":020000020000FC\n:020000040000FA\n", 3}, {":020000020000FC\n:03001000020030BB\n", 4},
      {":020000020000FC\n:00000001FF\n", 4}, {":020000020000FC\n", 1},
      // The S0 header leaves the decision to the second line; only two lines are examined.
      {s0 + "S1060010020030B7\n", 5}, {s0 + "S204000000FB\n", 6}, {s0 + "S30500000000FA\n", 7},
      {s0 + s0 + "S1060010020030B7\n", 1}, {s0, 1},
      // Unknown text or control characters mean binary; the last two characters
      // of a line are not examined, a line end may stand there.
      {"hello\nworld\n:03001000020030BB\n", 1}, {":0300\x01""1000020030BB\n", 1}, {"", 1},
      {";0300100200300045\x01\n", 8},
  };
  for (const auto& [content, format] : cases) {
    SCOPED_TRACE(content);
    test::WriteFile(path, content);
    EXPECT_EQ(DetectFileFormat(path, feedback), format);
  }
}

TEST_F(DetectTest, UnreadablePathsGiveZeroAndThePlainFileMessageWithoutBeep) {
  test::WriteFile(dir / "file", "x");
#ifdef _WIN32
  // Windows answers a path through a file as a missing one (ENOENT).
  const std::string throughAFile = "Datei oder Verzeichnis existiert nicht";
#else
  const std::string throughAFile = "Pfad nicht gefunden";
#endif
  const std::pair<std::string, std::string> cases[] = {
      {(dir / "nothing.hex").string(), "Datei oder Verzeichnis existiert nicht"},
      {(dir / "file" / "x.hex").string(), throughAFile}};
  for (const auto& [path, error] : cases) {
    feedback.Clear();
    EXPECT_EQ(DetectFileFormat(path, feedback), 0);
    EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Fehler beim Öffnen der Datei\n\n" + path + "\n\n" + error});
    EXPECT_EQ(feedback.messages.at(0).kind, MessageKind::Plain);
    EXPECT_EQ(feedback.beeps, 0);
  }
}

TEST(FileOpenErrorTest, PlatformErrorsMapToTheTableByMeaning) {
  const std::pair<int, std::string> cases[] = {
      {0, " "}, {EACCES, "Zugriff verweigert"}, {EMFILE, "Zu viele Dateien offen"}, {ENFILE, "Zu viele Dateien offen"},
      {ENOSPC, "Kein Platz mehr auf dem Gerät"}, {EROFS, "Read only Dateisystem"}, {EIO, "Eingabe/Ausgabe Fehler"},
      // No entry of that meaning: the platform's own description.
      {EFBIG, std::strerror(EFBIG)}};
  for (const auto& [error, text] : cases) EXPECT_EQ(FileErrorText(error), text) << error;
}

TEST(FileFormatTableTest, NumbersNamesAndKeys) {
  const char* names[] = {"Binär", "Intel8", "Intel32", "IntelMCS", "Motorola S1 Exorciser",
                         "Motorola S2 Exormax", "Motorola S3 32Bit", "MOS Technology", "Tektronix"};
  const char* keys[] = {"bin", "intel8", "intel32", "intelmcs", "s1", "s2", "s3", "mos", "tek"};
  ASSERT_EQ(FileFormats().size(), std::size(names));
  int n = 0;
  for (const FileFormatInfo& f : FileFormats()) {
    ++n;
    EXPECT_EQ(f.number, n);
    EXPECT_EQ(FindFileFormat(n), &f);
    EXPECT_STREQ(f.name, names[n - 1]);
    EXPECT_EQ(FindFileFormatByKey(keys[n - 1]), &f);
    EXPECT_EQ(f.textMode, n != 1);
  }
}

}  // namespace
}  // namespace tav
