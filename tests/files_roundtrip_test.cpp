// Whatever the writers save, the readers load back byte for byte, in every
// format and for several record lengths and device sizes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/files_test_rig.h"

namespace tav {
namespace {

// Random bytes with runs of empty cells long enough to leave whole records
// out, and with the first byte never empty so every file has data.
void RandomImage(ProgramImage& image, uint32_t seed) {
  std::mt19937 random(seed);
  image = ProgramImage();
  for (uint32_t a = 0; a < ProgramImage::kSize;) {
    const bool empty = a != 0 && random() % 3 == 0;
    for (uint32_t run = 1 + random() % 700; run > 0 && a < ProgramImage::kSize; --run, ++a)
      image.Bytes[a] = empty ? 0xFF : static_cast<uint8_t>(random());
  }
  if (image.Bytes[0] == 0xFF) image.Bytes[0] = 0x5A;
}

using RoundTripTest = test::ProgramFileTest;

TEST_F(RoundTripTest, EveryFormatReadsBackWhatItWrote) {
  ProgramImage written;
  uint32_t seed = 1;
  for (uint32_t size : {0x10000u, 2000u, 1u}) {
    for (uint32_t lineLen : {2u, 16u, 32u, 254u}) {
      for (int format = 1; format <= 9; ++format) {
        for (int ffSave = 0; ffSave <= 1; ++ffSave) {
          SCOPED_TRACE(testing::Message() << "format " << format << " size " << size << " line " << lineLen
                                          << " FFSave " << ffSave);
          RandomImage(written, ++seed);
          settings.DataFormat = format;
          settings.HexLineLen = lineLen;
          settings.FFSave = ffSave;
          device.SizeBytes = size;
          ASSERT_EQ(SaveImageToFile(settings, device, written, feedback), 0) << feedback.LastText();

          settings.DataFormat = 0;
          ASSERT_EQ(LoadProgramFile(settings, device, image, feedback), 0) << feedback.LastText();
          EXPECT_EQ(settings.DataFormat, format);
          uint32_t differences = 0;
          for (uint32_t a = 0; a < ProgramImage::kSize; ++a)
            differences += image.Bytes[a] != (a < size ? written.Bytes[a] : 0xFF);
          EXPECT_EQ(differences, 0u);
          EXPECT_LT(image.HighestAddress, size);
          EXPECT_TRUE(feedback.messages.empty());
        }
      }
    }
  }
}

}  // namespace
}  // namespace tav
