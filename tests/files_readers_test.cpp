// The text and binary readers, the store rule and the size check, driven
// through LoadProgramFile on real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/scripted_feedback.h"
#include "files/program_files.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

class ReaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.Valid());
    settings.ProgramFilePath = (dir / "prog.hex").string();
  }

  int Load(const std::string& content, uint32_t sizeBytes = 0x10000) {
    std::ofstream(settings.ProgramFilePath, std::ios::binary) << content;
    device.SizeBytes = sizeBytes;
    feedback.Clear();
    return LoadProgramFile(settings, device, image, feedback);
  }
  std::string OnlyMessage() const {
    EXPECT_EQ(feedback.messages.size(), 1u);
    return feedback.LastText();
  }
  // Bytes that differ from 0xFF, outside [from, to).
  int StrayBytes(uint32_t from, uint32_t to) const {
    int n = 0;
    for (uint32_t a = 0; a < ProgramImage::kSize; ++a)
      if ((a < from || a >= to) && image.Bytes[a] != 0xFF) ++n;
    return n;
  }

  test::ScratchDirectory scratch{"tav_readers"};
  const fs::path& dir = scratch.Path();
  int beep = 1;
  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{beep};
};

TEST_F(ReaderTest, ExampleRecordOfEveryFormatLoadsThreeBytesAt0x10) {
  const struct {
    const char* file;
    int format;
  } cases[] = {
      {":03001000020030BB\n:00000001FF\n", 2},
      {"S00F00004252415354452056312E3030FA\nS1060010020030B7\nS9030000FC\n", 5},
      {"S00F00004252415354452056312E3030FA\nS207000010020030B6\n", 6},
      {"S30800000010020030B5\n", 7},
      {";0300100200300045\n", 8},
      {"/0010031302003058\n/00000000\n", 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(Load(c.file), 0) << feedback.LastText();
    EXPECT_EQ(settings.DataFormat, c.format);
    EXPECT_EQ(image.Bytes[0x10], 0x02);
    EXPECT_EQ(image.Bytes[0x11], 0x00);
    EXPECT_EQ(image.Bytes[0x12], 0x30);
    EXPECT_EQ(StrayBytes(0x10, 0x13), 0);
    EXPECT_EQ(image.ByteCount, 3u);
    EXPECT_EQ(image.HighestAddress, 0x12u);
    EXPECT_TRUE(feedback.messages.empty());
  }
}

TEST_F(ReaderTest, StoreRuleCountsRepeatsAndLaterRecordWins) {
  // One byte at 0x1234.
  ASSERT_EQ(Load(":01123400AB0E\n:00000001FF\n"), 0);
  EXPECT_EQ(image.Bytes[0x1234], 0xAB);
  EXPECT_EQ(StrayBytes(0x1234, 0x1235), 0);
  EXPECT_EQ(image.ByteCount, 1u);
  EXPECT_EQ(image.HighestAddress, 0x1234u);

  // The same address twice: the later byte stays, both are counted.
  ASSERT_EQ(Load(":0100200011CE\n:0100200022BD\n"), 0);
  EXPECT_EQ(image.Bytes[0x20], 0x22);
  EXPECT_EQ(image.ByteCount, 2u);

  // No data records at all; the previous load leaves nothing behind.
  ASSERT_EQ(Load(":020000040000FA\n:00000001FF\n"), 0);
  EXPECT_EQ(image.ByteCount, 0u);
  EXPECT_EQ(image.HighestAddress, 0u);
  EXPECT_EQ(StrayBytes(0, 0), 0);
}

TEST_F(ReaderTest, DataBeyond0xFFFFIsCountedButNotStored) {
  // Extended linear address 0x0001: the byte lands at 0x10000.
  EXPECT_EQ(Load(":020000040001F9\n:0100000055AA\n:00000001FF\n"), 3);
  EXPECT_EQ(StrayBytes(0, 0), 0);
  EXPECT_EQ(image.HighestAddress, 0x10000u);
  EXPECT_NE(OnlyMessage().find("Höchste gefundene Adresse: 65536\n"), std::string::npos);

  // 16 bytes from 0xFFF8: eight stored, the address runs on to 0x10007.
  std::string line = ":10FFF800";
  unsigned sum = 0x10 + 0xFF + 0xF8;
  for (int k = 0; k < 16; ++k) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", k);
    line += digits;
    sum += k;
  }
  char cc[3];
  std::snprintf(cc, sizeof cc, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  EXPECT_EQ(Load(line + cc + "\n"), 3);
  EXPECT_EQ(image.ByteCount, 16u);
  EXPECT_EQ(image.HighestAddress, 0x10007u);
  for (uint32_t a = 0xFFF8; a <= 0xFFFF; ++a) EXPECT_EQ(image.Bytes[a], a - 0xFFF8);
  EXPECT_EQ(StrayBytes(0xFFF8, 0x10000), 0);

  // Segment address 0x1000 * 16 puts the byte at 0x10000 as well.
  EXPECT_EQ(Load(":020000021000EC\n:0100000055AA\n"), 3);
  EXPECT_EQ(image.HighestAddress, 0x10000u);
}

TEST_F(ReaderTest, SizeCheckAgainstTheDevice) {
  // 0x0FFF is the last address of a 4096-byte device.
  EXPECT_EQ(Load(":010FFF00777A\n", 4096), 0);
  EXPECT_EQ(image.Bytes[0xFFF], 0x77);

  EXPECT_EQ(Load(":011000007778\n", 4096), 3);
  EXPECT_EQ(OnlyMessage(),
            "Zuviele Programmdaten für diesen Controller-Typ !\n\nErlaubt: 4096 Bytes\nGelesen: 1 Bytes\n\n"
            "Höchste erlaubte Adresse: 4095\nHöchste gefundene Adresse: 4096\n");
  EXPECT_TRUE(feedback.messages[0].beeped);

  // Two records over the same 16 addresses of a 16-byte device: 32 bytes.
  const std::string record = ":10000000000102030405060708090A0B0C0D0E0F78\n";
  EXPECT_EQ(Load(record + record, 16), 3);
  EXPECT_NE(OnlyMessage().find("Gelesen: 32 Bytes\n"), std::string::npos);
}

TEST_F(ReaderTest, WrongStartCharacterNamesTheLine) {
  const struct {
    const char* file;
  } cases[] = {
      {":0100200011CE\nX0100200011CE\n"},                  // Intel
      {"S1060010020030B7\nS5030001FB\n"},                  // S5 is not a data record
      {"S1060010020030B7\n\nS9030000FC\n"},                // empty line
      {";0300100200300045\n:0300100200300045\n"},          // MOS Technology
      {"/0010031302003058\n 0010031302003058\n"},          // Tektronix
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(Load(c.file), 3);
    EXPECT_EQ(OnlyMessage(), "Zeilenanfang in Zeile 2\nder Hex-Datei nicht gefunden !");
  }
}

TEST_F(ReaderTest, WrongLengthShowsReadAndRequiredLength) {
  EXPECT_EQ(Load(":03001000020030BB\n:0300100002003BB\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 2 stimmt nicht !\n\nGelesen 16\nBerechnet 17\n");

  EXPECT_EQ(Load("S1070010020030B7\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 16\nBerechnet 18\n");

  EXPECT_EQ(Load(";03001002003000450\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 18\nBerechnet 17\n");

  EXPECT_EQ(Load("/001003130200305\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 16\nBerechnet 17\n");

  // A cut line: the first blank ends it, so a trailing blank passes and
  // one inside the record shortens it.
  EXPECT_EQ(Load(":03001000020030BB  \r\n"), 0);
  EXPECT_EQ(Load(":0300100002 0030BB\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 11\nBerechnet 17\n");
}

TEST_F(ReaderTest, MotorolaCountTooSmallForAddressIsRefusedAsLength) {
  // Each count passes the length test but leaves no room for the address
  // and checksum of its record type.
  EXPECT_EQ(Load("S1020011\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 8\nBerechnet 10\n");
  EXPECT_EQ(Load("S2030000FC\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 10\nBerechnet 12\n");
  EXPECT_EQ(Load("S30400000000\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 1 stimmt nicht !\n\nGelesen 12\nBerechnet 14\n");
  // The smallest valid records carry no data and are accepted unchecked.
  EXPECT_EQ(Load("S1030000FC\nS20400000000\nS3050000000000\n"), 0);
  EXPECT_EQ(image.ByteCount, 0u);
}

TEST_F(ReaderTest, WrongChecksumNamesLineAndBothValues) {
  const std::string file = ":0100200011CE\n:0100210022BC\n:0100220033AB\n";
  EXPECT_EQ(Load(file), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 3 stimmt nicht !\n\nGelesen 0x00AB\nBerechnet 0x00AA\n");

  // Checking switched off: the line is used as it is.
  settings.TestChecksum = 0;
  EXPECT_EQ(Load(file), 0);
  EXPECT_EQ(image.Bytes[0x22], 0x33);
  settings.TestChecksum = 1;

  EXPECT_EQ(Load("S1060010020030B8\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 1 stimmt nicht !\n\nGelesen 0x00B8\nBerechnet 0x00B7\n");
  EXPECT_EQ(Load(";0300100200300145\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 1 stimmt nicht !\n\nGelesen 0x0145\nBerechnet 0x0045\n");
  // Tektronix: the header sum is checked before the data sum.
  EXPECT_EQ(Load("/0010031402003058\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 1 stimmt nicht !\n\nGelesen 0x0014\nBerechnet 0x0013\n");
  EXPECT_EQ(Load("/0010031302003059\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 1 stimmt nicht !\n\nGelesen 0x0059\nBerechnet 0x0058\n");
}

TEST_F(ReaderTest, EndRecordsStopReading) {
  // Whatever follows an end record is never looked at.
  EXPECT_EQ(Load(":03001000020030BB\n:00000001FF\ngarbage\n"), 0);
  EXPECT_EQ(image.ByteCount, 3u);
  EXPECT_EQ(Load("S1060010020030B7\nS9030000FC\ngarbage\n"), 0);
  EXPECT_EQ(Load("S1060010020030B7\nS804000000FB\ngarbage\n"), 0);
  EXPECT_EQ(Load("S1060010020030B7\nS70500000000FA\ngarbage\n"), 0);
  EXPECT_EQ(Load(";0300100200300045\n;0000010001\ngarbage\n"), 0);
  EXPECT_EQ(Load("/0010031302003058\n/00000000\ngarbage\n"), 0);
  EXPECT_EQ(image.ByteCount, 3u);
  // The end of the file is a good end too, without any end record.
  EXPECT_EQ(Load(";0300100200300045"), 0);
  EXPECT_EQ(image.ByteCount, 3u);
}

TEST_F(ReaderTest, OtherIntelRecordTypesChangeNothing) {
  // Type 03 (start segment address) with four data bytes.
  EXPECT_EQ(Load(":0400000312345678E5\n:0100000055AA\n"), 0);
  EXPECT_EQ(image.Bytes[0], 0x55);
  EXPECT_EQ(image.ByteCount, 1u);
  EXPECT_EQ(StrayBytes(0, 1), 0);
}

TEST_F(ReaderTest, NonHexDigitEndsTheSliceEarly) {
  // Address slice "001G" reads as 0x001; the checksum covers 0x00 and 0x01.
  EXPECT_EQ(Load(":01001G00AA54\n"), 0);
  EXPECT_EQ(image.Bytes[1], 0xAA);
  // Lower-case digits are digits.
  EXPECT_EQ(Load(":01002000aa35\n"), 0);
  EXPECT_EQ(image.Bytes[0x20], 0xAA);
}

TEST_F(ReaderTest, CutShortLinesNeverReadBeyondTheirEnd) {
  // Count and type slices run past the end of these lines: they read as
  // no digits and the length test refuses the line.
  // (A good first line makes the format known; alone, such a line would
  // be taken for binary data.)
  const std::string intel = ":0100200011CE\n";
  EXPECT_EQ(Load(intel + ":1\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 2 stimmt nicht !\n\nGelesen 2\nBerechnet 13\n");
  EXPECT_EQ(Load(intel + ":"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 2 stimmt nicht !\n\nGelesen 1\nBerechnet 11\n");
  EXPECT_EQ(Load("S1060010020030B7\nS1"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 2 stimmt nicht !\n\nGelesen 2\nBerechnet 4\n");
  EXPECT_EQ(Load("/0010031302003058\n/00"), 0);  // count slice empty: 0, the end record
  EXPECT_EQ(image.ByteCount, 3u);
  EXPECT_EQ(Load(";0300100200300045\n;1"), 3);
  EXPECT_EQ(OnlyMessage(), "Länge der HEX-Zeile 2 stimmt nicht !\n\nGelesen 2\nBerechnet 13\n");
}

TEST_F(ReaderTest, DosAndUnixLineEndsReadAlike) {
  const std::string lf = ":0100200011CE\n:0100210022BC\n:0100220033AB\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Load(crlf), 3);
  EXPECT_EQ(OnlyMessage(), "Prüfsumme der HEX-Zeile 3 stimmt nicht !\n\nGelesen 0x00AB\nBerechnet 0x00AA\n");
  settings.TestChecksum = 0;
  EXPECT_EQ(Load(crlf), 0);
  EXPECT_EQ(image.ByteCount, 3u);
}

TEST_F(ReaderTest, OverlongLineContinuesAsTheNextLine) {
  // A good record padded with blanks to 2100 characters: its first 2047
  // characters are line 1 (cut at the blank, so it passes); the rest is
  // line 2, which has no start character.
  std::string line = ":0100200011CE";
  line.resize(2100, ' ');
  EXPECT_EQ(Load(line + "\n:0100210022BC\n"), 3);
  EXPECT_EQ(OnlyMessage(), "Zeilenanfang in Zeile 2\nder Hex-Datei nicht gefunden !");
  EXPECT_EQ(image.Bytes[0x20], 0x11);

  // Exactly 2046 characters and the LF still make one line.
  line.resize(2046, ' ');
  EXPECT_EQ(Load(line + "\n:0100210022BC\n"), 0);
  EXPECT_EQ(image.ByteCount, 2u);
}

TEST_F(ReaderTest, BinaryFileFromAddressZero) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  ASSERT_EQ(Load(bytes, 1024), 0);
  EXPECT_EQ(settings.DataFormat, 1);
  EXPECT_EQ(image.ByteCount, 300u);
  EXPECT_EQ(image.HighestAddress, 299u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(image.Bytes[i], static_cast<uint8_t>(i * 7));
  EXPECT_EQ(StrayBytes(0, 300), 0);

  EXPECT_EQ(Load(bytes, 299), 3);
  EXPECT_EQ(OnlyMessage(),
            "Zuviele Daten für diesen Baustein !\n\nMaximale Anzahl Bytes: 299\nAnzahl Bytes in Brenndatei: 300\n");
}

TEST_F(ReaderTest, EmptyFileIsBinaryAndRefusedWithTheFileMessage) {
  EXPECT_EQ(Load(""), 3);
  EXPECT_EQ(settings.DataFormat, 1);
  EXPECT_EQ(OnlyMessage(), "Fehler beim Öffnen der Datei\n\n" + settings.ProgramFilePath + "\n\n ");
  EXPECT_EQ(feedback.messages[0].kind, MessageKind::Plain);
  EXPECT_FALSE(feedback.messages[0].beeped);
}

TEST_F(ReaderTest, MissingFileOrDirectoryGivesFileMessageAndFormatZero) {
  settings.ProgramFilePath = (dir / "gone.hex").string();
  device.SizeBytes = 0x10000;
  EXPECT_EQ(LoadProgramFile(settings, device, image, feedback), 3);
  EXPECT_EQ(settings.DataFormat, 0);
  EXPECT_EQ(OnlyMessage(), "Fehler beim Öffnen der Datei\n\n" + settings.ProgramFilePath +
                               "\n\nDatei oder Verzeichnis existiert nicht");

  feedback.Clear();
  settings.ProgramFilePath = dir.string();
  EXPECT_EQ(LoadProgramFile(settings, device, image, feedback), 3);
  EXPECT_EQ(settings.DataFormat, 0);
  EXPECT_EQ(OnlyMessage().rfind("Fehler beim Öffnen der Datei\n\n" + dir.string() + "\n\n", 0), 0u);
}

TEST_F(ReaderTest, HundredMegabytesOfJunkAreRefusedBySize) {
  std::string junk(4096, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  std::ofstream(settings.ProgramFilePath, std::ios::binary) << junk;
  fs::resize_file(settings.ProgramFilePath, 100u << 20);
  device.SizeBytes = 0x10000;
  EXPECT_EQ(LoadProgramFile(settings, device, image, feedback), 3);
  EXPECT_EQ(settings.DataFormat, 1);
  EXPECT_EQ(OnlyMessage(),
            "Zuviele Daten für diesen Baustein !\n\nMaximale Anzahl Bytes: 65536\nAnzahl Bytes in Brenndatei: 104857600\n");
}

}  // namespace
}  // namespace tav
