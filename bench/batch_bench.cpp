// SPDX-License-Identifier: GPL-2.0-or-later
// What a production run adds between two chips beyond the board's own time:
// the serial number reserved in its file (a durable replacement), the
// program file read again with the serial patched in, the checksum, and the
// log line forced to the disk. Measured as the wall time per chip of a run
// against the same chips burnt by single program commands on the simulated
// board, whose register writes cost only their simulation; the difference
// of the two per-chip times is the run's own share. Goal: under 50 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/session/batch_run.h"
#include "app/session/session.h"
#include "tests/start_up_directory.h"
#include "tests/support/scripted_feedback.h"

namespace tav {
namespace {

constexpr uint32_t kChips = 10;

void Chips(benchmark::State& state, bool asBatch) {
  test::StartUpDirectory directory("tav_bench_batch");
  const std::string blink = (std::filesystem::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex").string();
  int beep = 0;
  SessionOptions options;
  options.simulator = SimulatorOptions{};
  BatchOptions batch;
  batch.count = kChips;
  batch.serial = BatchSerial{0x40, *ParseSerialFormat("dec6"), 1000, 1, "serial.txt"};
  batch.logPath = "chips.csv";
  for (auto _ : state) {
    state.PauseTiming();
    ScriptedFeedback feedback(beep);
    Session session(feedback, options);
    if (session.Start() != 0 || session.UseProgramFile(blink) != 0) state.SkipWithError("no session");
    LockFileBusyMarker busy(directory.Path().string());
    CommandFrameHooks hooks;
    state.ResumeTiming();
    if (asBatch) {
      BatchSummary summary;
      if (RunBatch(session, batch, busy, hooks, summary) != 0) state.SkipWithError("batch failed");
    } else {
      for (uint32_t chip = 1; chip <= kChips; ++chip) {
        session.InsertFreshChip(chip);
        if (session.RunCommand(Command::Program, busy, hooks) != 0) state.SkipWithError("program failed");
      }
    }
  }
  // Seconds per chip, shown scaled (ms, us).
  state.counters["per_chip"] =
      benchmark::Counter(kChips, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ChipsByProgramCommands(benchmark::State& state) { Chips(state, false); }
void BM_ChipsByBatch(benchmark::State& state) { Chips(state, true); }

BENCHMARK(BM_ChipsByProgramCommands)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChipsByBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tav

BENCHMARK_MAIN();
