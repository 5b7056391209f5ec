// Files exchanged with srec_cat, a standard tool for these formats: what we
// write it reads to the same bytes, and what it writes we load to the same
// bytes. Tektronix is left out: srec_cat sums digits there, we sum bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "tests/files_test_rig.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = "/usr/bin/srec_cat";
constexpr uint32_t kSize = 0x2000;

// srec_cat's name of each format with its writing options; S5 data-count
// records are not part of the formats read here.
constexpr std::pair<int, const char*> kToolFormats[] = {
    {2, "-Intel -address-length=2"},
    {3, "-Intel"},
    {4, "-Intel -address-length=2"},
    {5, "-Motorola -address-length=2 -disable=data-count"},
    {6, "-Motorola -address-length=3 -disable=data-count"},
    {7, "-Motorola -address-length=4 -disable=data-count"},
    {8, "-MOS_Technologies"},
};

class InteropTest : public test::ProgramFileTest {
protected:
  void SetUp() override {
    if (!fs::exists(kTool)) GTEST_SKIP() << "srec_cat is not installed";
    ProgramFileTest::SetUp();
    std::mt19937 random(7);
    for (uint32_t a = 0; a < kSize; ++a) image.Bytes[a] = static_cast<uint8_t>(random());
    // A hole of empty cells, which the writers leave out.
    std::fill(image.Bytes.begin() + 0x300, image.Bytes.begin() + 0x500, 0xFF);
    device.SizeBytes = kSize;
  }

  std::string ImageBytes() const { return std::string(image.Bytes.begin(), image.Bytes.begin() + kSize); }
  // Runs srec_cat; its error output is the failure message.
  void Run(const std::string& arguments) {
    const fs::path err = dir / "err";
    ASSERT_EQ(std::system((std::string(kTool) + " " + arguments + " 2>" + err.string()).c_str()), 0)
        << test::ReadFile(err);
  }
};

TEST_F(InteropTest, ToolReadsOurFiles) {
  const fs::path bin = dir / "tool.bin";
  for (const auto& [format, options] : kToolFormats) {
    SCOPED_TRACE(options);
    settings.DataFormat = format;
    ASSERT_EQ(SaveImageToFile(settings, device, image, feedback), 0) << feedback.LastText();
    // The tool's reading name is the format name without its writing options.
    const std::string readName = std::string(options).substr(0, std::string(options).find(' '));
    ASSERT_NO_FATAL_FAILURE(Run(settings.ProgramFilePath + " " + readName + " -fill 0xFF 0 " +
                                std::to_string(kSize) + " -o " + bin.string() + " -binary"));
    EXPECT_TRUE(test::ReadFile(bin) == ImageBytes());
  }
}

TEST_F(InteropTest, WeLoadTheToolsFiles) {
  const fs::path bin = dir / "source.bin";
  test::WriteFile(bin, ImageBytes());
  for (uint32_t block : {16u, 32u, 250u}) {
    for (const auto& [format, options] : kToolFormats) {
      // The tool never starts a file with a segment address record, which
      // is what makes a file IntelMCS; its Intel files are Intel8 or Intel32.
      if (format == 4) continue;
      SCOPED_TRACE(testing::Message() << options << " block " << block);
      ASSERT_NO_FATAL_FAILURE(Run(bin.string() + " -binary -o " + settings.ProgramFilePath + " " + options +
                                  " -output_block_size=" + std::to_string(block)));
      ProgramImage loaded;
      ASSERT_EQ(LoadProgramFile(settings, device, loaded, feedback), 0) << feedback.LastText();
      EXPECT_EQ(settings.DataFormat, format);
      EXPECT_TRUE(std::equal(loaded.Bytes.begin(), loaded.Bytes.begin() + kSize, image.Bytes.begin()));
      EXPECT_EQ(loaded.ByteCount, kSize);
      EXPECT_EQ(loaded.HighestAddress, kSize - 1);
    }
  }
}

}  // namespace
}  // namespace tav
