// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes as a program file to the format detection, the
// whole load and every reader on its own, with and without checksum tests.
// The last byte also picks the device size, so that the size refusals of
// smaller parts are reached. Whatever loads is then written in every format
// and read back: the image must come back unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/input_file.h"
#include "files/program_files.h"
#include "files/readers.h"
#include "fuzz/fuzz_scratch.h"
#include "tests/support/scripted_feedback.h"

namespace {

constexpr uint32_t kDeviceSizes[] = {0x10000, 1024, 2048, 4096, 8192, 20480, 32768};

// The file read with one format's reader, whatever detection would say.
int ReadAs(const tav::FileFormatInfo& format, const std::string& path, uint32_t sizeBytes, bool testChecksum,
           tav::ProgramImage& image, tav::Feedback& feedback) {
  tav::InputFile file;
  if (file.Open(path, format.textMode) != 0) abort();
  tav::ReadContext context{file, image, feedback, path, sizeBytes, testChecksum};
  return format.read(context);
}

void RunEveryReader(const std::string& path, uint32_t sizeBytes, bool testChecksum) {
  int beep = 0;
  tav::ScriptedFeedback feedback(beep);
  tav::ProgramImage image;
  for (const tav::FileFormatInfo& format : tav::FileFormats()) {
    const int result = ReadAs(format, path, sizeBytes, testChecksum, image, feedback);
    if (result != 0 && result != 3) abort();
  }
}

// Every format writes the loaded image, and reading the file back gives it again.
void RoundTrip(const tav::fuzz::ScratchDirectory& scratch, const tav::ProgramImage& loaded, uint32_t sizeBytes,
               uint8_t options) {
  int beep = 0;
  tav::ScriptedFeedback feedback(beep);
  const uint32_t hexLineLen = 2 + 2 * (options % 127);  // even, 2 .. 254, as the settings allow
  const bool ffSave = (options & 0x80) != 0;
  bool blank = true;
  for (uint32_t a = 0; a < sizeBytes && blank; ++a) blank = loaded.Bytes[a] == tav::ProgramImage::kBlank;
  // Blank cells only, without FFSave, leave no data to write: the binary
  // writer refuses with the hint to set it, the hex writers write the fixed
  // lines alone.
  if (blank && !ffSave) return;
  for (const tav::FileFormatInfo& format : tav::FileFormats()) {
    const std::string path = scratch.Path() + "out." + format.key;
    if (tav::SaveImageToFile(path, format.number, sizeBytes, hexLineLen, ffSave, loaded, feedback) != 0) {
      std::fprintf(stderr, "%s: %s\n", format.key, feedback.LastText().c_str());
      tav::fuzz::Fail("a loaded image could not be written");
    }
    tav::ProgramImage back;
    int32_t detected = format.number;
    // Binary data may look like a hex file to the detection, which goes by
    // the content: a binary file is read back as binary.
    const int result = format.recordKind == tav::RecordKind::Binary
                           ? ReadAs(format, path, sizeBytes, true, back, feedback)
                           : tav::LoadProgramFile(path, sizeBytes, true, back, detected, feedback);
    std::remove(path.c_str());
    if (result != 0) {
      std::fprintf(stderr, "%s: %s\n", format.key, feedback.LastText().c_str());
      tav::fuzz::Fail("a written file is refused");
    }
    if (detected != format.number) {
      std::fprintf(stderr, "%s: taken for format %d\n", format.key, static_cast<int>(detected));
      tav::fuzz::Fail("a written file is taken for another format");
    }
    if (back.Bytes != loaded.Bytes) tav::fuzz::Fail("write and read back changed the image");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tav::fuzz::ScratchDirectory scratch;
  const std::string path = scratch.Write("input", data, size);
  const uint8_t last = size > 0 ? data[size - 1] : 0;
  const uint32_t sizeBytes = kDeviceSizes[last % (sizeof kDeviceSizes / sizeof kDeviceSizes[0])];

  int beep = 0;
  tav::ScriptedFeedback feedback(beep);
  const int format = tav::DetectFileFormat(path, feedback);
  // 0: unreadable, or text of no format (after the message).
  if (format != 0 && tav::FindFileFormat(format) == nullptr) abort();

  tav::ProgramImage image;
  int32_t detected = 0;
  const int result = tav::LoadProgramFile(path, sizeBytes, true, image, detected, feedback);
  // A load that succeeds has data that fits the device.
  if (result == 0 && (image.ByteCount > 0x10000 || image.HighestAddress >= sizeBytes)) abort();
  if (result != 0 && result != 3) abort();
  // Written up to the highest address, as a conversion does by default:
  // everything above it is blank.
  if (result == 0) RoundTrip(scratch, image, image.HighestAddress + 1, size > 1 ? data[size - 2] : 0);

  RunEveryReader(path, sizeBytes, true);
  RunEveryReader(path, sizeBytes, false);
  return 0;
}
