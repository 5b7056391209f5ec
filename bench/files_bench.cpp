// SPDX-License-Identifier: GPL-2.0-or-later
// Loading and writing a full 64 KiB image in every format, and the same
// conversion done by srec_cat for comparison.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <string>

#include "tests/support/scripted_feedback.h"
#include "files/output_file.h"
#include "files/program_files.h"
#include "files/writers.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// srec_cat's names for our formats; Tektronix has no counterpart with the
// same checksums.
const char* ToolName(int format) {
  switch (format) {
    case 1: return "-binary";
    case 2: return "-Intel -address-length=2";
    case 3: return "-Intel";
    case 5: return "-Motorola -address-length=2 -disable=data-count";
    case 6: return "-Motorola -address-length=3 -disable=data-count";
    case 7: return "-Motorola -address-length=4 -disable=data-count";
    case 8: return "-MOS_Technologies";
    default: return nullptr;
  }
}

std::string ToolReadName(int format) {
  std::string name = ToolName(format);
  return name.substr(0, name.find(' '));
}

// One directory with the full image written once in every format.
struct Fixture {
  Fixture() : feedback(beep) {
    dir = fs::temp_directory_path() / ("tav_files_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 random(3);
    for (auto& b : image.Bytes) b = static_cast<uint8_t>(random());
    for (const FileFormatInfo& format : FileFormats()) {
      SaveImageToFile(Path(format.number), format.number, ProgramImage::kSize, 32, false, image, feedback);
    }
  }
  ~Fixture() { fs::remove_all(dir); }
  std::string Path(int format) const { return (dir / ("image." + std::to_string(format))).string(); }

  int beep = 0;
  fs::path dir;
  ProgramImage image;
  ScriptedFeedback feedback;
};

Fixture& Files() {
  static Fixture fixture;
  return fixture;
}

void BM_Load(benchmark::State& state) {
  Fixture& f = Files();
  const std::string path = f.Path(static_cast<int>(state.range(0)));
  ProgramImage image;
  int32_t detected = 0;
  for (auto _ : state) {
    if (LoadProgramFile(path, ProgramImage::kSize, true, image, detected, f.feedback) != 0)
      state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.Bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}

// The writer alone, into memory.
void BM_Write(benchmark::State& state) {
  Fixture& f = Files();
  const std::string path = "memory";
  for (auto _ : state) {
    MemoryOutputFile out;
    WriteContext context{out, f.feedback, path, f.image, ProgramImage::kSize, 32, false,
                         static_cast<int>(state.range(0))};
    if (FindFileFormat(context.format)->write(context) != 0) state.SkipWithError("write failed");
    benchmark::DoNotOptimize(out.bytes.data());
  }
}

// Load a file and save it again in the same format, as srec_cat converts.
void BM_Convert(benchmark::State& state) {
  Fixture& f = Files();
  const int format = static_cast<int>(state.range(0));
  const std::string converted = (f.dir / "converted").string();
  ProgramImage image;
  int32_t detected = 0;
  for (auto _ : state) {
    if (LoadProgramFile(f.Path(format), ProgramImage::kSize, true, image, detected, f.feedback) != 0)
      state.SkipWithError("load failed");
    if (SaveImageToFile(converted, format, ProgramImage::kSize, 32, false, image, f.feedback) != 0)
      state.SkipWithError("save failed");
  }
}

void BM_SrecCatConvert(benchmark::State& state) {
  Fixture& f = Files();
  const int format = static_cast<int>(state.range(0));
  const std::string command = "srec_cat " + f.Path(format) + " " + ToolReadName(format) + " -o " +
                              (f.dir / "tool_converted").string() + " " + ToolName(format) + " 2>/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("srec_cat failed or is missing");
}

// What starting srec_cat costs without any data.
void BM_SrecCatStartup(benchmark::State& state) {
  for (auto _ : state)
    if (std::system("srec_cat -version >/dev/null 2>&1") != 0) state.SkipWithError("srec_cat failed or is missing");
}

BENCHMARK(BM_Load)->DenseRange(1, 9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write)->DenseRange(1, 9)->Unit(benchmark::kMicrosecond);
// Wall-clock time throughout the comparison: srec_cat's work happens in a
// child process, and saving waits for the disk.
BENCHMARK(BM_Convert)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(6)->Arg(7)->Arg(8)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SrecCatConvert)
    ->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Arg(6)->Arg(7)->Arg(8)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SrecCatStartup)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace tav

BENCHMARK_MAIN();
