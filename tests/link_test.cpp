// SPDX-License-Identifier: GPL-2.0-or-later
// The register transaction, the read-back and the board detection, against a
// scripted port and the simulated board with its faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "link/calibration.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

// A port that gives the awaited handshake level on the `answerAt`-th read of
// each wait and then shows a chosen status for each register; it records
// every port access in order, "O378:5A" for an output, "I379:80" for an input.
class ScriptedPort : public PortIo {
public:
  void Out(uint16_t address, uint8_t value) override {
    Note('O', address, value);
    if (address == 0x37A) control = value, waitReads = 0;
  }
  uint8_t In(uint16_t address) override {
    const bool answered = ++waitReads >= answerAt;
    uint8_t status = answered ? 0x80 : 0x00;  // before the strobe the board answers with 1
    if (control & 1) status = answered ? statusAfter[(control >> 1) & 7] : 0x80;
    Note('I', address, status);
    return status;
  }
  void Note(char way, uint16_t address, uint8_t value) {
    char entry[16];
    std::snprintf(entry, sizeof entry, "%c%X:%02X ", way, unsigned(address), unsigned(value));
    log += entry;
  }
  int answerAt = 1, waitReads = 0;
  uint8_t control = 0, statusAfter[8] = {};
  std::string log;
};

template <class Board>
struct Rig : test::BoardRig<Board> {
  Rig() : test::BoardRig<Board>(DeviceRecord{}) { this->settings.TimeOut = 50; }  // the loader would clamp this
};

std::vector<std::string> Timeouts(int count) { return std::vector<std::string>(size_t(count), kTimeoutMessage); }

TEST(Transaction, PortAccessesFollowTheProtocolAndTheReadBackMapsStatusBitsToDataBits) {
  Rig<ScriptedPort> rig;
  rig.board.statusAfter[5] = 0x28;  // after register 10
  EXPECT_EQ(rig.link.WriteRegister(10, 0x5A), 0);
  EXPECT_EQ(rig.board.log, "O378:5A O37A:0A I379:80 O37A:0B I379:28 ");
  EXPECT_EQ(std::tuple(rig.link.ControlCopy, rig.link.LastStatus), std::tuple(11, 0x28));  // the strobe stays set
  // The read-back rewrites the latches with their copies: the low half comes
  // after register 4, the high half after register 8.
  rig.link.LineLatch = 0xC2, rig.link.SupplyLatch = 0x81;
  rig.board.statusAfter[2] = 0x48, rig.board.statusAfter[4] = 0x70, rig.board.log.clear();
  EXPECT_EQ(rig.link.ReadDataByte(), 0xD3);
  EXPECT_EQ(rig.board.log, "O378:C2 O37A:04 I379:80 O37A:05 I379:48 O378:81 O37A:08 I379:80 O37A:09 I379:70 ");
  // One status bit at a time, through both halves; bits 0 to 2 never count
  // (bit 7 cannot end the wait at 1).
  for (const auto& [status, data] : {std::pair(0x40, 0x11), {0x08, 0x22}, {0x10, 0x44}, {0x20, 0x88}, {0x07, 0x00}}) {
    rig.board.statusAfter[2] = rig.board.statusAfter[4] = uint8_t(status);
    EXPECT_EQ(rig.link.ReadDataByte(), data) << status;
  }
}

// The counter is tested before the bit, so an answer on the last permitted
// read is already too late; the failed first wait is followed by no strobe.
// A board lost in one operation is forgotten when the next begins: its first
// failed write shows the message again instead of ending it silently.
TEST(Timeout, EachWaitReadsAtMostTimeoutCountTimesAndEachOperationReportsItsOwnLostBoardOnce) {
  for (const auto& [answerAt, result, reads] : {std::tuple(49, 0, 98), std::tuple(50, kHandshakeTimeout, 50)}) {
    Rig<ScriptedPort> rig;
    rig.settings.MessageBeap = 1;
    rig.board.answerAt = answerAt;
    EXPECT_EQ((std::tuple{rig.link.WriteRegister(4, 0), std::ranges::count(rig.board.log, 'I'), rig.feedback.Texts(),
                          rig.feedback.beeps}), std::tuple(result, reads, Timeouts(result ? 1 : 0), result ? 1 : 0));
    for (int operation = 2; result && operation <= 3; ++operation) {
      rig.link.BeginOperation();
      EXPECT_EQ((std::tuple{rig.link.BoardLost(), rig.link.WriteRegister(4, 0), rig.link.WriteRegister(4, 0),
                            rig.link.BoardLost(), rig.feedback.Texts()}),
                std::tuple(false, kHandshakeTimeout, kHandshakeTimeout, true, Timeouts(operation)));
    }
  }
}

TEST(Detection, HealthyBoardPassesLeavingTheDataRegisterAtZero) {
  Rig<sim::SimBoard> rig;
  std::ostringstream boardTrace;
  rig.board.SetTraceSink(&boardTrace);
  rig.link.ModeLatch = 0x0E, rig.link.LineLatch = 0xC0, rig.link.SupplyLatch = 0x80;
  EXPECT_EQ(rig.link.DetectProgrammer(), 0);
  EXPECT_TRUE(rig.feedback.messages.empty());
  // The latch copies are cleared first: the read-backs rewrite them as 0.
  EXPECT_EQ(boardTrace.str(),
            "0C 80\n0E 80\n06 00\n02 00\n00 00\n08 00\n04 00\n0A 00\n04 00\n08 00\n0A AA\n0A AA\n04 00\n08 00\n"
            "0A 55\n04 00\n08 00\n0A 00\n");
}

// The results as a caller sees them: 10 for a timeout, 8 for a failed latch
// test; the timeout message is the only one shown.
TEST(Detection, EveryFaultyBoardGivesItsResult) {
  const struct { const char* name; sim::BoardFaults faults; int result; bool timeoutShown; } cases[] = {
      {"no board", {.noBoard = true}, 10, true}, {"bit 7 stuck at 0", {.handshakeStuckLow = true}, 8, true},
      {"broken latch", {.brokenDataLatch = true}, 8, false}, {"silent at once", {.silentAfterWrites = 0}, 10, true},
      {"silent after the initial state", {.silentAfterWrites = 8}, 8, true},
      {"status bit 6 at 1", {.stuckStatusBit = 6, .stuckStatusLevel = true}, 8, false},
      {"status bit 3 at 0", {.stuckStatusBit = 3}, 8, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig<sim::SimBoard> rig;
    rig.board.Faults() = c.faults;
    EXPECT_EQ(rig.link.DetectProgrammer(), c.result);
    const std::vector<std::string> texts = rig.feedback.Texts();
    EXPECT_EQ(std::tuple(texts.empty(), std::ranges::count(texts, kTimeoutMessage)),
              std::tuple(!c.timeoutShown, std::ssize(texts)));
  }
}

// The board's own clock times the writes: the suggested TimeBaseKorr is the
// rounded duration, held within 1..100, and the timing line ends low. A
// board that falls silent half-way, with the timing line high, gives the
// write's result and nothing measured; the line's copy still ends low.
TEST(Calibration, MeasuresOneWriteAndHoldsTheSuggestionInRange) {
  const struct { uint64_t writeNs; int32_t korr; bool clamped; int64_t silentAfter = -1; } table[] = {
      {50'000, 50, false}, {1'400, 1, false}, {400, 1, true}, {300'000, 100, true}, {1'000, 0, false, 1001}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.writeNs);
    Rig<sim::SimBoard> rig;
    rig.board.SetWriteDurationNs(row.writeNs);
    rig.board.Faults().silentAfterWrites = row.silentAfter;
    WriteTiming t;
    EXPECT_EQ(MeasureWriteTiming(rig.link, [&] { return rig.board.NowNs(); }, t), row.korr ? 0 : kHandshakeTimeout);
    const int writes = row.korr ? kCalibrationWrites : 0;
    EXPECT_EQ(std::tuple(t.Writes, t.TimeBaseKorr, t.Clamped, t.ElapsedNs, rig.link.LineLatch & kLineTiming),
              std::tuple(writes, row.korr, row.clamped, row.writeNs * writes, 0));
    EXPECT_TRUE(row.korr == 0 || (rig.board.Register(kRegLines) & kLineTiming) == 0);
  }
}

}  // namespace
}  // namespace tav
