// The writers: record layouts, the record loop's skipping rules, header and
// end lines, failures with their messages, and saving without ever losing
// the previous file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "files/writers.h"
#include "tests/files_test_rig.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const std::string kS0 = "S00F00004252415354452056312E3030FA\r\n";

std::vector<std::string> Lines(const std::string& text) {
  EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << "every line ends in CR LF";
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Writes into memory; the real files come in with SaveImageToFile.
class WriterTest : public test::ProgramFileTest {
protected:
  int Write(int format, uint32_t sizeBytes, uint32_t hexLineLen = 32, bool ffSave = false) {
    out = MemoryOutputFile();
    feedback.Clear();
    WriteContext context{out, feedback, settings.ProgramFilePath, image, sizeBytes, hexLineLen, ffSave, format};
    return FindFileFormat(format)->write(context);
  }
  // Data bytes, none of them empty (0xFF).
  void Fill(uint32_t from, uint32_t to) {
    for (uint32_t a = from; a < to; ++a) image.Bytes[a] = static_cast<uint8_t>(a * 13 + 1) == 0xFF ? 0 : a * 13 + 1;
  }

  MemoryOutputFile out;
};

TEST_F(WriterTest, ExampleRecordOfEveryFormatBetweenItsHeaderAndEndLines) {
  const struct {
    int format;
    std::string head, example, end;
  } cases[] = {
      {2, "", ":03001000020030BB\r\n", ":00000001FF\r\n"},
      {3, ":020000040000FA\r\n:020000020000FC\r\n", ":03001000020030BB\r\n", ":00000001FF\r\n"},
      {4, ":020000020000FC\r\n", ":03001000020030BB\r\n", ":00000001FF\r\n"},
      {5, kS0, "S1060010020030B7\r\n", "S9030000FC\r\n"},
      {6, kS0 + "S204000000FB\r\n", "S207000010020030B6\r\n", "S804000000FB\r\n"},
      {7, kS0 + "S30500000000FA\r\n", "S30800000010020030B5\r\n", "S70500000000FA\r\n"},
      {8, "", ";0300100200300045\r\n", ""},
      {9, "", "/0010031302003058\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    image = ProgramImage();
    ASSERT_EQ(Write(c.format, 1024), 0);  // an erased chip: the fixed lines only
    EXPECT_EQ(out.bytes, c.head + c.end);
    std::ranges::copy(std::array<uint8_t, 3>{0x02, 0x00, 0x30}, image.Bytes.begin() + 0x10);
    // 16 bytes a record: the first, all empty, is left out; the short last one holds the data.
    ASSERT_EQ(Write(c.format, 0x13, 16), 0);
    EXPECT_EQ(out.bytes, c.head + c.example + c.end);
    EXPECT_TRUE(feedback.messages.empty());
  }
}

TEST_F(WriterTest, OneRecordPerLineLengthButSRecordsShortenedSoTheCountFits) {
  Fill(0, 0x1000);
  const struct {
    int format;
    size_t headers, lines;       // lines for 1024 bytes by 32
    size_t dataBytes, overhead;  // of a record by 254; overhead: characters besides the data
    const char* secondStart;
  } cases[] = {{2, 0, 33, 254, 11, ":FE00FE00"},  {3, 2, 35, 254, 11, ":FE00FE00"},
               {4, 1, 34, 254, 11, ":FE00FE00"},  {5, 1, 34, 252, 10, "S1FF00FC"},
               {6, 2, 35, 251, 12, "S2FF0000FB"}, {7, 2, 35, 250, 14, "S3FF000000FA"},
               {8, 0, 32, 254, 11, ";FE00FE"},    {9, 0, 32, 254, 11, "/00FEFE"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    ASSERT_EQ(Write(c.format, 1024), 0);
    EXPECT_EQ(Lines(out.bytes).size(), c.lines);
    ASSERT_EQ(Write(c.format, 0x1000, 254), 0);
    const std::string second = Lines(out.bytes).at(c.headers + 1);
    EXPECT_TRUE(second.starts_with(c.secondStart)) << second.substr(0, 14);
    EXPECT_EQ(second.size(), 2 * c.dataBytes + c.overhead);
  }
}

TEST_F(WriterTest, OnlyFullRecordsOfEmptyCellsAreLeftOutUnlessFFSave) {
  // A full record with one data byte is written; so is the short last one,
  // although all its cells are empty.
  image.Bytes[100] = 0x00;
  ASSERT_EQ(Write(2, 2000), 0);
  auto lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with(":20006000"));
  EXPECT_EQ(lines[1], ":1007C000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF39");

  image = ProgramImage();
  ASSERT_EQ(Write(2, 1024, 32, true), 0);
  lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], ":20000000" + std::string(64, 'F') + "00");
}

TEST_F(WriterTest, BinaryEndsAfterTheLastUsedByteAndRefusesAnErasedChipUnlessFFSave) {
  EXPECT_EQ(Write(1, 1024), 4);
  EXPECT_EQ(out.bytes, "");
  EXPECT_EQ(feedback.Texts(),
            Texts{"Der Baustein enthält nur Leerzellen !!\n\nSpeichervorgang abgebrochen.\n\n"
                  "Wenn eine Leerzellen-Datei geschrieben werden\nsoll, ** Leerzellen speichern ** aktivieren !"});
  EXPECT_TRUE(feedback.messages[0].beeped);
  EXPECT_EQ(Write(1, 1024, 32, true), 0);
  EXPECT_EQ(out.bytes, std::string(1024, '\xFF'));

  image.Bytes[0x7FF] = 0x12;
  image.Bytes[5000] = 0x01;  // beyond the device
  ASSERT_EQ(Write(1, 4096), 0);
  EXPECT_EQ(out.bytes, std::string(0x7FF, '\xFF') + '\x12');
  EXPECT_EQ(out.writes, 1u);
  image.Bytes[0x7FF] = 0xFF;
  image.Bytes[0] = 0x00;
  ASSERT_EQ(Write(1, 4096), 0);
  EXPECT_EQ(out.bytes, std::string(1, '\0'));
}

TEST_F(WriterTest, FailedWritesNameTheLineOrTheHeaderOrEndLine) {
  Fill(32, 1024);  // the first record is empty, left out, and takes no line number
  const std::string fileError = "Fehler beim Öffnen der Datei\n\n" + settings.ProgramFilePath + "\n\n";
  const std::string noSpace = fileError + "Kein Platz mehr auf dem Gerät";
  const struct {
    int format;
    uint32_t failAt;
    int error;
    Texts messages;
  } cases[] = {
      {3, 5, ENOSPC, {"Hex-Zeile 5\nkonnte nicht geschrieben werden"}},
      {9, 1, ENOSPC, {"Hex-Zeile 1\nkonnte nicht geschrieben werden"}},
      {3, 1, ENOSPC, {kHeaderNotWritten, noSpace}},
      {3, 2, ENOSPC, {kHeaderNotWritten, noSpace}},
      {7, 1, ENOSPC, {kHeaderNotWritten, noSpace}},
      {5, 33, ENOSPC, {kEndNotWritten, noSpace}},  // header, 31 records, end
      {1, 1, EIO, {fileError + "Eingabe/Ausgabe Fehler"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " write " << c.failAt);
    out = MemoryOutputFile();
    out.FailFromWrite(c.failAt, c.error);
    feedback.Clear();
    WriteContext context{out, feedback, settings.ProgramFilePath, image, 1024, 32, false, c.format};
    EXPECT_EQ(FindFileFormat(c.format)->write(context), 4);
    EXPECT_EQ(feedback.Texts(), c.messages);
    EXPECT_EQ(feedback.messages.back().kind,
              c.messages.back().starts_with("Fehler") ? MessageKind::Plain : MessageKind::Info);
    EXPECT_EQ(out.writes, c.failAt);  // nothing tried after the failure
  }
}

TEST_F(WriterTest, OnlyACompleteFileReplacesThePreviousOne) {
  test::WriteFile(settings.ProgramFilePath, "precious");
  const auto rights = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(settings.ProgramFilePath, rights);
  device.SizeBytes = 4096;
  settings.DataFormat = 0;  // unknown
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(feedback.messages.size(), 1u);

  for (uint32_t a = 0; a < 4096; ++a) image.Bytes[a] = static_cast<uint8_t>(a);
  settings.DataFormat = 2;
  {
    test::FileSizeLimit limit(100);  // the second record line fails half-way
    ASSERT_TRUE(limit.Active());
    feedback.Clear();
    EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  }
  EXPECT_EQ(feedback.Texts(), Texts{"Hex-Zeile 2\nkonnte nicht geschrieben werden"});
  EXPECT_EQ(test::ReadFile(settings.ProgramFilePath), "precious");
  EXPECT_EQ(test::EntriesIn(dir), 1u);

  // Done: CR LF lines on the disk too, the file's rights kept, nothing else left.
  device.SizeBytes = 0x13;
  settings.HexLineLen = 3;
  feedback.Clear();
  ASSERT_EQ(SaveImageToFile(settings, device, image, feedback), 0);
  EXPECT_TRUE(test::ReadFile(settings.ProgramFilePath).starts_with(":03000000000102FA\r\n:03000300030405EE\r\n"));
  EXPECT_EQ(fs::status(settings.ProgramFilePath).permissions() & fs::perms::all, rights);
  EXPECT_EQ(test::EntriesIn(dir), 1u);

  // Without a previous file, a refused save leaves no file either.
  fs::remove(settings.ProgramFilePath);
  settings.DataFormat = 1;
  image = ProgramImage();
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(test::EntriesIn(dir), 0u);
}

TEST_F(WriterTest, UncreatableFileOrDirectoryInTheWayGivesThePlainFileMessage) {
  settings.DataFormat = 8;
  image.Bytes[0] = 0;
  fs::create_directory(settings.ProgramFilePath);  // the rename over it fails
  const std::pair<fs::path, std::string> cases[] = {
      {dir / "no" / "such" / "dir.hex", "Datei oder Verzeichnis existiert nicht"},
      {settings.ProgramFilePath, FileErrorText(EISDIR)}};
  for (const auto& [target, error] : cases) {
    SCOPED_TRACE(target);
    settings.ProgramFilePath = target.string();
    feedback.Clear();
    EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
    EXPECT_EQ(feedback.Texts(), Texts{"Fehler beim Öffnen der Datei\n\n" + target.string() + "\n\n" + error});
    EXPECT_EQ(feedback.messages.at(0).kind, MessageKind::Plain);
    EXPECT_EQ(test::EntriesIn(dir), 1u);  // the directory alone
  }
}

}  // namespace
}  // namespace tav
