// Feeds arbitrary bytes as a program file to the format detection, the
// whole load and every reader on its own, with and without checksum tests.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/scripted_feedback.h"
#include "files/input_file.h"
#include "files/program_files.h"
#include "files/readers.h"

namespace {

// In memory, as the input is rewritten for every run; removed after each
// run because libFuzzer ends without running destructors.
const std::string& InputPath() {
  static const std::string path = "/dev/shm/tav_files_fuzz_" + std::to_string(getpid());
  return path;
}

void RunEveryReader(const std::string& path, bool testChecksum) {
  int beep = 0;
  tav::ScriptedFeedback feedback(beep);
  tav::ProgramImage image;
  for (const tav::FileFormatInfo& entry : tav::FileFormats()) {
    const tav::FileFormatInfo* format = &entry;
    tav::InputFile file;
    if (file.Open(path, format->textMode) != 0) abort();
    tav::ReadContext context{file, image, feedback, path, 0x10000, testChecksum};
    const int result = format->read(context);
    if (result != 0 && result != 3) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  int beep = 0;
  tav::ScriptedFeedback feedback(beep);
  const int format = tav::DetectFileFormat(path, feedback);
  // 0: unreadable, or text of no format (after the message).
  if (format != 0 && tav::FindFileFormat(format) == nullptr) abort();

  const uint32_t sizeBytes = 0x10000;
  tav::ProgramImage image;
  int32_t detected = 0;
  const int result = tav::LoadProgramFile(path, sizeBytes, true, image, detected, feedback);
  // A load that succeeds has data that fits the device.
  if (result == 0 && (image.ByteCount > sizeBytes || image.HighestAddress >= sizeBytes)) abort();
  if (result != 0 && result != 3) abort();

  RunEveryReader(path, true);
  RunEveryReader(path, false);
  std::remove(path.c_str());
  return 0;
}
