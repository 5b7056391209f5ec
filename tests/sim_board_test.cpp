// The simulated board at port level: the handshake, the socket lines it
// derives from the registers, the read-back, the faults and the monitor.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>

#include "sim/pin_recorder_chip.h"
#include "sim/sim_board.h"

namespace tav::sim {
namespace {

constexpr uint16_t kBase = 0x378;

// A chip that drives a fixed byte whenever it is asked.
class DrivingChip : public SocketChip {
public:
  explicit DrivingChip(std::optional<uint8_t> value, bool edge = false, uint32_t maxVpp = 12000)
      : value_(value), edge_(edge), maxVpp_(maxVpp) {}
  void OnPins(const SocketPins&, uint64_t) override {}
  std::optional<uint8_t> DrivenData(const SocketPins&, uint64_t) override { return value_; }
  uint8_t Package() const override { return 20; }
  bool EdgeVariant() const override { return edge_; }
  uint32_t MaxVppMillivolts() const override { return maxVpp_; }
  std::string Name() const override { return "Testchip"; }

private:
  std::optional<uint8_t> value_;
  bool edge_;
  uint32_t maxVpp_;
};

// One complete register write at port level, as the link performs it.
void Write(SimBoard& board, uint8_t reg, uint8_t value) {
  board.Out(kBase, value);
  board.Out(kBase + 2, reg);
  board.Out(kBase + 2, reg | 1);
}

// Shifts supply then programming code into the converters and loads them.
void LoadConverters(SimBoard& board, uint8_t supply, uint8_t vpp, uint8_t lines = 0) {
  for (const uint8_t value : {supply, vpp}) {
    for (int bit = 7; bit >= 0; --bit) {
      const uint8_t data = ((value >> bit) & 1) ? 0x02 : 0x00;
      Write(board, 4, lines | data);
      Write(board, 4, lines | data | 0x01);
      Write(board, 4, lines | data);
    }
  }
  Write(board, 4, lines | 0x04);
  Write(board, 4, lines);
}

TEST(Handshake, RegisterNumberRaisesBitSevenAndTheStrobeLatchesTheDataPort) {
  SimBoard board;
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0);
  board.Out(kBase, 0x11);
  board.Out(kBase + 2, 10);
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0x80);
  board.Out(kBase, 0x5A);  // the data port is taken at the strobe, not before
  EXPECT_EQ(board.CompletedWrites(), 0u);
  board.Out(kBase + 2, 11);
  EXPECT_EQ(board.In(kBase + 1) & 0x80, 0);
  EXPECT_EQ(board.Register(10), 0x5A);
  EXPECT_EQ(board.CompletedWrites(), 1u);
  EXPECT_EQ(board.WritesOfRegister(10), 1u);

  // A held strobe writes nothing more; of two register numbers before one
  // strobe the later one is written.
  board.Out(kBase + 2, 11);
  board.Out(kBase + 2, 1);
  EXPECT_EQ(board.CompletedWrites(), 1u);
  board.Out(kBase + 2, 2);
  board.Out(kBase + 2, 6);
  board.Out(kBase + 2, 7);
  EXPECT_EQ(board.CompletedWrites(), 2u);
  EXPECT_EQ(board.WritesOfRegister(6), 1u);
  EXPECT_EQ(board.WritesOfRegister(2), 0u);

  // Other addresses are not the board: nothing to read, writes ignored.
  EXPECT_EQ(board.In(kBase), 0xFF);
  EXPECT_EQ(board.In(0x279), 0xFF);
  board.Out(0x27A, 10);
  board.Out(0x27A, 11);
  EXPECT_EQ(board.CompletedWrites(), 2u);
}

TEST(Handshake, TraceClockAndCountsCoverCompletedWritesOnly) {
  SimBoard board;
  std::ostringstream trace;
  board.SetTraceSink(&trace);
  board.SetWriteDurationNs(1000);
  Write(board, 10, 0x5F);
  Write(board, 4, 0xC3);
  board.Out(kBase + 2, 8);  // never strobed
  Write(board, 14, 0x80);
  EXPECT_EQ(trace.str(), "0A 5F\n04 C3\n0E 80\n");
  EXPECT_EQ(board.NowNs(), 3000u);
  EXPECT_EQ(board.WritesOfRegister(8), 0u);
  EXPECT_EQ(board.WritesOfRegister(4), 1u);
}

TEST(ReadBack, StatusShowsTheHalfSelectedByRegisterFourOrEight) {
  SimBoard board;
  Write(board, 10, 0xD3);
  Write(board, 4, 0);
  EXPECT_EQ(board.In(kBase + 1), 0x48 | 0x07);  // unused bits 0..2 float high
  Write(board, 8, 0);
  EXPECT_EQ(board.In(kBase + 1), 0x70 | 0x07);
  Write(board, 6, 0);  // other registers keep the selected half
  EXPECT_EQ(board.In(kBase + 1), 0x70 | 0x07);
  Write(board, 10, 0x2C);
  EXPECT_EQ(board.In(kBase + 1), 0x08 | 0x07);  // now bits 4..7 of 0x2C: 0x2 -> status bit 3
}

TEST(ReadBack, AChipCanOnlyPullReleasedLinesLow) {
  SimBoard board;
  EXPECT_EQ(board.DataLines(), 0x00);
  Write(board, 10, 0xA5);
  EXPECT_EQ(board.DataLines(), 0xA5);  // empty socket: the register itself
  board.InsertChip(std::make_shared<DrivingChip>(0x3C));
  EXPECT_EQ(board.DataLines(), 0x24);
  Write(board, 10, 0xFF);
  EXPECT_EQ(board.DataLines(), 0x3C);
  board.InsertChip(std::make_shared<DrivingChip>(std::nullopt));
  EXPECT_EQ(board.DataLines(), 0xFF);
  board.RemoveChip();
  EXPECT_EQ(board.DataLines(), 0xFF);
}

TEST(Socket, ConvertersShiftOnRisingClockAndTakeOverOnLoad) {
  SimBoard board;
  auto chip = std::make_shared<PinRecorderChip>(40);
  board.InsertChip(chip);
  LoadConverters(board, 0x64, 0x78);
  EXPECT_EQ(board.Pins().vccMillivolts, 5000u);
  EXPECT_EQ(board.Pins().vppMillivolts, 12000u);
  ASSERT_EQ(chip->Samples().size(), board.CompletedWrites());

  // A falling clock or a held clock shifts nothing; only the rising load counts.
  Write(board, 4, 0x03);
  Write(board, 4, 0x03);
  Write(board, 4, 0x02);
  Write(board, 4, 0x04);
  EXPECT_EQ(board.SupplyConverterCode(), 0xC8);  // 0x6478 shifted by one 1
  EXPECT_EQ(board.VppConverterCode(), 0xF1);
  Write(board, 4, 0x04);
  EXPECT_EQ(board.VppConverterCode(), 0xF1);
}

TEST(Socket, TwentyPinCounterResetsOnEnableAndStepsOnTheClock) {
  {
    SimBoard board;
    board.InsertChip(std::make_shared<DrivingChip>(std::nullopt, false));
    Write(board, 4, 0x80);
    for (int i = 0; i < 3; ++i) {
      Write(board, 6, 1);
      Write(board, 6, 0);
    }
    EXPECT_EQ(board.Pins().counter, 3u);
    Write(board, 4, 0x00);
    EXPECT_EQ(board.Pins().counter, 3u);  // only the rising enable resets
    Write(board, 4, 0x80);
    EXPECT_EQ(board.Pins().counter, 0u);
  }
  {
    // Edge variant: every level change steps, once the clock is back at rest
    // after a reset taken with the clock high.
    SimBoard board;
    board.InsertChip(std::make_shared<DrivingChip>(std::nullopt, true));
    Write(board, 4, 0x80);
    Write(board, 6, 1);
    Write(board, 6, 0);
    Write(board, 6, 1);
    EXPECT_EQ(board.Pins().counter, 3u);
    Write(board, 4, 0x00);
    Write(board, 4, 0x80);
    EXPECT_EQ(board.Pins().counter, 0u);
    Write(board, 6, 0);
    EXPECT_EQ(board.Pins().counter, 0u);
    Write(board, 6, 1);
    Write(board, 6, 0);
    EXPECT_EQ(board.Pins().counter, 2u);
  }
}

TEST(Monitor, EachRuleIsCaughtWhenProvoked) {
  {
    SimBoard board;
    board.SetWriteDurationNs(1000);
    Write(board, 10, 0);
    Write(board, 8, 0x10);
    ASSERT_EQ(board.Violations().size(), 1u);
    EXPECT_EQ(board.Violations()[0].rule, kRuleVppWithoutSupply);
    EXPECT_EQ(board.Violations()[0].writeIndex, 2u);
    EXPECT_EQ(board.Violations()[0].timeNs, 2000u);
    Write(board, 8, 0x10);  // a lasting state is one violation, not one per write
    EXPECT_EQ(board.Violations().size(), 1u);
  }
  {
    SimBoard board;
    Write(board, 8, 0x80);
    Write(board, 8, 0x90);
    EXPECT_TRUE(board.Violations().empty());
    Write(board, 8, 0x10);
    ASSERT_EQ(board.Violations().size(), 1u);
    EXPECT_EQ(board.Violations()[0].rule, kRuleSupplyOffUnderVpp);
  }
  {
    SimBoard board;
    board.InsertChip(std::make_shared<DrivingChip>(std::nullopt, false, 12500));
    LoadConverters(board, 100, 130);  // 13 V prepared while switched off: allowed
    Write(board, 8, 0x80);
    EXPECT_TRUE(board.Violations().empty());
    Write(board, 8, 0x90);
    ASSERT_EQ(board.Violations().size(), 1u);
    EXPECT_EQ(board.Violations()[0].rule, kRuleVppAboveLimit);
    // Raising the converter while switched on is caught as well.
    Write(board, 8, 0x80);
    LoadConverters(board, 100, 120);
    Write(board, 8, 0x90);
    EXPECT_EQ(board.Violations().size(), 1u);
    LoadConverters(board, 100, 126);
    ASSERT_EQ(board.Violations().size(), 2u);
    EXPECT_EQ(board.Violations()[1].rule, kRuleVppAboveLimit);
  }
  {
    SimBoard board;
    Write(board, 4, 0x40);
    Write(board, 0, 14);  // strobe high: allowed
    EXPECT_TRUE(board.Violations().empty());
    Write(board, 4, 0x00);
    Write(board, 0, 14);  // same mode again: no change
    EXPECT_TRUE(board.Violations().empty());
    Write(board, 0, 1);
    ASSERT_EQ(board.Violations().size(), 1u);
    EXPECT_EQ(board.Violations()[0].rule, kRuleModeChangeWhileStrobeLow);
  }
}

}  // namespace
}  // namespace tav::sim
