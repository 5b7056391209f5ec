// SPDX-License-Identifier: GPL-2.0-or-later
// Whatever the writers save, the readers load back byte for byte, in every
// format and for several record lengths and device sizes; and files are
// exchanged with srec_cat, a standard tool for these formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "tests/files_test_rig.h"
#include "tests/posix_only.h"

namespace tav {
namespace {

using RoundTripTest = test::ProgramFileTest;

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

TEST_F(RoundTripTest, EveryFormatReadsBackWhatItWrote) {
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
TEST_F(RoundTripTest, TheSrecordToolReadsOurFilesAndWeLoadItsFiles) {
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
    return std::system((tool + " " + arguments + " 2>" + err).c_str()) == 0 ? std::string() : "srec_cat failed: " + test::ReadFile(err);
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
