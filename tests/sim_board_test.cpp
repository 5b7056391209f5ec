// The simulated board at port level: the handshake, the socket lines it
// derives from the registers, the read-back, the faults and the monitor.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>

#include "sim/fault_names.h"
#include "sim/pin_recorder_chip.h"
#include "sim/sim_board.h"

namespace tav::sim {
namespace {

constexpr uint16_t kBase = 0x378;

// A chip that drives a fixed byte whenever it is asked.
struct DrivingChip : PinRecorderChip {
  explicit DrivingChip(std::optional<uint8_t> v) : value(v) {}
  std::optional<uint8_t> DrivenData(const SocketPins&, uint64_t) override { return value; }
  std::optional<uint8_t> value;
};

// One complete register write at port level, as the link performs it.
void Write(SimBoard& board, uint8_t reg, uint8_t value) {
  board.Out(kBase, value);
  board.Out(kBase + 2, reg);
  board.Out(kBase + 2, reg | 1);
}

// Shifts supply then programming code into the converters and loads them.
void LoadConverters(SimBoard& board, uint8_t supply, uint8_t vpp) {
  for (const uint8_t value : {supply, vpp}) {
    for (int bit = 7; bit >= 0; --bit) {
      const uint8_t data = ((value >> bit) & 1) ? 0x02 : 0x00;
      for (const uint8_t clock : {0, 1, 0}) Write(board, 4, data | clock);
    }
  }
  Write(board, 4, 0x04);
  Write(board, 4, 0x00);
}

TEST(Handshake, TheStrobeCompletesAWriteWithTheDataPortOfThatMoment) {
  SimBoard board;
  std::ostringstream trace;
  board.SetTraceSink(&trace);
  board.SetWriteDurationNs(1000);
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0);
  board.Out(kBase, 0x11);
  board.Out(kBase + 2, 10);
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0x80);
  board.Out(kBase, 0x5A);  // taken at the strobe, not before
  board.Out(kBase + 2, 11);
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0);
  board.Out(kBase + 2, 11);  // a held strobe writes nothing more
  board.Out(kBase + 2, 1);
  Write(board, 4, 0xC3);
  Write(board, 14, 0x80);
  EXPECT_EQ(trace.str(), "0A 5A\n04 C3\n0E 80\n");
  EXPECT_EQ(board.NowNs(), 3000u);
}

TEST(ReadBack, StatusShowsTheHalfSelectedByRegisterFourOrEightAndAChipOnlyPullsLinesLow) {
  SimBoard board;
  Write(board, 10, 0xD3);
  Write(board, 4, 0);
  EXPECT_EQ(board.In(kBase + 1), 0x48 | 0x07);  // unused bits 0..2 float high
  Write(board, 8, 0);
  EXPECT_EQ(board.In(kBase + 1), 0x70 | 0x07);
  Write(board, 10, 0x2C);  // other registers keep the selected half
  EXPECT_EQ(board.In(kBase + 1), 0x08 | 0x07);

  EXPECT_EQ(board.DataLines(), 0x2C);  // empty socket: the register itself
  board.InsertChip(std::make_shared<DrivingChip>(0x3C));
  Write(board, 10, 0xA5);
  EXPECT_EQ(board.DataLines(), 0x24);
  Write(board, 10, 0xFF);
  EXPECT_EQ(board.DataLines(), 0x3C);
}

TEST(Socket, ConvertersShiftOnRisingClockAndTakeOverOnLoad) {
  SimBoard board;
  LoadConverters(board, 0x64, 0x78);
  EXPECT_EQ(board.Pins().vccMillivolts, 5000u);
  EXPECT_EQ(board.Pins().vppMillivolts, 12000u);
  // A falling or held clock shifts nothing; only the rising load counts.
  for (const uint8_t lines : {0x03, 0x03, 0x02, 0x04}) Write(board, 4, lines);
  EXPECT_EQ(board.SupplyConverterCode(), 0xC8);  // 0x6478 shifted by one 1
  EXPECT_EQ(board.VppConverterCode(), 0xF1);
  Write(board, 4, 0x05);
  EXPECT_EQ(board.VppConverterCode(), 0xF1);
}

TEST(Monitor, EachRuleIsCaughtOnceWhenProvoked) {
  SimBoard vppAlone;
  Write(vppAlone, 10, 0);
  Write(vppAlone, 8, 0x10);
  Write(vppAlone, 8, 0x10);  // a lasting state is one violation, not one per write
  ASSERT_EQ(vppAlone.Violations().size(), 1u);
  EXPECT_EQ(vppAlone.Violations()[0].rule, kRuleVppWithoutSupply);
  EXPECT_EQ(vppAlone.Violations()[0].writeIndex, 2u);
  // What the command line tells the user about it, with the chip's own word.
  EXPECT_EQ(HarmReport(vppAlone, {"Spannung zu hoch"}, true),
            (std::vector<std::string>{
                "Simulator: elektrische Regel verletzt (Registerzugriff 2): "
                "Programmierspannung eingeschaltet ohne Betriebsspannung",
                "Simulator: Baustein beanstandet: Spannung zu hoch", "Simulator: Baustein beschädigt."}));
  EXPECT_TRUE(HarmReport(SimBoard{}, {}, false).empty());

  SimBoard supplyOff;
  for (const uint8_t supply : {0x80, 0x90}) Write(supplyOff, 8, supply);
  EXPECT_TRUE(supplyOff.Violations().empty());
  Write(supplyOff, 8, 0x10);
  ASSERT_EQ(supplyOff.Violations().size(), 1u);
  EXPECT_EQ(supplyOff.Violations()[0].rule, kRuleSupplyOffUnderVpp);

  SimBoard limit;
  limit.InsertChip(std::make_shared<PinRecorderChip>(40, false, 12500));
  LoadConverters(limit, 100, 130);  // 13 V prepared while switched off: allowed
  EXPECT_TRUE(limit.Violations().empty());
  Write(limit, 8, 0x90);
  ASSERT_EQ(limit.Violations().size(), 1u);
  EXPECT_EQ(limit.Violations()[0].rule, kRuleVppAboveLimit);

  SimBoard mode;
  const std::array<uint8_t, 2> allowed[] = {{4, 0x40}, {0, 14}, {4, 0x00}, {0, 14}};  // strobe high; same mode
  for (const auto& [reg, value] : allowed) Write(mode, reg, value);
  EXPECT_TRUE(mode.Violations().empty());
  Write(mode, 0, 1);
  ASSERT_EQ(mode.Violations().size(), 1u);
  EXPECT_EQ(mode.Violations()[0].rule, kRuleModeChangeWhileStrobeLow);
}

// The fault names both front ends take from their command lines, at their bounds.
TEST(FaultNames, EachNameSetsItsFaultAndAnythingOutOfRangeIsRefused) {
  ChipFaults chip;
  for (const char* name : {"empty-socket", "wrong-signature", "not-blank", "stuck-bit:0xFFFF:7:1", "dead-cell:0x10",
                           "weak:99999"}) {
    EXPECT_TRUE(ApplyChipFault(name, chip)) << name;
  }
  EXPECT_TRUE(chip.emptySocket && chip.wrongSignature && chip.notBlank);
  ASSERT_TRUE(chip.stuckBit && chip.deadCell);
  EXPECT_EQ(chip.stuckBit->address, 0xFFFFu);
  EXPECT_EQ(chip.stuckBit->bit, 7);
  EXPECT_TRUE(chip.stuckBit->level);
  EXPECT_EQ(*chip.deadCell, 0x10u);
  EXPECT_EQ(chip.neededPulses, 99999u);
  BoardFaults board;
  for (const char* name : {"no-board", "handshake-low", "broken-latch", "silent-after=12"}) {
    EXPECT_TRUE(ApplyBoardFault(name, board)) << name;
  }
  EXPECT_TRUE(board.noBoard && board.handshakeStuckLow && board.brokenDataLatch);
  EXPECT_EQ(board.silentAfterWrites, 12);

  for (const char* name : {"", "stuck-bit:0x10000:0:0", "stuck-bit:0:8:0", "stuck-bit:0:0:2", "stuck-bit:0:0",
                           "dead-cell:0x10000", "dead-cell:-1", "weak:0", "weak:100000", "weak:2:2", "weak:x"}) {
    ChipFaults untouched;
    EXPECT_FALSE(ApplyChipFault(name, untouched)) << name;
    EXPECT_FALSE(untouched.stuckBit || untouched.deadCell || untouched.neededPulses) << name;
  }
  for (const char* name : {"silent-after", "silent-after:-1", "silent:5", "silent-after:9223372036854775808"}) {
    BoardFaults untouched;
    EXPECT_FALSE(ApplyBoardFault(name, untouched)) << name;
  }
}

// Real time paces every stretch of work from its own start: after the board
// sat idle, a second of virtual time still takes a second, not nothing.
TEST(Realtime, EachStretchAfterAnIdleWindowTakesItsOwnTime) {
  SimBoard board(kBase);
  SimBoard::WallTime wall{};
  board.SetWallClock([&] { return wall; }, [&](SimBoard::WallTime until) { wall = std::max(wall, until); });
  board.SetWriteDurationNs(100'000);
  board.SetRealtime(true);
  for (const auto idle : {std::chrono::seconds(0), std::chrono::seconds(100)}) {
    wall += idle;
    const SimBoard::WallTime start = wall;
    for (int i = 0; i < 10'000; ++i) Write(board, 4, 0);  // one virtual second
    EXPECT_GE(wall - start, std::chrono::milliseconds(990));
    EXPECT_LE(wall - start, std::chrono::milliseconds(1000));
  }
}

}  // namespace
}  // namespace tav::sim
