// SPDX-License-Identifier: GPL-2.0-or-later
// The socket sequences on the simulated board: what reaches the socket, in
// which order, how long it lasts, and that a full power cycle breaks no
// electrical rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
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
    board.SetTraceSink(&trace);
  }
  // The trace of the writes made by `run`, one "RR VV" per line.
  std::string Trace(const std::function<void()>& run) {
    trace.str("");
    run();
    return trace.str();
  }
  // The socket's changes in the recorded samples from `from` on: socket
  // supply switch (W), programming voltage switch (V), enable (E), strobe
  // (S) and counter clock (C) as + or -, and the outputs of the programming
  // voltage (P) and supply (U) converters in millivolts.
  std::string SocketEvents(size_t from) const {
    std::string out;
    const auto note = [&out](auto now, auto before, const char* name, bool level = false) {
      if (now != before) out += name + (level ? std::to_string(now) : now ? "+" : "-") + " ";
    };
    for (size_t i = from; i < chip->Samples().size(); ++i) {
      const sim::SocketPins& p = chip->Samples()[i].pins;
      const sim::SocketPins last = i ? chip->Samples()[i - 1].pins : sim::SocketPins{};
      note(p.supplyOn, last.supplyOn, "W"), note(p.vppOn, last.vppOn, "V");
      note(p.vppMillivolts, last.vppMillivolts, "P", true), note(p.enable, last.enable, "E");
      note(p.vccMillivolts, last.vccMillivolts, "U", true), note(p.strobe, last.strobe, "S");
      note(p.addressLow & 1, last.addressLow & 1, "C");
    }
    return out;
  }
  std::shared_ptr<sim::PinRecorderChip> chip;
  std::ostringstream trace;
};

std::string Repeat(const std::string& s, int n) { return n > 0 ? s + Repeat(s, n - 1) : ""; }

TEST(Timing, PulsesCountWritesLastTheirTimeAndEndWithNineOnASilentBoard) {
  Rig rig;
  rig.link.LineLatch = 0x40;
  // 1 ms at 85 µs a write is 11 writes; shorter than one write still writes twice.
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(1), 0); }), Repeat("04 60\n", 11) + "04 40\n");
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.TimedPulse(0), 0); }), "04 60\n04 40\n");
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.PulseTrain(3), 0); }), Repeat("04 60\n04 40\n", 3));

  Rig silent;  // each stops at its first failed write
  silent.board.Faults().silentAfterWrites = 5;
  EXPECT_EQ((std::tuple{silent.link.TimedPulse(1), silent.link.WriteCount(), silent.link.PulseTrain(10),
                        silent.link.WriteCount()}), std::tuple(9, 6u, 9, 7u));
}

TEST(Addresses, ForcedHighBitsFollowTheSizeThresholds) {
  Rig rig;  // 8192 bytes
  EXPECT_EQ(rig.Trace([&] { EXPECT_EQ(rig.link.SetAddress(0x0123, 0), 0); }), "06 23\n02 41\n04 00\n04 00\n04 00\n");
  const struct { uint32_t size; uint8_t forced; } table[] = {{0x0FFF, 0x70}, {4096, 0x60}, {0x1FFF, 0x60},
                                                              {8192, 0x40}, {0x3FFF, 0x40}, {16384, 0x00}};
  for (const auto& row : table) {
    rig.device.SizeBytes = row.size;
    rig.link.SetAddress(0x0123, 0);
    EXPECT_EQ(rig.board.Register(kRegAddressHigh), 0x01 | row.forced) << row.size;
    rig.link.SetAddress(0x0FFF, 0x80);
    EXPECT_EQ(rig.board.Register(kRegAddressHigh), 0x8F | row.forced) << row.size;
  }
}

TEST(PowerCycle, EachPackageVariantPowersUpInOrderAndLeavesTheSocketAtRestWithoutBreakingARule) {
  // Only 40-pin parts get the supply in steps; the edge variant is a 20-pin
  // part only and never gets the programming voltage switched on.
  const std::string ramp = "P12000 W+ U500 U1000 U1500 U2000 U2500 U3000 U3500 U5000 E+ S+ ";
  const std::string twenty = "P12000 W+ U5000 E+ E- E+ S+ ", edge = "P12000 W+ U5000 E+ C+ E- E+ S+ C- ";
  const struct { uint8_t package; bool edge, kvp; std::string up; } cases[] = {
      {40, false, false, ramp}, {40, false, true, ramp + "V+ "}, {40, true, false, ramp}, {20, false, false, twenty},
      {20, false, true, twenty + "V+ "}, {20, true, false, edge}, {20, true, true, edge}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.package) << (c.edge ? " edge" : "") << (c.kvp ? " KVp" : ""));
    Rig rig(Device(c.package, c.edge, c.kvp));
    rig.link.ResetOutputs();
    EXPECT_EQ((std::tuple{rig.link.PowerUp(), rig.SocketEvents(0), rig.board.Pins().counter}), std::tuple(0, c.up, 0u));
    uint64_t since = 0;  // each step of the ramp is held for 5 ms
    for (uint32_t held = 1; const auto& [pins, nowNs] : rig.chip->Samples()) {
      if (!pins.supplyOn || pins.vccMillivolts == held) continue;
      EXPECT_TRUE(c.package != 40 || held == 1 || nowNs - since >= 5'000'000u) << held;
      held = pins.vccMillivolts, since = nowNs;
    }
    if (c.package == 20) {  // the counter steps, and starts again after a reset
      const std::string settle = "04 C0\n04 C0\n";  // the edge variant changes the clock level once per step
      EXPECT_EQ(rig.Trace([&] { for (int i = 0; i < 3; ++i) rig.link.StepAddressCounter(); }),
                c.edge ? "06 01\n" + settle + "06 00\n" + settle + "06 01\n" + settle
                       : Repeat("06 01\n06 00\n" + settle, 3));
      rig.link.ResetAddressCounter();
      rig.link.StepAddressCounter();
      EXPECT_EQ(rig.board.Pins().counter, 1u);
    }

    // Way down: programming voltage off, enable off between the two converter
    // changes, strobe off, socket supply off last, then 600 ms of quiet. The
    // edge variant's counter clock, left high by the last step, goes first.
    const size_t downFrom = rig.chip->Samples().size();
    rig.link.ModeLatch |= 0xF0;  // the way down clears the upper half too, whatever it held
    const std::string first = c.package == 20 && c.edge ? "C- " : c.kvp && !c.edge ? "V- " : "";
    EXPECT_EQ((std::tuple{rig.link.PowerDown(), rig.SocketEvents(downFrom)}), std::tuple(0, first + "P0 E- U0 S- W- "));
    const auto& s = rig.chip->Samples();
    const auto off = std::find_if(s.begin() + long(downFrom), s.end(), [](const auto& x) { return !x.pins.supplyOn; });
    ASSERT_NE(off, s.end());
    EXPECT_GE(s.back().nowNs - off->nowNs, 600'000'000u);
    EXPECT_TRUE(rig.board.SocketAtRest() && (rig.link.ModeLatch | rig.link.LineLatch | rig.link.SupplyLatch) == 0);

    rig.link.PowerUp();
    rig.link.ResetOutputs();  // an operation starting on a live socket
    EXPECT_FALSE(rig.board.Pins().supplyOn || rig.board.Pins().vppOn);
    EXPECT_TRUE(rig.board.Violations().empty()) << rig.board.Violations().front().rule;
  }
}

// Whole register writes, never none; 64 bits, so that a long pulse at a
// small correction does not wrap; a hand-made correction below 1 acts as
// the settings file's default instead of dividing by zero.
TEST(TimeBase, MicrosecondsBecomeAtLeastOneWholeRegisterWrite) {
  EXPECT_EQ((std::vector{TimeBaseUnits(84, 85), TimeBaseUnits(0, 85), TimeBaseUnits(5'000'000'000ull, 1),
                         TimeBaseUnits(1000, 0), TimeBaseMicroseconds(11, -5)}),
            (std::vector<uint64_t>{1, 1, 5'000'000'000ull, 11, 935}));
}

}  // namespace
}  // namespace tav
