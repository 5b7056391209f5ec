// SPDX-License-Identifier: GPL-2.0-or-later
// The text and binary readers, the store rule and the size check, driven
// through LoadProgramFile on real files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>

#include "tests/files_test_rig.h"

namespace tav {
namespace {

const std::string kNoStart = "Zeilenanfang in Zeile 2\nder Hex-Datei nicht gefunden !";

std::string LengthMessage(int line, int read, int computed) {
  return "Länge der HEX-Zeile " + std::to_string(line) + " stimmt nicht !\n\nGelesen " + std::to_string(read) +
         "\nBerechnet " + std::to_string(computed) + "\n";
}
std::string ChecksumMessage(int line, std::string read, std::string computed) {
  return "Prüfsumme der HEX-Zeile " + std::to_string(line) + " stimmt nicht !\n\nGelesen 0x" + read +
         "\nBerechnet 0x" + computed + "\n";
}

class ReaderTest : public test::ProgramFileTest {
protected:
  std::string NoHexDigit(int line, int column) const {
    return "Keine Hexziffer in Zeile " + std::to_string(line) + ", Spalte " + std::to_string(column) +
           "\nder Hex-Datei !\n\n" + path;
  }
  int Load(const std::string& content, uint32_t deviceSize = ProgramImage::kSize) {
    test::WriteFile(path, content);
    sizeBytes = deviceSize;
    feedback.Clear();
    return LoadFile();
  }
  std::string OnlyMessage() const {
    EXPECT_EQ(feedback.messages.size(), 1u);
    return feedback.LastText();
  }
  // Bytes that differ from 0xFF, outside [from, to).
  int StrayBytes(uint32_t from, uint32_t to) const {
    int n = 0;
    for (uint32_t a = 0; a < ProgramImage::kSize; ++a) n += (a < from || a >= to) && image.Bytes[a] != 0xFF;
    return n;
  }
};

// End records stop reading: what follows them is never looked at.
TEST_F(ReaderTest, ExampleRecordOfEveryFormatLoadsThreeBytesAt0x10) {
  const std::pair<const char*, int> cases[] = {
      {":03001000020030BB\n:00000001FF\ngarbage\n", 2}, {"S30800000010020030B5\n", 7},
      {"S00F00004252415354452056312E3030FA\nS1060010020030B7\nS9030000FC\ngarbage\n", 5},
      {"S00F00004252415354452056312E3030FA\nS207000010020030B6\n", 6},
      {";0300100200300045\n;0000010001\ngarbage\n", 8}, {"/0010031302003058\n/00000000\ngarbage\n", 9},
  };
  for (const auto& [file, format] : cases) {
    SCOPED_TRACE(file);
    ASSERT_EQ(Load(file), 0) << feedback.LastText();
    EXPECT_EQ(dataFormat, format);
    EXPECT_EQ(std::string(image.Bytes.begin() + 0x10, image.Bytes.begin() + 0x13), std::string("\x02\x00\x30", 3));
    EXPECT_EQ(StrayBytes(0x10, 0x13), 0);
    EXPECT_EQ(image.ByteCount, 3u);
  }
}

TEST_F(ReaderTest, StoreRuleAndSizeCheck) {
  // A later record wins; both bytes are counted.
  ASSERT_EQ(Load(":0100200011CE\n:0100200022BD\n"), 0);
  EXPECT_EQ(image.Bytes[0x20], 0x22);
  EXPECT_EQ(image.ByteCount, 2u);

  // No data records at all; the previous load leaves nothing behind.
  ASSERT_EQ(Load(":020000040000FA\n:00000001FF\n"), 0);
  EXPECT_EQ(image.ByteCount, 0u);
  EXPECT_EQ(StrayBytes(0, 0), 0);

  // 16 bytes from 0xFFF8: eight stored, the address runs on to 0x10007.
  EXPECT_EQ(Load(":10FFF800000102030405060708090A0B0C0D0E0F81\n"), 3);
  EXPECT_EQ(image.ByteCount, 16u);
  EXPECT_EQ(image.HighestAddress, 0x10007u);
  for (uint32_t a = 0xFFF8; a <= 0xFFFF; ++a) EXPECT_EQ(image.Bytes[a], a - 0xFFF8);
  EXPECT_EQ(StrayBytes(0xFFF8, 0x10000), 0);

  // Extended linear address 1 or segment 0x1000 put the byte at 0x10000.
  for (const char* high : {":020000040001F9\n", ":020000021000EC\n"}) {
    EXPECT_EQ(Load(std::string(high) + ":0100000055AA\n"), 3);
    EXPECT_EQ(StrayBytes(0, 0), 0);
    EXPECT_NE(OnlyMessage().find("Höchste gefundene Adresse: 65536\n"), std::string::npos);
  }

  // 0x0FFF is the last address of a 4096-byte device.
  EXPECT_EQ(Load(":010FFF00777A\n", 4096), 0);
  EXPECT_EQ(image.Bytes[0xFFF], 0x77);

  EXPECT_EQ(Load(":011000007778\n", 4096), 3);
  EXPECT_EQ(OnlyMessage(),
            "Zuviele Programmdaten für diesen Controller-Typ !\n\nErlaubt: 4096 Bytes\nGelesen: 1 Bytes\n\n"
            "Höchste erlaubte Adresse: 4095\nHöchste gefundene Adresse: 4096\n");

  // Two records over the same 16 addresses of a 16-byte device: 32 bytes.
  const std::string record = ":10000000000102030405060708090A0B0C0D0E0F78\n";
  EXPECT_EQ(Load(record + record, 16), 3);
  EXPECT_NE(OnlyMessage().find("Gelesen: 32 Bytes\n"), std::string::npos);
}

TEST_F(ReaderTest, RefusedLinesNameTheirNumberAndBothValues) {
  const std::string intel = ":0100200011CE\n";
  const std::pair<std::string, std::string> cases[] = {
      {intel + "X0100200011CE\n", kNoStart}, {"S1060010020030B7\nS5030001FB\n", kNoStart},  // S5 holds no data
      {";0300100200300045\n:0300100200300045\n", kNoStart}, {"/0010031302003058\n 0010031302003058\n", kNoStart},
      {":03001000020030BB\n:0300100002003BB\n", LengthMessage(2, 16, 17)},
      {"S1070010020030B7\n", LengthMessage(1, 16, 18)}, {";03001002003000450\n", LengthMessage(1, 18, 17)},
      {"/001003130200305\n", LengthMessage(1, 16, 17)},
      // A count that leaves no room for the address and checksum of its type.
      {"S1020011\n", LengthMessage(1, 8, 10)}, {"S2030000FC\n", LengthMessage(1, 10, 12)},
      {"S30400000000\n", LengthMessage(1, 12, 14)},
      // Lines cut short: slices past their end read as no digits.
      {intel + ":1\n", LengthMessage(2, 2, 13)}, {"S1060010020030B7\nS1", LengthMessage(2, 2, 4)},
      {intel + ":0100210022BC\r\n:0100220033AB\r\n", ChecksumMessage(3, "00AB", "00AA")},
      {"S1060010020030B8\n", ChecksumMessage(1, "00B8", "00B7")},
      {";0300100200300145\n", ChecksumMessage(1, "0145", "0045")},
      // Tektronix: the header sum is checked before the data sum.
      {"/0010031402003058\n", ChecksumMessage(1, "0014", "0013")},
      {"/0010031302003059\n", ChecksumMessage(1, "0059", "0058")},
      // Only hex digits may stand where numbers are; a comment line would
      // otherwise be an empty record (Tektronix: the end of the file).
      {"/* lamp.c */\n", NoHexDigit(1, 2)}, {"// lamp.c\n", NoHexDigit(1, 2)},
      {"/0010 31302003058\n", NoHexDigit(1, 6)}, {":03001000020G30BB\n", NoHexDigit(1, 13)},
      {":03001000020030BB\n:0x00000001FF\n", NoHexDigit(2, 3)},
      {"S1060010020030B7\nS10600100200Z0B7\n", NoHexDigit(2, 13)}, {"S1G60010020030B7\n", NoHexDigit(1, 3)},
      {";03001002003z0045\n", NoHexDigit(1, 13)}, {";zz00100200300045\n", NoHexDigit(1, 2)},
  };
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(file.substr(0, 60));
    EXPECT_EQ(Load(file), 3);
    EXPECT_EQ(OnlyMessage(), message);
  }
  // With TestChecksum off a wrong sum is ignored, a character that is no digit is not.
  testChecksum = false;
  EXPECT_EQ(Load(intel + ":0100210022BC\r\n:0100220033AB\r\n"), 0);
  EXPECT_EQ(image.Bytes[0x22], 0x33);
  EXPECT_EQ(Load(":03001000020G30BB\n"), 3);
}

// Line ends of every system and a byte-order mark before the first line.
TEST_F(ReaderTest, EveryLineEndAndAByteOrderMarkReadTheSame) {
  const std::string lines[] = {":0100200011CE", ":0100210022BC", ":00000001FF"};
  for (const std::string end : {"\n", "\r\n", "\r", "\r\r\n"}) {
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
      SCOPED_TRACE(testing::PrintToString(mark + end));
      ASSERT_EQ(Load(mark + lines[0] + end + lines[1] + end + lines[2] + end), 0) << feedback.LastText();
      EXPECT_EQ(dataFormat, 2);
      EXPECT_EQ(image.ByteCount, 2u);
      EXPECT_EQ(image.Bytes[0x21], 0x22);
    }
  }
}

// A pipe gives its bytes once: detection and reader share one reading.
TEST_F(ReaderTest, APipeIsReadOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a pipe named through /dev/fd";
#else
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::string file = ":0100200011CE\n:0100210022BC\n:00000001FF\n";
  ASSERT_EQ(write(ends[1], file.data(), file.size()), ssize_t(file.size()));
  close(ends[1]);
  path = "/dev/fd/" + std::to_string(ends[0]);
  EXPECT_EQ(LoadFile(), 0) << feedback.LastText();
  close(ends[0]);
  EXPECT_EQ(dataFormat, 2);
  EXPECT_EQ(image.ByteCount, 2u);
  EXPECT_EQ(image.Bytes[0x21], 0x22);

  // A device that never ends is not read to the end of the memory.
  path = "/dev/zero";
  EXPECT_EQ(LoadFile(), 3);
  EXPECT_EQ(OnlyMessage(), "Die Datei\n\n/dev/zero\n\nist zu groß für eine Programmdatei\n(mehr als 32 MiB).");
#endif
}

TEST_F(ReaderTest, AcceptedOddities) {
  EXPECT_EQ(Load(":03001000020030BB  \r\n"), 0);  // blanks before the line end
  EXPECT_EQ(image.Bytes[0x12], 0x30);
  // The smallest records of each type, without data.
  EXPECT_EQ(Load("S1030000FC\nS20400000000\nS3050000000000\n"), 0);
  EXPECT_EQ(image.ByteCount, 0u);
  // Type 03, a start address, changes nothing.
  EXPECT_EQ(Load(":0400000312345678E5\n:0100000055AA\n"), 0);
  EXPECT_EQ(image.Bytes[0], 0x55);
}

TEST_F(ReaderTest, BinaryFilesLoadFromAddressZeroWithinTheDevice) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  ASSERT_EQ(Load(bytes, 1024), 0);
  EXPECT_EQ(image.ByteCount, 300u);
  EXPECT_EQ(image.HighestAddress, 299u);
  EXPECT_EQ(std::string(image.Bytes.begin(), image.Bytes.begin() + 300), bytes);
  EXPECT_EQ(StrayBytes(0, 300), 0);

  EXPECT_EQ(Load(bytes, 299), 3);
  EXPECT_EQ(OnlyMessage(),
            "Zuviele Daten für diesen Baustein !\n\nMaximale Anzahl Bytes: 299\nAnzahl Bytes in Brenndatei: 300\n");
}

TEST_F(ReaderTest, EmptyMissingOrDirectoryFilesGiveThePlainFileMessage) {
  const std::string open = "Fehler beim Öffnen der Datei\n\n";
  EXPECT_EQ(Load(""), 3);
  EXPECT_EQ(dataFormat, 1);
  EXPECT_EQ(OnlyMessage(), open + path + "\n\n ");

  feedback.Clear();
  path = dir.string();
  EXPECT_EQ(LoadFile(), 3);
  EXPECT_EQ(dataFormat, 0);
#ifdef _WIN32
  const int directoryError = EACCES;  // Windows refuses to open a directory as a file
#else
  const int directoryError = EISDIR;
#endif
  EXPECT_EQ(OnlyMessage(), open + dir.string() + "\n\n" + FileErrorText(directoryError));
}

}  // namespace
}  // namespace tav
