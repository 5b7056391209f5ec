// SPDX-License-Identifier: GPL-2.0-or-later
// Cost of one register write: over a port that answers at once (the link's
// own overhead, goal under 50 ns) and over the simulated board, with an empty
// socket and with a chip that sees every write.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include "tests/support/scripted_feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "settings/settings.h"
#include "settings/time_base.h"
#include "sim/sim_board.h"

namespace {

// Completes every handshake on the first read: bit 7 is 1 while the strobe
// is clear and 0 once it is set.
class AnsweringPort : public tav::PortIo {
public:
  void Out(uint16_t address, uint8_t value) override {
    if (address == 0x37A) control_ = value;
  }
  uint8_t In(uint16_t) override { return (control_ & 1) ? 0x00 : 0x80; }

private:
  uint8_t control_ = 0;
};

// A chip that only counts what it sees, so that its own cost stays out.
class CountingChip : public tav::sim::SocketChip {
public:
  void OnPins(const tav::sim::SocketPins& pins, uint64_t) override { seen += pins.strobe; }
  std::optional<uint8_t> DrivenData(const tav::sim::SocketPins&, uint64_t) override { return std::nullopt; }
  uint8_t Package() const override { return 40; }
  uint32_t MaxVppMillivolts() const override { return 13000; }
  std::string Name() const override { return "Zähler"; }
  uint64_t seen = 0;
};

struct Rig {
  explicit Rig(tav::PortIo& io) : link(io, settings, device, feedback) {}
  tav::Settings settings;
  tav::DeviceRecord device;
  tav::ScriptedFeedback feedback{settings.MessageBeap};
  tav::ProgrammerLink link;
};

void RunWrites(benchmark::State& state, tav::ProgrammerLink& link) {
  uint8_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.WriteRegister(tav::kRegLines, value));
    value = static_cast<uint8_t>(value + 0x20);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_WriteRegisterAnsweringPort(benchmark::State& state) {
  AnsweringPort port;
  Rig rig(port);
  RunWrites(state, rig.link);
}
BENCHMARK(BM_WriteRegisterAnsweringPort);

void BM_WriteRegisterSimBoardEmptySocket(benchmark::State& state) {
  tav::sim::SimBoard board;
  Rig rig(board);
  RunWrites(state, rig.link);
}
BENCHMARK(BM_WriteRegisterSimBoardEmptySocket);

void BM_WriteRegisterSimBoardWithChip(benchmark::State& state) {
  tav::sim::SimBoard board;
  auto chip = std::make_shared<CountingChip>();
  board.InsertChip(chip);
  Rig rig(board);
  RunWrites(state, rig.link);
  benchmark::DoNotOptimize(chip->seen);
}
BENCHMARK(BM_WriteRegisterSimBoardWithChip);

// A 600 ms pulse: the longest single sequence of the operations.
void BM_TimedPulse600SimBoard(benchmark::State& state) {
  tav::sim::SimBoard board;
  Rig rig(board);
  for (auto _ : state) benchmark::DoNotOptimize(rig.link.TimedPulse(600));
  state.SetItemsProcessed(state.iterations() *
                         static_cast<int64_t>(tav::TimeBaseUnits(600000, rig.settings.TimeBaseKorr) + 1));
}
BENCHMARK(BM_TimedPulse600SimBoard)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
