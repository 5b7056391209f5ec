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
  for (int number = 1; number <= 9; ++number) {
    const tav::FileFormatInfo* format = tav::FindFileFormat(number);
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
  if (format < 1 || format > 9) abort();

  tav::Settings settings;
  settings.ProgramFilePath = path;
  tav::DeviceRecord device;
  device.SizeBytes = 0x10000;
  tav::ProgramImage image;
  const int result = tav::LoadProgramFile(settings, device, image, feedback);
  // A load that succeeds has data that fits the device.
  if (result == 0 && (image.ByteCount > device.SizeBytes || image.HighestAddress >= device.SizeBytes)) abort();
  if (result != 0 && result != 3) abort();

  RunEveryReader(path, true);
  RunEveryReader(path, false);
  std::remove(path.c_str());
  return 0;
}
