// Files exchanged with srec_cat, a standard tool for these formats: what we
// write it reads to the same bytes, and what it writes we load to the same
// bytes. Tektronix is left out: srec_cat sums digits there, we sum bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "app/scripted_feedback.h"
#include "files/program_files.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = "/usr/bin/srec_cat";

struct ToolFormat {
  int format;
  const char* options;  // srec_cat's name of the format and its options
};

// S5 data-count records are not part of the formats read here.
constexpr ToolFormat kToolFormats[] = {
    {2, "-Intel -address-length=2"},
    {3, "-Intel"},
    {4, "-Intel -address-length=2"},
    {5, "-Motorola -address-length=2 -disable=data-count"},
    {6, "-Motorola -address-length=3 -disable=data-count"},
    {7, "-Motorola -address-length=4 -disable=data-count"},
    {8, "-MOS_Technologies"},
};

class InteropTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!fs::exists(kTool)) GTEST_SKIP() << "srec_cat is not installed";
    ASSERT_TRUE(scratch.Valid());
    std::mt19937 random(7);
    for (uint32_t a = 0; a < size; ++a) image.Bytes[a] = static_cast<uint8_t>(random());
    // A hole of empty cells, which the writers leave out.
    for (uint32_t a = 0x300; a < 0x500; ++a) image.Bytes[a] = 0xFF;
    device.SizeBytes = size;
  }

  static std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string ImageBytes() const { return std::string(reinterpret_cast<const char*>(image.Bytes.data()), size); }
  int Run(const std::string& command) { return std::system((command + " 2>" + (dir / "err").string()).c_str()); }

  const uint32_t size = 0x2000;
  test::ScratchDirectory scratch{"tav_interop"};
  const fs::path& dir = scratch.Path();
  int beep = 0;
  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{beep};
};

TEST_F(InteropTest, ToolReadsOurFiles) {
  for (const auto& f : kToolFormats) {
    SCOPED_TRACE(f.options);
    settings.ProgramFilePath = (dir / "ours.hex").string();
    settings.DataFormat = f.format;
    settings.HexLineLen = 32;
    ASSERT_EQ(SaveImageToFile(settings, device, image, feedback), 0) << feedback.LastText();
    // The tool's reading name is the format name without its writing options.
    std::string readName = std::string(f.options).substr(0, std::string(f.options).find(' '));
    const fs::path bin = dir / "tool.bin";
    ASSERT_EQ(Run(std::string(kTool) + " " + settings.ProgramFilePath + " " + readName + " -fill 0xFF 0 " +
                  std::to_string(size) + " -o " + bin.string() + " -binary"),
              0)
        << ReadAll(dir / "err");
    EXPECT_TRUE(ReadAll(bin) == ImageBytes());
  }
}

TEST_F(InteropTest, WeLoadTheToolsFiles) {
  const fs::path bin = dir / "source.bin";
  std::ofstream(bin, std::ios::binary) << ImageBytes();
  for (uint32_t block : {16u, 32u, 250u}) {
    for (const auto& f : kToolFormats) {
      // The tool never starts a file with a segment address record, which
      // is what makes a file IntelMCS; its Intel files are Intel8 or Intel32.
      if (f.format == 4) continue;
      SCOPED_TRACE(testing::Message() << f.options << " block " << block);
      settings.ProgramFilePath = (dir / "tool.hex").string();
      ASSERT_EQ(Run(std::string(kTool) + " " + bin.string() + " -binary -o " + settings.ProgramFilePath + " " +
                    f.options + " -output_block_size=" + std::to_string(block)),
                0)
          << ReadAll(dir / "err");
      ProgramImage loaded;
      ASSERT_EQ(LoadProgramFile(settings, device, loaded, feedback), 0) << feedback.LastText();
      EXPECT_EQ(settings.DataFormat, f.format);
      EXPECT_TRUE(std::equal(loaded.Bytes.begin(), loaded.Bytes.begin() + size, image.Bytes.begin()));
      EXPECT_EQ(loaded.ByteCount, size);
      EXPECT_EQ(loaded.HighestAddress, size - 1);
    }
  }
}

}  // namespace
}  // namespace tav
