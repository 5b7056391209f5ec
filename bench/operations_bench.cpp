// SPDX-License-Identifier: GPL-2.0-or-later
// Program + verify of full parts on the simulated board: how many register
// writes they take, how long that is on the board at 85 µs per write, and how
// much CPU time the software spends around it. The software share should stay
// below 2 % of the board time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <random>

#include "tests/support/scripted_feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operations.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {
namespace {

// The library's AT89C51 and AT89C55 lines, converted at TimeBaseKorr 85.
DeviceRecord At89(const char* name, uint32_t size, uint8_t deviceId) {
  DeviceRecord d;
  d.DeviceName = name;
  d.Package = 40;
  d.VppCode = 120;
  d.VccProgCode = 100;
  d.ProgPulseTime = 2000 / 85;
  d.ProgPulseCount = 1;
  d.LockPulseCount = 1;
  d.EraseTime = 10000 / 85;
  d.ManufacturerId030 = 0x1E;
  d.DeviceId031 = deviceId;
  d.DeviceId032 = 0xFF;
  d.SizeBytes = size;
  d.LockBitCount = 3;
  return d;
}

void ProgramAndVerify(benchmark::State& state, const DeviceRecord& record) {
  std::mt19937 random(7);
  ProgramImage image;
  image.PrepareForLoad();
  for (uint32_t a = 0; a < record.SizeBytes; ++a) image.Store(a, static_cast<uint8_t>(random() & 0x7F));

  uint64_t writes = 0;
  uint64_t boardNs = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Settings settings;
    settings.MessageBeap = 0;
    settings.Verify = 1;
    DeviceRecord device = record;
    ScriptedFeedback feedback(settings.MessageBeap);
    sim::SimBoard board;
    board.SetWriteDurationNs(85000);
    board.InsertChip(sim::MakeChip(device, settings.TimeBaseKorr));
    ProgrammerLink link(board, settings, device, feedback);
    ProgramImage work = image;
    OperationContext ctx{link, device, work, settings, feedback};
    state.ResumeTiming();

    const auto start = std::chrono::steady_clock::now();
    const int result = RunProgramSequence(ctx);
    cpuSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != 0) state.SkipWithError("program sequence failed");
    writes = link.WriteCount();
    boardNs = board.NowNs();
  }
  const double boardSeconds = static_cast<double>(boardNs) * 1e-9;
  const double perRun = cpuSeconds / static_cast<double>(state.iterations());
  state.counters["register_writes"] = static_cast<double>(writes);
  state.counters["board_seconds"] = boardSeconds;
  state.counters["software_seconds"] = perRun;
  state.counters["software_percent"] = 100.0 * perRun / boardSeconds;
}

void BM_ProgramVerifyAt89c51(benchmark::State& state) { ProgramAndVerify(state, At89("AT89C51", 4096, 0x51)); }
void BM_ProgramVerifyAt89c55(benchmark::State& state) { ProgramAndVerify(state, At89("AT89C55", 20480, 0x55)); }

BENCHMARK(BM_ProgramVerifyAt89c51)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramVerifyAt89c55)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav

BENCHMARK_MAIN();
