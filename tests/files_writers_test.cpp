// The writers: record layouts, the record loop's skipping rules, header and
// end lines, failures with their messages, and saving without ever losing
// the previous file.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/scripted_feedback.h"
#include "files/hex_line_builder.h"
#include "files/program_files.h"
#include "files/writers.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

std::string Record(RecordKind kind, uint32_t address, std::vector<uint8_t> data) {
  HexLineBuilder line;
  FormatRecord(kind, address, data.data(), static_cast<uint32_t>(data.size()), line);
  return std::string(line.Text());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(RecordLayoutTest, ExampleRecordOfEveryKind) {
  const std::vector<uint8_t> data = {0x02, 0x00, 0x30};
  EXPECT_EQ(Record(RecordKind::Intel, 0x10, data), ":03001000020030BB\r\n");
  EXPECT_EQ(Record(RecordKind::S1, 0x10, data), "S1060010020030B7\r\n");
  EXPECT_EQ(Record(RecordKind::S2, 0x10, data), "S207000010020030B6\r\n");
  EXPECT_EQ(Record(RecordKind::S3, 0x10, data), "S30800000010020030B5\r\n");
  EXPECT_EQ(Record(RecordKind::MosTechnology, 0x10, data), ";0300100200300045\r\n");
  EXPECT_EQ(Record(RecordKind::Tektronix, 0x10, data), "/0010031302003058\r\n");
  // Empty records, as written for the S2 and S3 headers.
  EXPECT_EQ(Record(RecordKind::S2, 0, {}), "S204000000FB\r\n");
  EXPECT_EQ(Record(RecordKind::S3, 0, {}), "S30500000000FA\r\n");
  // Upper case, and the MOS Technology sum in 16 bits.
  EXPECT_EQ(Record(RecordKind::MosTechnology, 0xABCD, {0xFF, 0xFF}), ";02ABCDFFFF0378\r\n");
}

TEST(RecordLayoutTest, MotorolaHeaderCarriesItsOwnChecksum) {
  // "S0" 0F 0000 "BRASTE V1.00" FA: the fixed header follows the S-record rule.
  const std::string text = "BRASTE V1.00";
  HexLineBuilder line;
  line.Start("S0");
  line.Summed(0x0F, 2);
  line.Summed(0, 4);
  for (char c : text) line.Summed(static_cast<uint8_t>(c), 2);
  line.Put(~line.Sum() & 0xFF, 2);
  EXPECT_EQ(line.Text(), "S00F00004252415354452056312E3030FA");
}

class WriterTest : public ::testing::Test {
protected:
  int Write(int format, uint32_t sizeBytes, uint32_t hexLineLen = 32, bool ffSave = false) {
    out = MemoryOutputFile();
    feedback.Clear();
    WriteContext context{out, feedback, path, image, sizeBytes, hexLineLen, ffSave, format};
    return FindFileFormat(format)->write(context);
  }
  void Fill(uint32_t from, uint32_t to) {
    for (uint32_t a = from; a < to; ++a) image.Bytes[a] = static_cast<uint8_t>(a * 13 + 1) == 0xFF ? 0 : a * 13 + 1;
  }

  std::string path = "/data/prog.hex";
  int beep = 1;
  ProgramImage image;
  MemoryOutputFile out;
  ScriptedFeedback feedback{beep};
};

TEST_F(WriterTest, FullDeviceGivesOneRecordPerLineLength) {
  Fill(0, 1024);
  const size_t expected[] = {0, 0, 33, 35, 34, 34, 35, 35, 32, 32};
  for (int format = 2; format <= 9; ++format) {
    SCOPED_TRACE(format);
    ASSERT_EQ(Write(format, 1024), 0);
    const auto lines = Lines(out.bytes);
    EXPECT_EQ(lines.size(), expected[format]);
    EXPECT_TRUE(feedback.messages.empty());
  }
  Write(3, 1024);
  auto lines = Lines(out.bytes);
  EXPECT_EQ(lines[0], ":020000040000FA");
  EXPECT_EQ(lines[1], ":020000020000FC");
  EXPECT_EQ(lines[2].substr(0, 9), ":20000000");
  EXPECT_EQ(lines[33].substr(0, 9), ":2003E000");
  EXPECT_EQ(lines[34], ":00000001FF");
  Write(4, 1024);
  EXPECT_EQ(Lines(out.bytes)[0], ":020000020000FC");
  Write(6, 1024);
  lines = Lines(out.bytes);
  EXPECT_EQ(lines[0], "S00F00004252415354452056312E3030FA");
  EXPECT_EQ(lines[1], "S204000000FB");
  EXPECT_EQ(lines[2].substr(0, 10), "S224000000");
  EXPECT_EQ(lines.back(), "S804000000FB");
  Write(7, 1024);
  lines = Lines(out.bytes);
  EXPECT_EQ(lines[1], "S30500000000FA");
  EXPECT_EQ(lines[3].substr(0, 12), "S32500000020");  // eight address digits
  EXPECT_EQ(lines.back(), "S70500000000FA");
  Write(5, 1024);
  EXPECT_EQ(Lines(out.bytes).back(), "S9030000FC");
}

TEST_F(WriterTest, ErasedChipWritesOnlyFixedLines) {
  EXPECT_EQ(Write(2, 1024), 0);
  EXPECT_EQ(out.bytes, ":00000001FF\r\n");
  EXPECT_EQ(Write(5, 1024), 0);
  EXPECT_EQ(out.bytes, "S00F00004252415354452056312E3030FA\r\nS9030000FC\r\n");
  EXPECT_EQ(Write(8, 1024), 0);
  EXPECT_EQ(out.bytes, "");
  EXPECT_EQ(Write(9, 1024), 0);
  EXPECT_EQ(out.bytes, "");

  EXPECT_EQ(Write(1, 1024), 4);
  EXPECT_EQ(out.bytes, "");
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0].text,
            "Der Baustein enthält nur Leerzellen !!\n\nSpeichervorgang abgebrochen.\n\n"
            "Wenn eine Leerzellen-Datei geschrieben werden\nsoll, ** Leerzellen speichern ** aktivieren !");
  EXPECT_TRUE(feedback.messages[0].beeped);

  // FFSave on: every record, all bytes FF.
  EXPECT_EQ(Write(2, 1024, 32, true), 0);
  auto lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], ":20000000" + std::string(64, 'F') + "00");
  EXPECT_EQ(Write(1, 1024, 32, true), 0);
  EXPECT_EQ(out.bytes, std::string(1024, '\xFF'));
}

TEST_F(WriterTest, EmptyRecordsLeaveGapsAndShortLastRecordStays) {
  // Records 0 and 2 of 16 bytes hold data; record 1 is empty and left out.
  Fill(0, 16);
  Fill(32, 48);
  ASSERT_EQ(Write(8, 48, 16), 0);
  auto lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 7), ";100000");
  EXPECT_EQ(lines[1].substr(0, 7), ";100020");

  // 2000 bytes by 32: the last record has 16 bytes and is written although
  // they are all empty.
  image = ProgramImage();
  ASSERT_EQ(Write(2, 2000), 0);
  lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], ":1007C000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF39");
  EXPECT_EQ(lines[1], ":00000001FF");

  // A full record with one data byte among empty cells is written.
  image.Bytes[100] = 0x00;
  ASSERT_EQ(Write(9, 2000), 0);
  lines = Lines(out.bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 7), "/006020");
}

TEST_F(WriterTest, BinaryStopsAfterTheLastUsedByte) {
  image.Bytes[0x7FF] = 0x12;
  ASSERT_EQ(Write(1, 4096), 0);
  ASSERT_EQ(out.bytes.size(), 2048u);
  EXPECT_EQ(out.bytes.back(), '\x12');
  EXPECT_EQ(out.bytes.front(), '\xFF');
  EXPECT_EQ(out.writes, 1u);

  image = ProgramImage();
  image.Bytes[0] = 0x00;
  ASSERT_EQ(Write(1, 4096), 0);
  EXPECT_EQ(out.bytes, std::string(1, '\0'));
  // Bytes beyond the device are not written.
  image.Bytes[5000] = 0x01;
  ASSERT_EQ(Write(1, 4096), 0);
  EXPECT_EQ(out.bytes.size(), 1u);
}

TEST_F(WriterTest, LongSRecordsAreShortenedSoTheCountFits) {
  Fill(0, 0x1000);
  const struct {
    int format;
    size_t dataBytes;
    size_t overhead;  // characters besides the data
    const char* secondStart;
  } cases[] = {{2, 254, 11, ":FE00FE00"},    {5, 252, 10, "S1FF00FC"}, {6, 251, 12, "S2FF0000FB"},
               {7, 250, 14, "S3FF000000FA"}, {8, 254, 11, ";FE00FE"},  {9, 254, 11, "/00FEFE"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    ASSERT_EQ(Write(c.format, 0x1000, 254), 0);
    auto lines = Lines(out.bytes);
    const size_t headers = c.format == 5 ? 1 : c.format == 6 || c.format == 7 ? 2 : 0;
    const std::string& second = lines[headers + 1];
    EXPECT_EQ(second.rfind(c.secondStart, 0), 0u) << second.substr(0, 14);
    EXPECT_EQ(second.size(), 2 * c.dataBytes + c.overhead);
  }
  // The longest S1 record reads back: count FF.
  ASSERT_EQ(Write(5, 0x1000, 254), 0);
  EXPECT_EQ(Lines(out.bytes)[1].substr(0, 4), "S1FF");
}

TEST_F(WriterTest, FailedLinesNameTheirLineNumber) {
  Fill(0, 1024);
  // Intel32: two header lines, then record lines 3, 4, ...
  out = MemoryOutputFile();
  WriteContext context{out, feedback, path, image, 1024, 32, false, 3};
  out.FailFromWrite(5, ENOSPC);
  EXPECT_EQ(WriteIntelHex(context), 4);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Hex-Zeile 5\nkonnte nicht geschrieben werden"});
  EXPECT_EQ(Lines(out.bytes).size(), 4u);

  const std::string fileError = "Fehler beim Öffnen der Datei\n\n/data/prog.hex\n\nKein Platz mehr auf dem Gerät";
  for (uint32_t failAt : {1u, 2u}) {
    feedback.Clear();
    out = MemoryOutputFile();
    out.FailFromWrite(failAt, ENOSPC);
    WriteContext header{out, feedback, path, image, 1024, 32, false, 3};
    EXPECT_EQ(WriteIntelHex(header), 4);
    EXPECT_EQ(feedback.Texts(),
              (std::vector<std::string>{"Header-Record der HEX-Datei\nkonnte nicht geschrieben werden.", fileError}));
    EXPECT_EQ(feedback.messages[1].kind, MessageKind::Plain);
  }

  feedback.Clear();
  out = MemoryOutputFile();
  out.FailFromWrite(34, ENOSPC);  // S1: header, 32 records, then the end line
  WriteContext end{out, feedback, path, image, 1024, 32, false, 5};
  EXPECT_EQ(WriteMotorola(end), 4);
  EXPECT_EQ(feedback.Texts(),
            (std::vector<std::string>{"Endemarkierung der HEX-Datei\nkonnte nicht geschrieben werden.", fileError}));

  feedback.Clear();
  out = MemoryOutputFile();
  out.FailFromWrite(1, ENOSPC);
  WriteContext motorolaHeader{out, feedback, path, image, 1024, 32, false, 7};
  EXPECT_EQ(WriteMotorola(motorolaHeader), 4);
  EXPECT_EQ(feedback.Texts().front(), "Header-Record der HEX-Datei\nkonnte nicht geschrieben werden.");

  feedback.Clear();
  out = MemoryOutputFile();
  out.FailFromWrite(1, EIO);
  WriteContext binary{out, feedback, path, image, 1024, 32, false, 1};
  EXPECT_EQ(WriteBinary(binary), 4);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Fehler beim Öffnen der Datei\n\n/data/prog.hex\n\nEingabe/Ausgabe Fehler"});

  // A skipped record takes no line number.
  image = ProgramImage();
  image.Bytes[40] = 0;
  feedback.Clear();
  out = MemoryOutputFile();
  out.FailFromWrite(1, ENOSPC);
  WriteContext tek{out, feedback, path, image, 1024, 32, false, 9};
  EXPECT_EQ(WriteTektronix(tek), 4);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Hex-Zeile 1\nkonnte nicht geschrieben werden"});
}

// Saving to real files.
class SaveTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.Valid());
    settings.ProgramFilePath = (dir / "prog.hex").string();
    device.SizeBytes = 4096;
  }

  std::string FileText() const {
    std::ifstream in(settings.ProgramFilePath, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  test::ScratchDirectory scratch{"tav_save"};
  const fs::path& dir = scratch.Path();
  int beep = 1;
  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{beep};
};

TEST_F(SaveTest, WritesCrLfLinesAndReplacesThePreviousFile) {
  std::ofstream(settings.ProgramFilePath) << "old content that is longer than the new one";
  fs::permissions(settings.ProgramFilePath, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  image.Bytes[0x10] = 0x02;
  image.Bytes[0x11] = 0x00;
  image.Bytes[0x12] = 0x30;
  settings.DataFormat = 2;
  settings.HexLineLen = 3;
  device.SizeBytes = 0x13;
  ASSERT_EQ(SaveImageToFile(settings, device, image, feedback), 0);
  // Full records of empty cells are left out; the short last one stays.
  EXPECT_EQ(FileText(), ":03000F00FF0200ED\r\n:0100120030BD\r\n:00000001FF\r\n");
  EXPECT_EQ(fs::status(settings.ProgramFilePath).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(SaveTest, RefusedBinaryKeepsThePreviousFile) {
  std::ofstream(settings.ProgramFilePath) << "precious";
  settings.DataFormat = 1;
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(FileText(), "precious");
  EXPECT_EQ(FilesInDir(), 1u);

  // Without a previous file, no empty file is left behind either.
  fs::remove(settings.ProgramFilePath);
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(SaveTest, FailedWriteKeepsThePreviousFile) {
  std::ofstream(settings.ProgramFilePath) << "precious";
  for (uint32_t a = 0; a < 4096; ++a) image.Bytes[a] = static_cast<uint8_t>(a);
  settings.DataFormat = 2;
  // A file size limit makes the second record line fail half-way, as a
  // full disk would.
  struct rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = SaveImageToFile(settings, device, image, feedback);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, 4);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Hex-Zeile 2\nkonnte nicht geschrieben werden"});
  EXPECT_EQ(FileText(), "precious");
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(SaveTest, UncreatableFileAndUnknownFormat) {
  settings.ProgramFilePath = (dir / "no" / "such" / "dir.hex").string();
  settings.DataFormat = 2;
  image.Bytes[0] = 0;
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Fehler beim Öffnen der Datei\n\n" + settings.ProgramFilePath +
                                                       "\n\nDatei oder Verzeichnis existiert nicht"});

  feedback.Clear();
  settings.ProgramFilePath = (dir / "prog.hex").string();
  settings.DataFormat = 0;
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  EXPECT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(FilesInDir(), 0u);

  // A directory in the way of the target: the rename fails, nothing is left.
  feedback.Clear();
  fs::create_directory(settings.ProgramFilePath);
  settings.DataFormat = 8;
  EXPECT_EQ(SaveImageToFile(settings, device, image, feedback), 4);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0].kind, MessageKind::Plain);
  EXPECT_EQ(FilesInDir(), 1u);
}

}  // namespace
}  // namespace tav
