// SPDX-License-Identifier: GPL-2.0-or-later
// Files exchanged with srec_cat, a standard tool for these formats: what we
// write it reads to the same bytes, and what it writes we load to the same
// bytes. Tektronix is left out: srec_cat sums digits there, we sum bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "tests/files_test_rig.h"
#include "tests/posix_only.h"

namespace tav {
namespace {

constexpr const char* kTool = "/usr/bin/srec_cat";
constexpr uint32_t kSize = 0x2000;

// srec_cat's name of each format, then its writing options; S5 data-count
// records are not part of the formats read here.
constexpr std::pair<int, const char*> kToolFormats[] = {
    {2, "-Intel -address-length=2"}, {3, "-Intel"}, {4, "-Intel -address-length=2"},
    {5, "-Motorola -address-length=2 -disable=data-count"}, {6, "-Motorola -address-length=3 -disable=data-count"},
    {7, "-Motorola -address-length=4 -disable=data-count"}, {8, "-MOS_Technologies"},
};

class InteropTest : public test::ProgramFileTest {
protected:
  void SetUp() override {
    TAV_POSIX_ONLY("srec_cat is a tool of the building machine, run through its shell");
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "srec_cat is not installed";
    ProgramFileTest::SetUp();
    // Random bytes with a hole of empty cells, which the writers leave out.
    std::mt19937 random(7);
    for (uint32_t a = 0; a < kSize; ++a)
      image.Bytes[a] = a >= 0x300 && a < 0x500 ? 0xFF : static_cast<uint8_t>(random());
    sizeBytes = kSize;
  }
  std::string ImageBytes() const { return std::string(image.Bytes.begin(), image.Bytes.begin() + kSize); }
  // Runs srec_cat; its error output is the failure message.
  void Run(const std::string& arguments) {
    const std::string err = (dir / "err").string();
    ASSERT_EQ(std::system((std::string(kTool) + " " + arguments + " 2>" + err).c_str()), 0) << test::ReadFile(err);
  }
};

TEST_F(InteropTest, TheToolReadsOurFilesAndWeLoadItsFiles) {
  const std::string original = ImageBytes();
  const std::string bin = (dir / "tool.bin").string();
  for (const auto& [format, options] : kToolFormats) {
    SCOPED_TRACE(options);
    dataFormat = format;
    ASSERT_EQ(SaveFile(image), 0) << feedback.LastText();
    const std::string readName = std::string(options).substr(0, std::string(options).find(' '));
    ASSERT_NO_FATAL_FAILURE(Run(path + " " + readName + " -fill 0xFF 0 " + std::to_string(kSize) +
                                " -o " + bin + " -binary"));
    EXPECT_TRUE(test::ReadFile(bin) == original);

    // The tool never starts a file with a segment address record, which
    // is what makes a file IntelMCS; its Intel files are Intel8 or Intel32.
    if (format == 4) continue;
    // Records of 250 bytes, where ours hold 32.
    ASSERT_NO_FATAL_FAILURE(Run(bin + " -binary -o " + path + " " + options +
                                " -output_block_size=250"));
    ASSERT_EQ(LoadFile(), 0) << feedback.LastText();
    EXPECT_EQ(dataFormat, format);
    EXPECT_TRUE(ImageBytes() == original);
  }
}

}  // namespace
}  // namespace tav
