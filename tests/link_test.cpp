// The register transaction, the read-back and the board detection, against
// scripted ports and the simulated board with its faults.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "app/scripted_feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "settings/settings.h"
#include "sim/sim_board.h"

namespace tav {
namespace {

// A port that completes every handshake at once and then shows a chosen
// status for each register; it records every port access in order.
class ScriptedPort : public PortIo {
public:
  struct Access {
    bool out;
    uint16_t address;
    uint8_t value;
  };

  void Out(uint16_t address, uint8_t value) override {
    log.push_back({true, address, value});
    if (address == 0x37A) control = value;
  }
  uint8_t In(uint16_t address) override {
    ++reads;
    const uint8_t status = (control & 1) ? statusAfter[(control >> 1) & 7] : 0x80;
    log.push_back({false, address, status});
    return status;
  }

  uint8_t control = 0;
  uint8_t statusAfter[8] = {};
  std::vector<Access> log;
  int reads = 0;
};

// A port whose status bit 7 follows a script of reads: `answerAt` is the
// 1-based read on which the board first shows the awaited level.
class SlowPort : public PortIo {
public:
  explicit SlowPort(int answerAt) : answerAt_(answerAt) {}
  void Out(uint16_t address, uint8_t value) override {
    if (address == 0x37A) {
      strobe_ = value & 1;
      reads_ = 0;
    }
  }
  uint8_t In(uint16_t) override {
    ++reads_;
    ++totalReads;
    const bool answered = reads_ >= answerAt_;
    // Before the strobe the board answers with 1, after it with 0.
    return (answered != strobe_) ? 0x80 : 0x00;
  }
  int totalReads = 0;

private:
  int answerAt_;
  int reads_ = 0;
  bool strobe_ = false;
};

struct Rig {
  explicit Rig(PortIo& io) : link(io, settings, device, feedback) {
    settings.TimeOut = 50;  // the loader would clamp this; small keeps failures fast
  }
  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{settings.MessageBeap};
  ProgrammerLink link;
};

int TimeoutMessages(const ScriptedFeedback& feedback) {
  int count = 0;
  for (const auto& m : feedback.messages) count += m.text == kTimeoutMessage;
  return count;
}

TEST(ReadBack, StatusBitsMapToDataBitsByTheTable) {
  ScriptedPort port;
  Rig rig(port);
  port.statusAfter[2] = 0x48;  // after register 4
  port.statusAfter[4] = 0x70;  // after register 8
  EXPECT_EQ(rig.link.ReadDataByte(), 0xD3);

  // One status bit at a time, through each half.
  const struct {
    uint8_t status, low, high;
  } table[] = {{0x40, 0x01, 0x10}, {0x08, 0x02, 0x20}, {0x10, 0x04, 0x40}, {0x20, 0x08, 0x80}};
  for (const auto& row : table) {
    port.statusAfter[2] = row.status;
    port.statusAfter[4] = 0;
    EXPECT_EQ(rig.link.ReadDataByte(), row.low) << int(row.status);
    port.statusAfter[2] = 0;
    port.statusAfter[4] = row.status;
    EXPECT_EQ(rig.link.ReadDataByte(), row.high) << int(row.status);
  }

  // Bits 0 to 2 never reach the data byte (bit 7 cannot end the wait at 1).
  port.statusAfter[2] = 0x07;
  port.statusAfter[4] = 0x07;
  EXPECT_EQ(rig.link.ReadDataByte(), 0x00);
}

TEST(WriteRegister, PortAccessesFollowTheTransaction) {
  ScriptedPort port;
  Rig rig(port);
  port.statusAfter[5] = 0x28;
  EXPECT_EQ(rig.link.WriteRegister(10, 0x5A), 0);
  ASSERT_EQ(port.log.size(), 5u);
  EXPECT_TRUE(port.log[0].out && port.log[0].address == 0x378 && port.log[0].value == 0x5A);
  EXPECT_TRUE(port.log[1].out && port.log[1].address == 0x37A && port.log[1].value == 10);
  EXPECT_TRUE(!port.log[2].out && port.log[2].address == 0x379);
  EXPECT_TRUE(port.log[3].out && port.log[3].address == 0x37A && port.log[3].value == 11);
  EXPECT_TRUE(!port.log[4].out && port.log[4].address == 0x379);
  EXPECT_EQ(rig.link.ControlCopy, 11);  // the strobe stays set until the next write
  EXPECT_EQ(rig.link.LastStatus, 0x28);
  EXPECT_TRUE(rig.feedback.messages.empty());
}

TEST(WriteRegister, EachWaitReadsAtMostTimeoutCountTimes) {
  // The counter is tested before the bit, so an answer on the last
  // permitted read is already too late.
  {
    SlowPort port(49);
    Rig rig(port);
    EXPECT_EQ(rig.link.WriteRegister(4, 0), 0);
    EXPECT_EQ(port.totalReads, 98);
    EXPECT_TRUE(rig.feedback.messages.empty());
  }
  {
    SlowPort port(50);
    Rig rig(port);
    EXPECT_EQ(rig.link.WriteRegister(4, 0), kHandshakeTimeout);
    EXPECT_EQ(port.totalReads, 50);  // the first wait gave up; no strobe followed
    ASSERT_EQ(rig.feedback.messages.size(), 1u);
    EXPECT_EQ(rig.feedback.messages[0].text, kTimeoutMessage);
    EXPECT_EQ(rig.feedback.messages[0].kind, MessageKind::Info);
    EXPECT_TRUE(rig.feedback.messages[0].beeped);
  }
}

TEST(WriteRegister, EveryFailedWriteShowsTheMessageAgainWithoutRetrying) {
  sim::SimBoard board;
  board.Faults().handshakeStuckLow = true;
  Rig rig(board);
  rig.settings.MessageBeap = 0;
  EXPECT_EQ(rig.link.WriteRegister(0, 1), kHandshakeTimeout);
  EXPECT_EQ(rig.link.WriteRegister(2, 1), kHandshakeTimeout);
  EXPECT_EQ(TimeoutMessages(rig.feedback), 2);
  EXPECT_FALSE(rig.feedback.messages[0].beeped);
  EXPECT_EQ(rig.link.WriteCount(), 2u);
}

TEST(ReadBack, AfterAFailedWriteDecodesThePreviousStatus) {
  sim::SimBoard board;
  Rig rig(board);
  ASSERT_EQ(rig.link.WriteRegister(10, 0x3C), 0);
  EXPECT_EQ(rig.link.ReadDataByte(), 0x3C);
  const uint8_t status = rig.link.LastStatus;  // from register 8: the high half, 0x3
  board.Faults().silentAfterWrites = static_cast<int64_t>(board.CompletedWrites());
  EXPECT_EQ(rig.link.ReadDataByte(), 0x33);
  EXPECT_EQ(rig.link.LastStatus, status);
  EXPECT_EQ(TimeoutMessages(rig.feedback), 2);
}

TEST(ReadBack, RewritesTheLatchesWithTheirCopies) {
  sim::SimBoard board;
  std::ostringstream trace;
  board.SetTraceSink(&trace);
  Rig rig(board);
  rig.link.LineLatch = 0xC2;
  rig.link.SupplyLatch = 0x90;
  rig.link.ReadDataByte();
  EXPECT_EQ(trace.str(), "04 C2\n08 90\n");
}

TEST(Detection, HealthyBoardPassesAndLeavesTheDataRegisterAtZero) {
  sim::SimBoard board;
  std::ostringstream trace;
  board.SetTraceSink(&trace);
  Rig rig(board);
  rig.link.ModeLatch = 0x0E;
  rig.link.LineLatch = 0xC0;
  rig.link.SupplyLatch = 0x80;
  EXPECT_EQ(rig.link.DetectProgrammer(), 0);
  EXPECT_TRUE(rig.feedback.messages.empty());
  EXPECT_EQ(rig.link.ModeLatch | rig.link.LineLatch | rig.link.SupplyLatch, 0);
  EXPECT_EQ(trace.str(),
            "0C 80\n0E 80\n06 00\n02 00\n00 00\n08 00\n04 00\n0A 00\n04 00\n08 00\n0A AA\n0A AA\n04 00\n08 00\n"
            "0A 55\n04 00\n08 00\n0A 00\n");
}

TEST(Detection, EveryFaultyBoardGivesItsResult) {
  struct Case {
    const char* name;
    void (*fault)(sim::BoardFaults&);
    int result;
    bool timeoutShown;
  };
  const Case cases[] = {
      {"no board", [](sim::BoardFaults& f) { f.noBoard = true; }, kHandshakeTimeout, true},
      {"bit 7 stuck at 0", [](sim::BoardFaults& f) { f.handshakeStuckLow = true; }, kLatchTestFailed, true},
      {"broken latch", [](sim::BoardFaults& f) { f.brokenDataLatch = true; }, kLatchTestFailed, false},
      {"silent from the start", [](sim::BoardFaults& f) { f.silentAfterWrites = 0; }, kHandshakeTimeout, true},
      {"silent after register 12", [](sim::BoardFaults& f) { f.silentAfterWrites = 1; }, kLatchTestFailed, true},
      {"silent after the initial state",
       [](sim::BoardFaults& f) { f.silentAfterWrites = 8; }, kLatchTestFailed, true},
      {"status bit 6 stuck at 1",
       [](sim::BoardFaults& f) {
         f.stuckStatusBit = 6;
         f.stuckStatusLevel = true;
       },
       kLatchTestFailed, false},
      {"status bit 3 stuck at 0",
       [](sim::BoardFaults& f) {
         f.stuckStatusBit = 3;
         f.stuckStatusLevel = false;
       },
       kLatchTestFailed, false},
      {"unused status bit 1 stuck at 0",
       [](sim::BoardFaults& f) {
         f.stuckStatusBit = 1;
         f.stuckStatusLevel = false;
       },
       0, false},
  };
  for (const auto& c : cases) {
    sim::SimBoard board;
    c.fault(board.Faults());
    Rig rig(board);
    EXPECT_EQ(rig.link.DetectProgrammer(), c.result) << c.name;
    EXPECT_EQ(TimeoutMessages(rig.feedback) > 0, c.timeoutShown) << c.name;
    EXPECT_EQ(TimeoutMessages(rig.feedback), static_cast<int>(rig.feedback.messages.size())) << c.name;
  }
}

TEST(Detection, NoBoardTimesOutAfterTimeoutCountReadsWithOneMessage) {
  SlowPort port(1000000);  // never answers
  Rig rig(port);
  rig.settings.TimeOut = 77;
  EXPECT_EQ(rig.link.DetectProgrammer(), kHandshakeTimeout);
  EXPECT_EQ(port.totalReads, 77);
  EXPECT_EQ(TimeoutMessages(rig.feedback), 1);
  EXPECT_EQ(rig.link.WriteCount(), 0u);
}

TEST(Detection, ChangingPortAdressMovesAllThreePorts) {
  sim::SimBoard board(0x278);
  Rig rig(board);
  EXPECT_EQ(rig.link.DetectProgrammer(), kHandshakeTimeout);  // still looking at 0x378
  rig.feedback.Clear();
  rig.settings.SetPortAdress(0x278);
  EXPECT_EQ(rig.link.DetectProgrammer(), 0);
  EXPECT_TRUE(rig.feedback.messages.empty());
  EXPECT_EQ(board.WritesOfRegister(12), 1u);
}

TEST(Detection, ZeroTimeoutDoesNotWrapIntoAnEndlessWait) {
  SlowPort port(1000000);
  Rig rig(port);
  rig.settings.TimeOut = 0;
  EXPECT_EQ(rig.link.DetectProgrammer(), kHandshakeTimeout);
  EXPECT_EQ(port.totalReads, 1);
}

}  // namespace
}  // namespace tav
