// The socket sequences on the simulated board: what reaches the socket, in
// which order, how long it lasts, and that a full power cycle breaks no
// electrical rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/scripted_feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "settings/settings.h"
#include "sim/pin_recorder_chip.h"
#include "sim/sim_board.h"

namespace tav {
namespace {

// Forwards to the board and notes the converter codes at every load strobe.
class LoadWatcher : public PortIo {
public:
  explicit LoadWatcher(sim::SimBoard& board) : board_(board) {}
  void Out(uint16_t address, uint8_t value) override {
    const uint64_t before = board_.CompletedWrites();
    const uint8_t lines = board_.Register(4);
    board_.Out(address, value);
    if (board_.CompletedWrites() != before && !(lines & 0x04) && (board_.Register(4) & 0x04)) {
      loads.push_back({board_.SupplyConverterCode(), board_.VppConverterCode(), board_.NowNs()});
    }
  }
  uint8_t In(uint16_t address) override { return board_.In(address); }

  struct Load {
    uint8_t supply, vpp;
    uint64_t nowNs;
  };
  std::vector<Load> loads;

private:
  sim::SimBoard& board_;
};

DeviceRecord Device(uint8_t package, bool edge, bool kvp) {
  DeviceRecord d;
  d.DeviceName = "Testbaustein";
  d.Package = package;
  d.VppCode = 120;      // 12.0 V
  d.VccProgCode = 100;  // 5.0 V
  d.ManufacturerId000 = edge ? 0xE0 : 0x1E;
  d.SizeBytes = package == 40 ? 8192 : 2048;
  d.KVp = kvp;
  return d;
}

struct Rig {
  explicit Rig(const DeviceRecord& d, uint32_t maxVpp = 13000)
      : device(d),
        chip(std::make_shared<sim::PinRecorderChip>(d.Package, d.ManufacturerId000 == 0xE0, maxVpp)),
        watcher(board),
        link(watcher, settings, device, feedback) {
    settings.TimeOut = 50;
    board.InsertChip(chip);
  }
  // The trace of the writes made by `run`, one "RR VV" per line.
  template <typename F>
  std::string Trace(F run) {
    std::ostringstream out;
    board.SetTraceSink(&out);
    run();
    board.SetTraceSink(nullptr);
    return out.str();
  }

  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{settings.MessageBeap};
  sim::SimBoard board;
  std::shared_ptr<sim::PinRecorderChip> chip;
  LoadWatcher watcher;
  ProgrammerLink link;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The changes of enable (E), strobe (S), counter clock (C) and programming
// voltage switch (V) in the recorded samples, as "E+ S+ ...".
std::string LineEvents(const std::vector<sim::PinRecorderChip::Sample>& samples, size_t from = 0) {
  std::string out;
  sim::SocketPins last = from ? samples[from - 1].pins : sim::SocketPins{};
  auto note = [&out](const char* name, bool on) { out += std::string(name) + (on ? "+ " : "- "); };
  for (size_t i = from; i < samples.size(); ++i) {
    const auto& p = samples[i].pins;
    if (p.enable != last.enable) note("E", p.enable);
    if (p.strobe != last.strobe) note("S", p.strobe);
    if ((p.addressLow & 1) != (last.addressLow & 1)) note("C", p.addressLow & 1);
    if (p.vppOn != last.vppOn) note("V", p.vppOn);
    last = p;
  }
  return out;
}

TEST(Timing, TimeBaseUnitsIsAnIntegerQuotientOfAtLeastOne) {
  Rig rig(Device(40, false, false));
  rig.settings.TimeBaseKorr = 85;
  EXPECT_EQ(rig.link.TimeBaseUnits(0), 1u);
  EXPECT_EQ(rig.link.TimeBaseUnits(84), 1u);
  EXPECT_EQ(rig.link.TimeBaseUnits(170), 2u);
  EXPECT_EQ(rig.link.TimeBaseUnits(600000), 7058u);
  rig.settings.TimeBaseKorr = 0;  // a hand-made record must not divide by zero
  EXPECT_EQ(rig.link.TimeBaseUnits(500), 500u);
}

TEST(Timing, TimedPulseHoldsTheTimingLineForItsCountThenClearsIt) {
  Rig rig(Device(40, false, false));
  rig.link.LineLatch = 0x40;
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(1), 0); }), Repeat("04 60\n", 11) + "04 40\n");
  // Shorter than one write still writes twice.
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(0), 0); }), "04 60\n04 40\n");
}

TEST(Timing, TimedPulseLastsItsTimeOnTheVirtualClock) {
  for (const int korr : {85, 100, 7}) {
    Rig rig(Device(40, false, false));
    rig.settings.TimeBaseKorr = korr;
    rig.board.SetWriteDurationNs(uint64_t(korr) * 1000);
    const uint64_t start = rig.board.NowNs();
    ASSERT_EQ(rig.link.TimedPulse(600), 0);
    const int64_t elapsed = int64_t(rig.board.NowNs() - start);
    EXPECT_LE(std::llabs(elapsed - 600'000'000), int64_t(korr) * 1000) << korr;
  }
}

TEST(Timing, PulseTrainTogglesTheTimingLine) {
  Rig rig(Device(40, false, false));
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.PulseTrain(3), 0); }), Repeat("04 20\n04 00\n", 3));
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.PulseTrain(0), 0); }), "");
  EXPECT_EQ(rig.link.WriteCount(), 6u);
}

TEST(Timing, ABoardThatGoesSilentEndsTimedPrimitivesWithNine) {
  {
    Rig rig(Device(40, false, false));
    rig.board.Faults().silentAfterWrites = 5;
    EXPECT_EQ(rig.link.TimedPulse(1), kTimerFailed);
    EXPECT_EQ(rig.link.WriteCount(), 6u);  // stopped at the first failed write
    EXPECT_TRUE(rig.link.LineLatch & kLineTiming);
    EXPECT_EQ(rig.feedback.messages.size(), 1u);
  }
  for (const int64_t silentAfter : {int64_t{0}, int64_t{3}}) {
    Rig rig(Device(40, false, false));
    rig.board.Faults().silentAfterWrites = silentAfter;
    EXPECT_EQ(rig.link.PulseTrain(10), kTimerFailed);
    EXPECT_EQ(rig.link.WriteCount(), uint64_t(silentAfter) + 1);
    EXPECT_EQ(rig.feedback.messages.size(), 1u);
  }
}

TEST(Converters, LoadVoltagesIs51WritesOfRegister4ThatTouchNoOtherLine) {
  Rig rig(Device(40, false, false));
  rig.link.LineLatch = 0xC0;
  rig.link.VccOutput = 0xA5;
  rig.link.VppOutput = 0x3C;
  const std::string trace = rig.Trace([&] { rig.link.LoadVoltages(); });
  std::istringstream lines(trace);
  int count = 0;
  for (unsigned reg, value; lines >> std::hex >> reg >> value; ++count) {
    EXPECT_EQ(reg, 4u);
    EXPECT_EQ(value & 0xF8u, 0xC0u);
  }
  EXPECT_EQ(count, 51);
  EXPECT_EQ(rig.link.LineLatch, 0xC0);
  ASSERT_EQ(rig.watcher.loads.size(), 1u);
  EXPECT_EQ(rig.board.SupplyConverterCode(), 0xA5);
  EXPECT_EQ(rig.board.VppConverterCode(), 0x3C);
  EXPECT_EQ(rig.board.Pins().vccMillivolts, 0xA5u * 50);
  EXPECT_EQ(rig.board.Pins().vppMillivolts, 0x3Cu * 100);
  // The outputs change only on the load strobe (write 49), never while shifting.
  const auto& samples = rig.chip->Samples();
  ASSERT_EQ(samples.size(), 51u);
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(samples[i].pins.vccMillivolts, i < 48 ? 0u : 0xA5u * 50) << i;
    EXPECT_EQ(samples[i].pins.vppMillivolts, i < 48 ? 0u : 0x3Cu * 100) << i;
  }
}

TEST(Modes, SetModeKeepsTheUpperBitsAndSettles) {
  Rig rig(Device(40, false, false));
  rig.link.ModeLatch = 0xA3;
  rig.link.LineLatch = 0x60;
  EXPECT_EQ(rig.Trace([&] { rig.link.SetMode(kModeWriteCode); }), "00 AE\n04 40\n04 40\n");
  EXPECT_EQ(rig.link.ModeLatch, 0xAE);
}

TEST(Addresses, ForcedHighBitsFollowTheSizeThresholds) {
  const struct {
    uint32_t size;
    uint8_t forced;
  } table[] = {{2048, 0x70}, {0x0FFF, 0x70}, {4096, 0x60}, {0x1FFF, 0x60}, {8192, 0x40},
               {0x3FFF, 0x40}, {16384, 0x00}, {65536, 0x00}};
  for (const auto& row : table) {
    DeviceRecord d = Device(40, false, false);
    d.SizeBytes = row.size;
    Rig rig(d);
    char expected[64];
    std::snprintf(expected, sizeof expected, "06 23\n02 %02X\n04 00\n04 00\n04 00\n", 0x01 | row.forced);
    EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.SetAddress(0x0123, 0), 0); }), expected) << row.size;
    std::snprintf(expected, sizeof expected, "06 FF\n02 %02X\n04 00\n04 00\n04 00\n", 0x80 | 0x0F | row.forced);
    EXPECT_EQ(rig.Trace([&] { rig.link.SetAddress(0x0FFF, 0x80); }), expected) << row.size;
    EXPECT_TRUE(rig.board.Pins().P33());
  }
}

TEST(Addresses, SetAddressPassesOnItsLastWrite) {
  Rig rig(Device(40, false, false));
  rig.board.Faults().silentAfterWrites = 2;
  EXPECT_EQ(rig.link.SetAddress(0x10, 0), kHandshakeTimeout);
  EXPECT_EQ(rig.link.WriteCount(), 5u);  // the sequence goes on after a failed write
}

TEST(Addresses, CounterStepsAndResetsOnBothTwentyPinVariants) {
  for (const bool edge : {false, true}) {
    Rig rig(Device(20, edge, false));
    rig.link.ResetOutputs();
    rig.link.PowerUp();
    EXPECT_EQ(rig.board.Pins().counter, 0u) << edge;
    std::string steps = rig.Trace([&] {
      for (int i = 0; i < 5; ++i) rig.link.StepAddressCounter();
    });
    EXPECT_EQ(rig.board.Pins().counter, 5u) << edge;
    if (edge) {
      EXPECT_EQ(steps, "06 01\n04 C0\n04 C0\n06 00\n04 C0\n04 C0\n06 01\n04 C0\n04 C0\n06 00\n04 C0\n04 C0\n"
                       "06 01\n04 C0\n04 C0\n");
    } else {
      EXPECT_EQ(steps, Repeat("06 01\n06 00\n04 C0\n04 C0\n", 5));
    }
    rig.link.ResetAddressCounter();
    EXPECT_EQ(rig.board.Pins().counter, 0u) << edge;
    EXPECT_EQ(rig.link.CounterClockLevel, 0);
    // After a reset the edge variant's next step writes 1 again.
    steps = rig.Trace([&] { rig.link.StepAddressCounter(); });
    EXPECT_EQ(steps.substr(0, 6), "06 01\n");
    EXPECT_EQ(rig.board.Pins().counter, 1u) << edge;
    EXPECT_TRUE(rig.board.Violations().empty()) << edge;
  }
}

TEST(Power, OnlyFortyPinPartsGetTheSupplyRamp) {
  Rig rig(Device(40, false, false));
  rig.link.ResetOutputs();
  rig.watcher.loads.clear();
  rig.link.PowerUp();
  std::vector<int> supply;
  for (const auto& l : rig.watcher.loads) {
    supply.push_back(l.supply);
    EXPECT_EQ(l.vpp, 120);
  }
  EXPECT_EQ(supply, (std::vector<int>{0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 100}));
  // Each ramp step stands for its 5 ms before the next value.
  for (size_t i = 3; i < rig.watcher.loads.size(); ++i) {
    EXPECT_GE(rig.watcher.loads[i].nowNs - rig.watcher.loads[i - 1].nowNs, 5'000'000u);
  }

  for (const bool edge : {false, true}) {
    Rig rig20(Device(20, edge, false));
    rig20.link.ResetOutputs();
    rig20.watcher.loads.clear();
    rig20.link.PowerUp();
    supply.clear();
    for (const auto& l : rig20.watcher.loads) supply.push_back(l.supply);
    EXPECT_EQ(supply, (std::vector<int>{0, 0, 100})) << edge;
  }
}

struct CycleCase {
  uint8_t package;
  bool edge;
  bool kvp;
  const char* powerUpEvents;
};

class PowerCycle : public testing::TestWithParam<CycleCase> {};

TEST_P(PowerCycle, LeavesTheSocketAtRestWithoutBreakingARule) {
  const CycleCase c = GetParam();
  Rig rig(Device(c.package, c.edge, c.kvp));
  EXPECT_TRUE(rig.board.SocketAtRest());
  rig.link.ResetOutputs();
  EXPECT_TRUE(rig.board.SocketAtRest());

  const size_t upFrom = rig.chip->Samples().size();
  EXPECT_EQ(rig.link.PowerUp(), 0);
  EXPECT_EQ(LineEvents(rig.chip->Samples(), upFrom), c.powerUpEvents);
  const sim::SocketPins& up = rig.board.Pins();
  EXPECT_TRUE(up.supplyOn && up.enable && up.strobe);
  EXPECT_EQ(up.ChipVcc(), 5000u);
  EXPECT_EQ(up.vppMillivolts, 12000u);
  EXPECT_EQ(up.vppOn, c.kvp && !c.edge);
  if (c.package == 20) {
    EXPECT_EQ(up.counter, 0u);
  }

  const size_t downFrom = rig.chip->Samples().size();
  EXPECT_EQ(rig.link.PowerDown(), 0);
  EXPECT_TRUE(rig.board.SocketAtRest());
  EXPECT_TRUE(rig.board.Violations().empty()) << rig.board.Violations().front().rule;
  EXPECT_TRUE(rig.feedback.messages.empty());
  EXPECT_EQ(rig.link.ModeLatch | rig.link.LineLatch | rig.link.SupplyLatch, 0);

  // Way down: programming voltage off, enable off, supply converter to 0,
  // strobe off, socket supply off, then 600 ms of quiet.
  const auto& s = rig.chip->Samples();
  auto firstFrom = [&](auto pred) {
    for (size_t i = downFrom; i < s.size(); ++i) {
      if (pred(s[i].pins)) return i;
    }
    return s.size();
  };
  const size_t vppOff = firstFrom([](const sim::SocketPins& p) { return !p.vppOn; });
  const size_t vppZero = firstFrom([](const sim::SocketPins& p) { return p.vppMillivolts == 0; });
  const size_t enableOff = firstFrom([](const sim::SocketPins& p) { return !p.enable; });
  const size_t vccZero = firstFrom([](const sim::SocketPins& p) { return p.vccMillivolts == 0; });
  const size_t strobeOff = firstFrom([](const sim::SocketPins& p) { return !p.strobe; });
  const size_t supplyOff = firstFrom([](const sim::SocketPins& p) { return !p.supplyOn; });
  EXPECT_LT(vppOff, vppZero);
  EXPECT_LT(vppZero, enableOff);
  EXPECT_LT(enableOff, vccZero);
  EXPECT_LT(vccZero, strobeOff);
  EXPECT_LT(strobeOff, supplyOff);
  EXPECT_GE(s.back().nowNs - s[supplyOff].nowNs, 600'000'000u);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, PowerCycle,
    testing::Values(CycleCase{40, false, false, "E+ S+ "}, CycleCase{40, false, true, "E+ S+ V+ "},
                    CycleCase{20, false, false, "E+ E- E+ S+ "}, CycleCase{20, false, true, "E+ E- E+ S+ V+ "},
                    CycleCase{20, true, false, "E+ C+ E- E+ S+ C- "}, CycleCase{20, true, true, "E+ C+ E- E+ S+ C- "}),
    [](const testing::TestParamInfo<CycleCase>& info) {
      return "Pins" + std::to_string(info.param.package) + (info.param.edge ? "Edge" : "") +
             (info.param.kvp ? "KVp" : "");
    });

TEST(Power, ResetOutputsFromALiveSocketSwitchesVppOffBeforeTheSupply) {
  Rig rig(Device(40, false, true));
  rig.link.PowerUp();
  ASSERT_TRUE(rig.board.Pins().vppOn);
  rig.link.ResetOutputs();
  EXPECT_FALSE(rig.board.Pins().supplyOn);
  EXPECT_FALSE(rig.board.Pins().vppOn);
  EXPECT_EQ(rig.board.SupplyConverterCode() | rig.board.VppConverterCode(), 0);
  EXPECT_TRUE(rig.board.Violations().empty());
}

}  // namespace
}  // namespace tav
