// The socket sequences on the simulated board: what reaches the socket, in
// which order, how long it lasts, and that a full power cycle breaks no
// electrical rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "settings/time_base.h"
#include "sim/pin_recorder_chip.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

// 12.0 V programming voltage, 5.0 V supply; 0xE0 selects the edge variant.
DeviceRecord Device(uint8_t package, bool edge = false, bool kvp = false) {
  return {.DeviceName = "test part", .Package = package, .VppCode = 120, .VccProgCode = 100,
          .ManufacturerId000 = uint8_t(edge ? 0xE0 : 0x1E), .SizeBytes = package == 40 ? 8192u : 2048u, .KVp = kvp};
}

struct Rig : test::BoardRig<sim::SimBoard> {
  explicit Rig(const DeviceRecord& d = Device(40))
      : BoardRig(d), chip(std::make_shared<sim::PinRecorderChip>(d.Package, d.IsEdgeVariant(), 13000)) {
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
  std::shared_ptr<sim::PinRecorderChip> chip;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The changes in the recorded samples from `from` on, as "W+ E+ ...": socket
// supply switch (W), enable (E), strobe (S), counter clock (C), programming
// voltage switch (V); P0 and U0 when the programming or supply converter drops to 0.
std::string SocketEvents(const std::vector<sim::PinRecorderChip::Sample>& samples, size_t from) {
  std::string out;
  sim::SocketPins last = from ? samples[from - 1].pins : sim::SocketPins{};
  auto note = [&out](bool changed, const char* name, const char* suffix) {
    if (changed) out += std::string(name) + suffix + " ";
  };
  for (size_t i = from; i < samples.size(); ++i) {
    const auto& p = samples[i].pins;
    note(p.supplyOn != last.supplyOn, "W", p.supplyOn ? "+" : "-");
    note(p.vppOn != last.vppOn, "V", p.vppOn ? "+" : "-");
    note(p.vppMillivolts == 0 && last.vppMillivolts != 0, "P", "0");
    note(p.enable != last.enable, "E", p.enable ? "+" : "-");
    note(p.vccMillivolts == 0 && last.vccMillivolts != 0, "U", "0");
    note(p.strobe != last.strobe, "S", p.strobe ? "+" : "-");
    note((p.addressLow & 1) != (last.addressLow & 1), "C", (p.addressLow & 1) ? "+" : "-");
    last = p;
  }
  return out;
}

TEST(Timing, PulsesCountWritesLastTheirTimeAndEndWithNineOnASilentBoard) {
  Rig rig;
  rig.link.LineLatch = 0x40;
  // 1 ms at 85 µs a write is 11 writes; shorter than one write still writes twice.
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(1), 0); }), Repeat("04 60\n", 11) + "04 40\n");
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(0), 0); }), "04 60\n04 40\n");
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.PulseTrain(3), 0); }), Repeat("04 60\n04 40\n", 3));

  Rig silent;  // each stops at its first failed write
  silent.board.Faults().silentAfterWrites = 5;
  EXPECT_EQ(silent.link.TimedPulse(1), 9);
  EXPECT_EQ(silent.link.WriteCount(), 6u);
  EXPECT_EQ(silent.link.PulseTrain(10), 9);
  EXPECT_EQ(silent.link.WriteCount(), 7u);

  for (const int korr : {85, 100, 7}) {
    Rig timed;
    timed.settings.TimeBaseKorr = korr;
    timed.board.SetWriteDurationNs(uint64_t(korr) * 1000);
    ASSERT_EQ(timed.link.TimedPulse(600), 0);
    EXPECT_LE(std::llabs(int64_t(timed.board.NowNs()) - 600'000'000), int64_t(korr) * 1000) << korr;
  }
}

TEST(Converters, LoadVoltagesShiftsSupplyFirstMostSignificantBitFirst) {
  Rig rig;
  rig.link.LineLatch = 0xC0;
  rig.link.VccOutput = 0x64;  // neither value reads the same backwards
  rig.link.VppOutput = 0x78;
  rig.link.LoadVoltages();
  EXPECT_EQ(rig.board.SupplyConverterCode(), 0x64);
  EXPECT_EQ(rig.board.VppConverterCode(), 0x78);
  for (const auto& sample : rig.chip->Samples()) {
    EXPECT_TRUE(sample.pins.enable && sample.pins.strobe) << "enable and strobe never move while loading";
  }
}

TEST(Addresses, ForcedHighBitsFollowTheSizeThresholds) {
  Rig rig;  // 8192 bytes
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.SetAddress(0x0123, 0), 0); }), "06 23\n02 41\n04 00\n04 00\n04 00\n");
  const struct {
    uint32_t size;
    uint8_t forced;
  } table[] = {{0x0FFF, 0x70}, {4096, 0x60}, {0x1FFF, 0x60}, {8192, 0x40}, {0x3FFF, 0x40}, {16384, 0x00}};
  for (const auto& row : table) {
    rig.device.SizeBytes = row.size;
    rig.link.SetAddress(0x0123, 0);
    EXPECT_EQ(rig.board.Register(kRegAddressHigh), 0x01 | row.forced) << row.size;
    rig.link.SetAddress(0x0FFF, 0x80);
    EXPECT_EQ(rig.board.Register(kRegAddressHigh), 0x8F | row.forced) << row.size;
  }
}

TEST(Addresses, CounterStepsAndResetsOnBothTwentyPinVariants) {
  for (const bool edge : {false, true}) {
    SCOPED_TRACE(edge);
    Rig rig(Device(20, edge));
    rig.link.ResetOutputs();
    rig.link.PowerUp();
    const std::string steps = rig.Trace([&] {
      for (int i = 0; i < 3; ++i) rig.link.StepAddressCounter();
    });
    const std::string settle = "04 C0\n04 C0\n";  // the edge variant changes the clock level once per step
    EXPECT_EQ(steps, edge ? "06 01\n" + settle + "06 00\n" + settle + "06 01\n" + settle
                          : Repeat("06 01\n06 00\n" + settle, 3));
    EXPECT_EQ(rig.board.Pins().counter, 3u);
    rig.link.ResetAddressCounter();
    EXPECT_EQ(rig.board.Pins().counter, 0u);
    rig.link.StepAddressCounter();
    EXPECT_EQ(rig.board.Pins().counter, 1u) << "the first step after a reset";
  }
}

TEST(PowerCycle, EachPackageVariantPowersUpInOrderAndLeavesTheSocketAtRestWithoutBreakingARule) {
  const struct {
    uint8_t package;
    bool edge, kvp;
    const char* powerUpEvents;
  } cases[] = {  // each package variant without and with KVp; the edge variant is a 20-pin part only
      {40, false, false, "W+ E+ S+ "}, {40, false, true, "W+ E+ S+ V+ "}, {40, true, false, "W+ E+ S+ "},
      {20, false, false, "W+ E+ E- E+ S+ "}, {20, false, true, "W+ E+ E- E+ S+ V+ "},
      {20, true, false, "W+ E+ C+ E- E+ S+ C- "}, {20, true, true, "W+ E+ C+ E- E+ S+ C- "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.package) << (c.edge ? " edge" : "") << (c.kvp ? " KVp" : ""));
    Rig rig(Device(c.package, c.edge, c.kvp));
    rig.link.ResetOutputs();
    EXPECT_EQ(rig.link.PowerUp(), 0);
    EXPECT_EQ(SocketEvents(rig.chip->Samples(), 0), c.powerUpEvents);
    EXPECT_EQ(rig.board.Pins().counter, 0u);
    // The supply voltages the socket gets once switched on: only 40-pin parts
    // get the ramp, each step held for 5 ms.
    std::vector<uint32_t> supply;
    uint64_t since = 0;
    for (const auto& [pins, nowNs] : rig.chip->Samples()) {
      if (!pins.supplyOn || (!supply.empty() && supply.back() == pins.vccMillivolts)) continue;
      EXPECT_TRUE(c.package != 40 || supply.empty() || nowNs - since >= 5'000'000u) << supply.back();
      supply.push_back(pins.vccMillivolts);
      since = nowNs;
    }
    EXPECT_EQ(supply, (c.package == 20 ? std::vector<uint32_t>{0, 5000}
                                       : std::vector<uint32_t>{0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 5000}));

    // Way down: programming voltage off, enable off between the two converter
    // changes, strobe off, socket supply off last, then 600 ms of quiet.
    const size_t downFrom = rig.chip->Samples().size();
    EXPECT_EQ(rig.link.PowerDown(), 0);
    const auto& s = rig.chip->Samples();
    EXPECT_EQ(SocketEvents(s, downFrom), std::string(c.kvp && !c.edge ? "V- " : "") + "P0 E- U0 S- W- ");
    size_t supplyOff = downFrom;
    while (supplyOff < s.size() && s[supplyOff].pins.supplyOn) ++supplyOff;
    ASSERT_LT(supplyOff, s.size());
    EXPECT_GE(s.back().nowNs - s[supplyOff].nowNs, 600'000'000u);
    EXPECT_TRUE(rig.board.SocketAtRest());
    EXPECT_EQ(rig.link.ModeLatch | rig.link.LineLatch | rig.link.SupplyLatch, 0);

    rig.link.PowerUp();
    rig.link.ResetOutputs();  // an operation starting on a live socket
    EXPECT_FALSE(rig.board.Pins().supplyOn || rig.board.Pins().vppOn);
    EXPECT_TRUE(rig.board.Violations().empty()) << rig.board.Violations().front().rule;
    EXPECT_TRUE(rig.feedback.messages.empty());
  }
}

// Whole register writes, never none; 64 bits, so that a long pulse at a
// small correction does not wrap; a hand-made correction below 1 acts as
// the settings file's default instead of dividing by zero.
TEST(TimeBase, MicrosecondsBecomeAtLeastOneWholeRegisterWrite) {
  EXPECT_EQ(TimeBaseUnits(84, 85), 1u);
  EXPECT_EQ(TimeBaseUnits(0, 85), 1u);
  EXPECT_EQ(TimeBaseUnits(5'000'000'000ull, 1), 5'000'000'000ull);
  EXPECT_EQ(TimeBaseUnits(1000, 0), 11u);
  EXPECT_EQ(TimeBaseMicroseconds(11, -5), 935u);
}
}  // namespace
}  // namespace tav
