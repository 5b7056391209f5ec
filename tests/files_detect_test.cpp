// Recognising a file's format from its first lines, the file-open error
// message with its mapped error texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tests/files_test_rig.h"
#include "tests/posix_only.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using DetectTest = test::ProgramFileTest;
const std::string s0 = "S00F00004252415354452056312E3030FA\n";

TEST_F(DetectTest, FirstTwoLinesDecide) {
  const std::pair<std::string, int> cases[] = {
      // Intel8, MOS and Tektronix records alone are the reader tests' example files.
      {":020000040000FA\n:03001000020030BB\n", 3}, {"S30800000010020030B5", 7}, {"S1060010020030B7\n", 5},
      {"S207000010020030B6\r\n", 6},
      // A segment record first: the second line tells Intel32 from IntelMCS.
      {":020000020000FC\n:020000040000FA\n", 3}, {":020000020000FC\n:03001000020030BB\n", 4},
      {":020000020000FC\n:00000001FF\n", 4},
      // The S0 header leaves the decision to the second line.
      {s0 + "S1060010020030B7\n", 5}, {s0 + "S204000000FB\n", 6}, {s0 + "S30500000000FA\n", 7},
      // Files of end records, as an erased chip is saved, are their format.
      {":00000001FF\r\n", 2}, {s0 + "S9030000FC\n", 5}, {s0 + "S804000000FB\n", 6}, {s0 + "S70500000000FA\n", 7},
      // A byte-order mark, empty lines and CR-only line ends are not examined.
      {"\xEF\xBB\xBF:03001000020030BB\n", 2}, {"\r\n  \n\n" + s0 + "\n" + "S1060010020030B7\n", 5},
      {":020000020000FC\r:020000040000FA\r", 3},
      // Control characters mean binary; the last two characters of a line are
      // not examined, a line end may stand there. Tabs, UTF-8 and a few
      // bytes of an 8-bit code page are text; blank cells are not.
      {":0300\x01""1000020030BB\n", 1}, {";0300100200300045\x01\n", 8}, {"", 1}, {"Z", 1}, {"Z\n", 1},
      {"/\tcomment\n", 9}, {"/ Lampe f\xC3\xBCr P1.0\n", 9}, {"/ Lampe f\xFCr P1.0\n", 9},
      {std::string(300, '\xFF') + "\x02", 1}, {"\xFF\xFF\xFF" + std::string(6, 'x'), 1},
  };
  for (const auto& [content, format] : cases) {
    SCOPED_TRACE(content);
    test::WriteFile(path, content);
    feedback.Clear();
    EXPECT_EQ(DetectFileFormat(path, feedback), format);
    EXPECT_TRUE(feedback.messages.empty()) << feedback.LastText();
  }
}

// Text of no known format is never burnt as its characters: a source file,
// a note, junk lines before the records, records beyond the second line.
TEST_F(DetectTest, TextOfNoFormatIsRefusedNamingTheFile) {
  const std::string cases[] = {"#include <8051.h>\n\nvoid main(void)\n{\n\tP1 = 0;\n",
                               "hello\nworld\n:03001000020030BB\n", s0 + s0 + "S1060010020030B7\n", s0,
                               ":020000020000FC\n", "\n \n", "\xEF\xBB\xBF"};
  for (const std::string& content : cases) {
    SCOPED_TRACE(content);
    test::WriteFile(path, content);
    feedback.Clear();
    EXPECT_EQ(DetectFileFormat(path, feedback), 0);
    EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Unbekanntes Dateiformat:\n\n" + path +
                                                         "\n\nDie ersten Zeilen sind Text, aber keine Records\n"
                                                         "der Formate Intel, Motorola, MOS Technology\noder Tektronix."});
    EXPECT_EQ(LoadFile(), 3);
    EXPECT_EQ(dataFormat, 0);
  }
}

// Program images as the 8051 tools make them stay binary: a program
// assembled with as31 and converted with srec_cat, and random bytes of
// every seed tried.
TEST_F(DetectTest, RealBinaryImagesStayBinary) {
  TAV_POSIX_ONLY("the 8051 tools are tools of the building machine, run through its shell");
  for (const char* tool : {"/usr/bin/as31", "/usr/bin/srec_cat"})
    if (!fs::exists(tool)) GTEST_SKIP() << tool << " is not installed";
  test::WriteFile(dir / "lamp.asm",
                  "\t.org 0\nstart:\tmov sp, #0x2f\nloop:\tcpl p1.0\n\tacall delay\n\tsjmp loop\n"
                  "delay:\tmov r7, #250\nd1:\tmov r6, #250\nd2:\tnop\n\tnop\n\tdjnz r6, d2\n\tdjnz r7, d1\n\tret\n\t.end\n");
  const std::string commands = "cd " + dir.string() +
                               " && (as31 -Fhex lamp.asm && srec_cat lamp.hex -Intel -o lamp.bin -binary) >tools.log 2>&1";
  ASSERT_EQ(std::system(commands.c_str()), 0) << test::ReadFile(dir / "tools.log");
  std::vector<std::string> images = {test::ReadFile(dir / "lamp.bin")};
  std::mt19937 random(1);
  for (int seed = 0; seed < 200; ++seed) {
    images.emplace_back(64 + seed * 37, '\0');
    for (char& c : images.back()) c = static_cast<char>(random());
  }
  for (const std::string& bytes : images) {
    test::WriteFile(path, bytes);
    EXPECT_EQ(DetectFileFormat(path, feedback), 1) << bytes.size();
  }
  // The assembled program loads as the same bytes from either file.
  path = (dir / "lamp.hex").string();
  ASSERT_EQ(LoadFile(), 0);
  const std::string fromHex(image.Bytes.begin(), image.Bytes.begin() + image.ByteCount);
  path = (dir / "lamp.bin").string();
  ASSERT_EQ(LoadFile(), 0);
  EXPECT_EQ(dataFormat, 1);
  EXPECT_EQ(std::string(image.Bytes.begin(), image.Bytes.begin() + image.ByteCount), fromHex);
  EXPECT_EQ(fromHex.substr(0, 3), "\x75\x81\x2F");
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

}  // namespace
}  // namespace tav
