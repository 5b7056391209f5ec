// SPDX-License-Identifier: GPL-2.0-or-later
// The writers: record layouts, the record loop's skipping rules, header and
// end lines, failures with their messages, and saving without ever losing
// the previous file. Whatever they save, the readers load back byte for
// byte, and files are exchanged with srec_cat, a standard tool for these
// formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/writers.h"
#include "tests/files_test_rig.h"
#include "tests/posix_only.h"
#include "tests/unprivileged.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const std::string kS0 = "S00F00004252415354452056312E3030FA\r\n";

// Writes into memory; the real files come in with SaveImageToFile.
class WriterTest : public test::ProgramFileTest {
protected:
  int Write(int format, uint32_t size, uint32_t lineLen = 32, bool blanks = false) {
    out = MemoryOutputFile();
    out.FailFromWrite(failAt, ENOSPC);
    feedback.Clear();
    WriteContext context{out, feedback, path, image, size, lineLen, blanks, format};
    return FindFileFormat(format)->write(context);
  }
  // Data bytes, none of them empty (0xFF).
  void Fill(uint32_t from, uint32_t to) {
    for (uint32_t a = from; a < to; ++a) image.Bytes[a] = static_cast<uint8_t>(a * 13 + 1) == 0xFF ? 0 : a * 13 + 1;
  }

  MemoryOutputFile out;
  uint32_t failAt = 0;  // the first write that fails, as on a full disk; 0: none
};

// 16 bytes a record: the first, all empty, is left out; the short last one
// holds the data. At 254 bytes a record the second one starts with its count
// and address and has `length` characters: S records are shortened so the
// count fits.
TEST_F(WriterTest, EveryFormatWritesItsHeaderRecordsAndEndLine) {
  const struct { int format; std::string head, example, end, second; size_t length; } cases[] = {
      {2, "", ":03001000020030BB\r\n", ":00000001FF\r\n", ":FE00FE00", 519},
      {3, ":020000040000FA\r\n:020000020000FC\r\n", ":03001000020030BB\r\n", ":00000001FF\r\n", ":FE00FE00", 519},
      {4, ":020000020000FC\r\n", ":03001000020030BB\r\n", ":00000001FF\r\n", ":FE00FE00", 519},
      {5, kS0, "S1060010020030B7\r\n", "S9030000FC\r\n", "S1FF00FC", 514},
      {6, kS0 + "S204000000FB\r\n", "S207000010020030B6\r\n", "S804000000FB\r\n", "S2FF0000FB", 514},
      {7, kS0 + "S30500000000FA\r\n", "S30800000010020030B5\r\n", "S70500000000FA\r\n", "S3FF000000FA", 514},
      {8, "", ";0300100200300045\r\n", "", ";FE00FE", 519}, {9, "", "/0010031302003058\r\n", "", "/00FEFE", 519},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    image = ProgramImage();
    std::ranges::copy(std::array<uint8_t, 3>{0x02, 0x00, 0x30}, image.Bytes.begin() + 0x10);
    ASSERT_EQ(Write(c.format, 0x13, 16), 0);
    EXPECT_EQ(out.bytes, c.head + c.example + c.end);
    Fill(0, 0x1000);
    ASSERT_EQ(Write(c.format, 0x1000, 254), 0);
    const size_t second = out.bytes.find("\r\n" + c.second) + 2;
    EXPECT_EQ(out.bytes.find("\r\n", second) - second, c.length);
  }
}

// Only full records of empty cells are left out; binary
// files end after the last used byte and refuse an erased chip.
TEST_F(WriterTest, WhatIsLeftOutOfAFile) {
  image.Bytes[100] = 0x00;  // a full record with one data byte is written, so is the short empty last one
  ASSERT_EQ(Write(2, 2000), 0);
  EXPECT_TRUE(out.bytes.starts_with(":20006000"));
  EXPECT_TRUE(out.bytes.ends_with("\r\n:1007C000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF39\r\n:00000001FF\r\n"));
  EXPECT_EQ(std::ranges::count(out.bytes, '\n'), 3);
  image.Bytes[100] = 0xFF;

  EXPECT_EQ(Write(1, 1024), 4);  // its message is checked where a read of an erased chip meets it
  image.Bytes[0x7FF] = 0x12;
  image.Bytes[5000] = 0x01;  // beyond the device
  ASSERT_EQ(Write(1, 4096), 0);
  EXPECT_EQ(out.bytes, std::string(0x7FF, '\xFF') + '\x12');
}

TEST_F(WriterTest, FailedWritesNameTheLineOrTheHeaderOrEndLine) {
  Fill(32, 1024);  // the first record is empty, left out, and takes no line number
  const std::string noSpace = "Fehler beim Öffnen der Datei\n\n" + path + "\n\nKein Platz mehr auf dem Gerät";
  const auto line = [](int n) { return "Hex-Zeile " + std::to_string(n) + "\nkonnte nicht geschrieben werden"; };
  // Write 33 of a Motorola file: its end line, after the header and 31 records.
  const struct { int format; uint32_t failAt; Texts messages; } cases[] = {
      {3, 5, {line(5)}}, {9, 1, {line(1)}}, {3, 2, {kHeaderNotWritten, noSpace}}, {5, 33, {kEndNotWritten, noSpace}},
      {1, 1, {noSpace}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " write " << c.failAt);
    failAt = c.failAt;
    EXPECT_EQ(Write(c.format, 1024), 4);
    EXPECT_EQ(feedback.Texts(), c.messages);
    EXPECT_EQ(out.writes, c.failAt);  // nothing tried after the failure
  }
}

// A full disk leaves the previous file as it was; a device behind a link is
// written in place, not replaced by a file. (The rights and links of a
// replaced file are the shared writer's, tried with the settings file.)
TEST_F(WriterTest, OnlyACompleteFileReplacesThePreviousOne) {
  TAV_POSIX_ONLY("a full disk is provoked with RLIMIT_FSIZE; /dev/null and symbolic links are POSIX's");
  test::WriteFile(path, "precious");
  for (uint32_t a = 0; a < 4096; ++a) image.Bytes[a] = static_cast<uint8_t>(a);
  sizeBytes = 4096;
  dataFormat = 2;
  {
    test::FileSizeLimit limit(100);  // the second record line fails half-way
    ASSERT_TRUE(limit.Active());
    EXPECT_EQ(SaveFile(image), 4);
  }
  EXPECT_EQ(feedback.Texts(), Texts{"Hex-Zeile 2\nkonnte nicht geschrieben werden"});
  EXPECT_EQ(test::ReadFile(path), "precious");
  sizeBytes = 0x13;
  hexLineLen = 3;
  ASSERT_EQ(SaveFile(image), 0);
  EXPECT_TRUE(test::ReadFile(path).starts_with(":03000000000102FA\r\n:03000300030405EE\r\n"));  // CR LF on disk too

  fs::create_symlink("/dev/null", dir / "null.bin");
  dataFormat = 1;
  // A long name leaves no room for a longer temporary name.
  for (const std::string& name : {std::string("null.bin"), std::string(250, 'n')}) {
    path = (dir / name).string();
    EXPECT_EQ(SaveFile(image), 0);
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  path = dir.string();
  EXPECT_EQ(SaveFile(image), 4);
  EXPECT_EQ(test::EntriesIn(dir), 3u);  // prog.hex, the link, the long name: nothing left over
}

// Where no new file may be made beside it, the file is written in place,
// but only once the whole new content is there: a refused save or a write
// that fails half-way leaves the old file as it was.
TEST_F(WriterTest, InALockedDirectoryOnlyACompleteFileIsWrittenInPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a folder locked against one user, and a user to give root up for";
#else
  test::LockedDirectory locked(dir, "prog.bin", "precious");
  ASSERT_TRUE(locked.Valid());
  path = locked.File().string();
  sizeBytes = 4096;
  dataFormat = 1;
  const auto save = [&] { return SaveFile(image); };
  const auto fullDisk = [&] {
    test::FileSizeLimit limit(100);
    return limit.Active() ? SaveFile(image) : 254;
  };
  EXPECT_EQ(locked.Run(save), 4);  // an erased chip
  EXPECT_EQ(test::ReadFile(path), "precious");
  Fill(0, 4096);
  for (dataFormat = 2; dataFormat >= 1; --dataFormat) {  // through the record loop, then one binary write
    EXPECT_EQ(locked.Run(fullDisk), 4);
    EXPECT_EQ(test::ReadFile(path), "precious");
  }
  dataFormat = 1;
  EXPECT_EQ(locked.Run(save), 0);
  EXPECT_TRUE(test::ReadFile(path) == std::string(image.Bytes.begin(), image.Bytes.begin() + 4096));
  sizeBytes = 16;  // shorter than before: the rest of the old file goes
  EXPECT_EQ(locked.Run(save), 0);
  EXPECT_EQ(test::ReadFile(path).size(), 16u);
  EXPECT_EQ(test::EntriesIn(locked.Dir()), 1u);
#endif
}

// Random bytes with runs of empty cells long enough to leave whole records
// out, and with the first byte never empty so every file has data.
void RandomImage(ProgramImage& image, uint32_t seed) {
  std::mt19937 random(seed);
  for (uint32_t a = 0; a < ProgramImage::kSize;) {
    const bool empty = a != 0 && random() % 3 == 0;
    for (uint32_t run = 1 + random() % 700; run > 0 && a < ProgramImage::kSize; --run, ++a)
      image.Bytes[a] = empty ? 0xFF : static_cast<uint8_t>(random());
  }
  if (image.Bytes[0] == 0xFF) image.Bytes[0] = 0x5A;
}

TEST_F(WriterTest, EveryFormatReadsBackWhatItWrote) {
  ProgramImage written;
  uint32_t seed = 1;
  for (uint32_t size : {0x10000u, 2000u, 1u}) {
    for (uint32_t lineLen : {2u, 16u, 32u, 254u}) {
      for (const FileFormatInfo& entry : FileFormats()) {
        RandomImage(written, ++seed);
        dataFormat = entry.number;
        hexLineLen = lineLen;
        ffSave = seed % 2 != 0;  // nine formats a round: each meets both values
        sizeBytes = size;
        SCOPED_TRACE(testing::Message() << "format " << entry.number << " size " << size << " line " << lineLen);
        ASSERT_EQ(SaveFile(written), 0) << feedback.LastText();
        ASSERT_EQ(LoadFile(), 0) << feedback.LastText();
        EXPECT_EQ(dataFormat, entry.number);
        EXPECT_TRUE(std::equal(image.Bytes.begin(), image.Bytes.begin() + size, written.Bytes.begin()));
        EXPECT_TRUE(std::all_of(image.Bytes.begin() + size, image.Bytes.end(), [](uint8_t b) { return b == 0xFF; }));
      }
    }
  }
}

// What we write srec_cat reads to the same bytes, and what it writes we load
// to the same bytes. Tektronix is left out: srec_cat sums digits there, we
// sum bytes. After srec_cat's name of each format come its writing options;
// S5 data-count records are not part of the formats read here.
TEST_F(WriterTest, TheSrecordToolReadsOurFilesAndWeLoadItsFiles) {
  TAV_POSIX_ONLY("srec_cat is a tool of the building machine, run through its shell");
  const std::string tool = "/usr/bin/srec_cat", bin = (dir / "tool.bin").string(), err = (dir / "err").string();
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "srec_cat is not installed";
  constexpr std::pair<int, const char*> kToolFormats[] = {
      {2, "-Intel -address-length=2"}, {3, "-Intel"}, {4, "-Intel -address-length=2"},
      {5, "-Motorola -address-length=2 -disable=data-count"}, {6, "-Motorola -address-length=3 -disable=data-count"},
      {7, "-Motorola -address-length=4 -disable=data-count"}, {8, "-MOS_Technologies"}};
  constexpr uint32_t kSize = 0x2000;
  std::mt19937 random(7);  // random bytes with a hole of empty cells, which the writers leave out
  for (uint32_t a = 0; a < kSize; ++a) image.Bytes[a] = a >= 0x300 && a < 0x500 ? 0xFF : uint8_t(random());
  sizeBytes = kSize;
  const std::string original(image.Bytes.begin(), image.Bytes.begin() + kSize);
  const auto run = [&](const std::string& arguments) {
    const bool ran = std::system((tool + " " + arguments + " 2>" + err).c_str()) == 0;
    return ran ? std::string() : "srec_cat failed: " + test::ReadFile(err);
  };
  for (const auto& [format, options] : kToolFormats) {
    SCOPED_TRACE(options);
    dataFormat = format;
    ASSERT_EQ(SaveFile(image), 0) << feedback.LastText();
    const std::string readName = std::string(options).substr(0, std::string(options).find(' '));
    ASSERT_EQ(run(path + " " + readName + " -fill 0xFF 0 " + std::to_string(kSize) + " -o " + bin + " -binary"), "");
    EXPECT_TRUE(test::ReadFile(bin) == original);
    // The tool never starts a file with a segment address record, which
    // is what makes a file IntelMCS; its Intel files are Intel8 or Intel32.
    if (format == 4) continue;
    // Records of 250 bytes, where ours hold 32.
    ASSERT_EQ(run(bin + " -binary -o " + path + " " + options + " -output_block_size=250"), "");
    ASSERT_EQ(LoadFile(), 0) << feedback.LastText();
    EXPECT_EQ(dataFormat, format);
    EXPECT_TRUE(std::string(image.Bytes.begin(), image.Bytes.begin() + kSize) == original);
  }
}

}  // namespace
}  // namespace tav
