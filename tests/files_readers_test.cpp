// SPDX-License-Identifier: GPL-2.0-or-later
// Recognising a file's format, the text and binary readers, the store rule
// and the size check, driven through LoadProgramFile on real files, and the
// file-open message with its mapped error texts.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/files_test_rig.h"

namespace tav {
namespace {

using std::to_string;
const std::string s0 = "S00F00004252415354452056312E3030FA\n";

// The one message of a load that failed, after the format it found.
std::string Len(int format, int line, int read, int computed) {
  return "f" + to_string(format) + ": Länge der HEX-Zeile " + to_string(line) + " stimmt nicht !\n\nGelesen " +
         to_string(read) + "\nBerechnet " + to_string(computed) + "\n";
}
std::string Sum(int format, int line, std::string read, std::string computed) {
  return "f" + to_string(format) + ": Prüfsumme der HEX-Zeile " + to_string(line) + " stimmt nicht !\n\nGelesen 0x" +
         read + "\nBerechnet 0x" + computed + "\n";
}
std::string TooMuch(int format, int allowed, int read, int highest) {
  return "f" + to_string(format) + ": Zuviele Programmdaten für diesen Controller-Typ !\n\nErlaubt: " +
         to_string(allowed) + " Bytes\nGelesen: " + to_string(read) + " Bytes\n\nHöchste erlaubte Adresse: " +
         to_string(allowed - 1) + "\nHöchste gefundene Adresse: " + to_string(highest) + "\n";
}
std::string NoStart(int format) {
  return "f" + to_string(format) + ": Zeilenanfang in Zeile 2\nder Hex-Datei nicht gefunden !";
}

class ReaderTest : public test::ProgramFileTest {
protected:
  std::string NoHex(int format, int line, int column) const {
    return "f" + to_string(format) + ": Keine Hexziffer in Zeile " + to_string(line) + ", Spalte " + to_string(column) +
           "\nder Hex-Datei !\n\n" + path;
  }
  // What a load leaves: the format it found, then on success the byte count
  // and the runs of non-empty cells, on failure its one message.
  std::string Load(const std::string& content, uint32_t deviceSize = ProgramImage::kSize) {
    test::WriteFile(path, content);
    sizeBytes = deviceSize;
    return Outcome();
  }
  std::string Outcome() {
    feedback.Clear();
    const int result = LoadFile();
    const std::string format = "f" + to_string(dataFormat);
    if (result == 3 && feedback.messages.size() == 1) return format + ": " + feedback.LastText();
    if (result != 0 || !feedback.messages.empty()) return "result " + to_string(result) + ": " + feedback.LastText();
    return format + " " + Cells();
  }
  std::string Cells() const {
    std::string cells = "n" + to_string(image.ByteCount);
    char hex[8];
    for (uint32_t a = 0; a < ProgramImage::kSize; ++a) {
      if (image.Bytes[a] == 0xFF) continue;
      if (a == 0 || image.Bytes[a - 1] == 0xFF) std::snprintf(hex, sizeof hex, " %04X:", a), cells += hex;
      std::snprintf(hex, sizeof hex, "%02X", image.Bytes[a]), cells += hex;
    }
    return cells;
  }
};

// The first two lines decide the format; text of no known format is never
// burnt as its characters.
TEST_F(ReaderTest, EveryFormatLoadsOrNamesTheFaultyLine) {
  const std::string intel = ":0100200011CE\n", mcs = ":020000020000FC\n", example = " n3 0010:020030";
  const std::string unknown = "f0: Unbekanntes Dateiformat:\n\n" + path + "\n\nDie ersten Zeilen sind Text, aber "
                              "keine Records\nder Formate Intel, Motorola, MOS Technology\noder Tektronix.";
  const std::string record = ":10000000000102030405060708090A0B0C0D0E0F78\n";
  struct Case { std::string file, outcome; uint32_t size = ProgramImage::kSize; };
  std::vector<Case> cases = {
      // End records stop reading: what follows them is never looked at.
      {":03001000020030BB\n:00000001FF\ngarbage\n", "f2" + example}, {"S30800000010020030B5\n", "f7" + example},
      {s0 + "S1060010020030B7\nS9030000FC\ngarbage\n", "f5" + example}, {s0 + "S207000010020030B6\n", "f6" + example},
      {";0300100200300045\n;0000010001\ngarbage\n", "f8" + example},
      {"/0010031302003058\n/00000000\ngarbage\n", "f9" + example}, {"S1060010020030B7\n", "f5" + example},
      // Extended addresses: a segment record first leaves the decision
      // between Intel32 and IntelMCS to the second line.
      {":020000040000FA\n:03001000020030BB\n", "f3" + example}, {mcs + ":020000040000FA\n", "f3 n0"},
      {mcs + ":03001000020030BB\n", "f4" + example}, {mcs + ":00000001FF\n", "f4 n0"},
      // The S0 header leaves the decision to the second line; files of end
      // records, as an erased chip is saved, are their format.
      {s0 + "S204000000FB\n", "f6 n0"}, {s0 + "S30500000000FA\n", "f7 n0"}, {":00000001FF\r\n", "f2 n0"},
      {s0 + "S9030000FC\n", "f5 n0"}, {s0 + "S804000000FB\n", "f6 n0"}, {s0 + "S70500000000FA\n", "f7 n0"},
      {mcs + ":020000040000FA\r", "f3 n0"}, {"S207000010020030B6\r\n", "f6" + example},
      // Control characters mean binary; the last two characters of a line are
      // not examined, a line end may stand there. Tabs, UTF-8 and a few
      // bytes of an 8-bit code page are text; blank cells are not.
      {":0300\x01""10\n", "f1 n9 0000:3A303330300131300A"}, {";0300100200300045\x01\n", Len(8, 1, 18, 17)},
      {"Z", "f1 n1 0000:5A"}, {"Z\n", "f1 n2 0000:5A0A"}, {"\xFF\xFF\xFF" + std::string(3, 'x'), "f1 n6 0003:787878"},
      {std::string(300, '\xFF') + "\x02", "f1 n301 012C:02"}, {"/\tcomment\n", NoHex(9, 1, 2)},
      {"/ \xC3\x84\xC3\x84 f\xC3\xBCr P1\n", NoHex(9, 1, 2)}, {"/ Lampe f\xFCr P1.0\n", NoHex(9, 1, 2)},
      // A blinking-lamp program as as31 assembles it; a binary file as large as the device.
      {std::string("\x75\x81\x2F\xB2\x90\x11\x09\x80\xFA\x7F\xFA\x7E\xFA\x00\x00\xDE\xFC\xDF\xF8\x22", 20),
       "f1 n20 0000:75812FB290110980FA7FFA7EFA0000DEFCDFF822"}, {"\x02\x01\x30", "f1 n3 0000:020130", 3},
      {"\x02\x01\x30", "f1: Zuviele Daten für diesen Baustein !\n\nMaximale Anzahl Bytes: 2\n"
                       "Anzahl Bytes in Brenndatei: 3\n", 2},
      // A later record wins, both bytes counted; a load leaves nothing of the one before.
      {":0100200011CE\n:0100200022BD\n", "f2 n2 0020:22"}, {":020000040000FA\n:00000001FF\n", "f3 n0"},
      {":010FFF00777A\n", "f2 n1 0FFF:77", 4096}, {":011000007778\n", TooMuch(2, 4096, 1, 4096), 4096},
      {record + record, TooMuch(2, 16, 32, 15), 16},  // the same 16 addresses twice
      // Blanks before the line end; the smallest records, without data; a start address (type 03).
      {":03001000020030BB  \r\n", "f2" + example}, {"S1030000FC\nS20400000000\nS3050000000000\n", "f5 n0"},
      {":0400000312345678E5\n:0100000055AA\n", "f2 n1 0000:55"}, {intel + "X0100200011CE\n", NoStart(2)},
      // S5 holds no data; a record of the right type needs its S too.
      {"S1060010020030B7\nS5030001FB\n", NoStart(5)}, {"S1060010020030B7\nX1060010020030B7\n", NoStart(5)},
      {";0300100200300045\n:0300100200300045\n", NoStart(8)},
      {"/0010031302003058\n 0010031302003058\n", NoStart(9)}, {"S1070010020030B7\n", Len(5, 1, 16, 18)},
      {":03001000020030BB\n:0300100002003BB\n", Len(2, 2, 16, 17)}, {";03001002003000450\n", Len(8, 1, 18, 17)},
      {"/001003130200305\n", Len(9, 1, 16, 17)}, {";zz00100200300045\n", NoHex(8, 1, 2)},
      // A count that leaves no room for the address and checksum of its type.
      {"S1020011\n", Len(5, 1, 8, 10)}, {"S2030000FC\n", Len(6, 1, 10, 12)}, {"S30400000000\n", Len(7, 1, 12, 14)},
      // Lines cut short: slices past their end read as no digits.
      {intel + ":1\n", Len(2, 2, 2, 13)}, {"S1060010020030B7\nS1", Len(5, 2, 2, 4)},
      {intel + ":0100210022BC\r\n:0100220033AB\r\n", Sum(2, 3, "00AB", "00AA")},
      {"S1060010020030B8\n", Sum(5, 1, "00B8", "00B7")}, {";0300100200300145\n", Sum(8, 1, "0145", "0045")},
      // Tektronix: the header sum is checked before the data sum.
      {"/0010031402003058\n", Sum(9, 1, "0014", "0013")}, {"/0010031302003059\n", Sum(9, 1, "0059", "0058")},
      // Only hex digits may stand where numbers are; a comment line would
      // otherwise be an empty record (Tektronix: the end of the file).
      {"/* lamp.c */\n", NoHex(9, 1, 2)}, {"/0010 31302003058\n", NoHex(9, 1, 6)},
      {":03001000020G30BB\n", NoHex(2, 1, 13)}, {":03001000020030BB\n:0x00000001FF\n", NoHex(2, 2, 3)},
      {"S1060010020030B7\nS10600100200Z0B7\n", NoHex(5, 2, 13)}, {";03001002003z0045\n", NoHex(8, 1, 13)},
      // A source file, junk lines before the records, records beyond the second line.
      {"#include <8051.h>\n\nvoid main(void)\n{\n\tP1 = 0;\n", unknown}, {"hello\nworld\n:03001000020030BB\n", unknown},
      {s0 + s0 + "S1060010020030B7\n", unknown}, {s0, unknown}, {mcs, unknown}, {"\n \n", unknown},
      {"\xEF\xBB\xBF", unknown}, {"", "f1: Fehler beim Öffnen der Datei\n\n" + path + "\n\n "},
  };
  // Line ends of every system and a byte-order mark before the first line.
  for (const std::string end : {"\n", "\r\n", "\r", "\r\r\n"})
    for (const std::string mark : {"", "\xEF\xBB\xBF"})
      cases.push_back({mark + ":0100200011CE" + end + ":0100210022BC" + end + ":00000001FF" + end, "f2 n2 0020:1122"});
  for (const auto& [file, outcome, size] : cases) {
    SCOPED_TRACE(testing::PrintToString(file.substr(0, 60)));
    EXPECT_EQ(Load(file, size), outcome);
  }
  // With TestChecksum off a wrong sum is ignored, a character that is no digit is not.
  testChecksum = false;
  EXPECT_EQ(Load(intel + ":0100210022BC\r\n:0100220033AB\r\n"), "f2 n3 0020:112233");
  EXPECT_EQ(Load(":03001000020G30BB\n"), NoHex(2, 1, 13));
  test::WriteFile(path, "\r\n  \n\n" + s0 + "\nS1060010020030B7\n");
  EXPECT_EQ(DetectFileFormat(path, feedback), 5);  // empty lines are not examined
  // Program images stay binary: random bytes of every seed tried.
  std::mt19937 random(1);
  for (int seed = 0; seed < 200; ++seed) {
    std::string bytes(64 + seed * 37, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    test::WriteFile(path, bytes);
    EXPECT_EQ(DetectFileFormat(path, feedback), 1) << bytes.size();
  }
}

TEST_F(ReaderTest, AddressesBeyondTheDeviceAreCountedButNeverStored) {
  // 16 bytes from 0xFFF8: eight stored, the address runs on to 0x10007.
  EXPECT_EQ(Load(":10FFF800000102030405060708090A0B0C0D0E0F81\n"), TooMuch(2, 65536, 16, 0x10007));
  EXPECT_EQ(Cells(), "n16 FFF8:0001020304050607");
  // Extended linear address 1 or segment 0x1000 put the byte at 0x10000.
  for (const auto& [high, format] : {std::pair{":020000040001F9\n", 3}, {":020000021000EC\n", 4}}) {
    EXPECT_EQ(Load(high + std::string(":0100000055AA\n")), TooMuch(format, 65536, 1, 65536));
    EXPECT_EQ(Cells(), "n1");
  }
}

// A pipe gives its bytes once: detection and reader share one reading.
TEST_F(ReaderTest, APipeIsReadOnceAndAnEndlessDeviceNotToTheEndOfTheMemory) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a pipe named through /dev/fd";
#else
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::string file = ":0100200011CE\n:0100210022BC\n:00000001FF\n";
  ASSERT_EQ(write(ends[1], file.data(), file.size()), ssize_t(file.size()));
  close(ends[1]);
  path = "/dev/fd/" + to_string(ends[0]);
  EXPECT_EQ(Outcome(), "f2 n2 0020:1122");
  close(ends[0]);
  path = "/dev/zero";
  EXPECT_EQ(Outcome(), "f0: Die Datei\n\n/dev/zero\n\nist zu groß für eine Programmdatei\n(mehr als 32 MiB).");
#endif
}

// A directory answers "access denied", as with the run-time library the
// error texts were written for. Platform errors map to those texts by
// meaning; one of no known meaning gets the platform's own description.
TEST_F(ReaderTest, UnreadablePathsGiveThePlainFileMessageWithoutBeep) {
  test::WriteFile(dir / "file", "x");
  const std::string missing = "Datei oder Verzeichnis existiert nicht";
#ifdef _WIN32
  const std::string throughAFile = missing;  // Windows answers ENOENT
#else
  const std::string throughAFile = "Pfad nicht gefunden";
#endif
  for (const auto& [where, error] : {std::pair{dir / "nothing.hex", missing}, {dir / "file" / "x.hex", throughAFile},
                                     {dir, std::string("Zugriff verweigert")}}) {
    path = where.string();
    EXPECT_EQ(Outcome(), "f0: Fehler beim Öffnen der Datei\n\n" + path + "\n\n" + error);
    EXPECT_EQ(feedback.messages.at(0).kind, MessageKind::Plain);
    EXPECT_EQ(feedback.beeps, 0);
  }
  EXPECT_EQ(FileErrorText(EFBIG), std::strerror(EFBIG));
}

}  // namespace
}  // namespace tav
