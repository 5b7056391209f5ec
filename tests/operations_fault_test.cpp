// SPDX-License-Identifier: GPL-2.0-or-later
// Board faults mid-operation (cable pulled, one missed transaction) at points
// spread over every operation: one timeout message, no success, no stale
// file, a safe power-down; and programming errors answered with "go on".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sample_library.h"
#include "tests/scratch_directory.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

using ::testing::AllOf;
using ::testing::AnyOfArray;
using ::testing::Contains;
using ::testing::Each;
using ::testing::Not;

// The simulated board, counting the status reads of the handshake waits.
struct CountingBoard : sim::SimBoard {
  uint8_t In(uint16_t address) override {
    ++reads;
    return SimBoard::In(address);
  }
  uint64_t reads = 0;
};

// The chip of a verify holds what a clean run expects.
struct FaultRig : test::BoardRig<CountingBoard> {
  FaultRig(const DeviceRecord& d, const std::string& file, int (*run)(OperationContext&) = nullptr) : BoardRig(d) {
    chip = sim::MakeChip(device, settings.TimeBaseKorr, {});
    board.InsertChip(chip);
    settings.Lock1 = settings.Lock2 = settings.Lock3 = 1;
    settings.Verify = settings.FFSave = settings.DataFormat = 1;
    settings.ProgramFilePath = file;
    LoadImage({0x5A, 0x00, 0x12, 0xFF, 0x34});
    if (run == VerifyDevice) std::copy_n(image.Bytes.begin(), 5, chip->Memory().begin());
  }
  std::shared_ptr<sim::SimulatedChip> chip;
};

struct Operation { const char* name; int (*run)(OperationContext&); };

constexpr Operation kOperations[] = {
    {"blank check", BlankCheck}, {"read", ReadDevice},     {"verify", VerifyDevice},
    {"erase", EraseDevice},      {"program", RunProgramSequence},
};

const char* const kSuccessTexts[] = {"\nController ist gelöscht !\n", "Keine Fehler beim Prüfen",
                                     "Baustein ist gelöscht !", "\nProzessor-Programm gespeichert \n"};

// Register writes of a clean run, without its last power-down (a fault
// there comes after the closing message).
uint64_t WritesBeforeLastPowerDown(const DeviceRecord& device, const Operation& op, const std::string& file,
                                   int locks = 1) {
  FaultRig clean(device, file, op.run);
  clean.settings.Lock1 = clean.settings.Lock2 = clean.settings.Lock3 = locks;
  clean.feedback.QueueAnswer(kOk);
  EXPECT_EQ(op.run(clean.ctx), kSuccess) << op.name << " fails on a clean board";
  const uint64_t total = clean.board.CompletedWrites();
  clean.link.PowerDown();
  return total - (clean.board.CompletedWrites() - total);
}

// At about 12 points of every operation the board falls silent or misses
// one transaction. A silent board costs one full wait for the write that
// found it gone; everything after it together costs less than another. A
// missed transaction ends the operation and powers down in order.
TEST(BoardFaults, SilentBoardOrMissedTransactionEndEveryOperationAfterOneTimeout) {
  test::ScratchDirectory dir("tav_faults");
  const std::string file = dir.Slash() + "read.bin";
  for (const bool silent : {true, false}) {
    for (const char* name : {"AT89C51", "AT89C2051", "87C51"}) {
      const DeviceRecord device = test::LibraryDevice(name);
      for (const Operation& op : kOperations) {
        if (op.run == EraseDevice && device.EraseTime == 0) continue;
        const uint64_t writes = WritesBeforeLastPowerDown(device, op, file);
        for (uint64_t at = 1; at < writes; at += writes / 12 + 1) {
          SCOPED_TRACE(std::string(name) + " " + op.name + (silent ? " silent" : " missed") + " at " + std::to_string(at));
          std::filesystem::remove(file);
          FaultRig rig(device, file, op.run);
          rig.feedback.QueueAnswer(kOk);
          (silent ? rig.board.Faults().silentAfterWrites : rig.board.Faults().missedWrite) = static_cast<int64_t>(at);
          EXPECT_NE(op.run(rig.ctx), kSuccess);
          EXPECT_THAT(rig.feedback.Texts(),
                      AllOf(Contains(kTimeoutMessage).Times(1), Each(Not(AnyOfArray(kSuccessTexts)))));
          EXPECT_FALSE(std::filesystem::exists(file)) << "stale bytes saved";
          if (silent) {
            EXPECT_LT(rig.board.reads - rig.board.CompletedWrites() * 2, 2 * uint64_t{rig.settings.TimeOut});
            EXPECT_LE(rig.feedback.messages.size(), 3u);  // prompt, timeout, perhaps the timer message
            continue;
          }
          EXPECT_TRUE(rig.board.SocketAtRest());
          for (const auto& v : rig.board.Violations()) ADD_FAILURE() << v.rule;
          EXPECT_FALSE(rig.chip->Damaged());
        }
      }
    }
  }
}

// A failed pulse of an EPROM lock bit has powered the socket down: the next
// bit must not switch the programming voltage on, nor may the strobe still
// be active while the modes change on the way down.
TEST(BoardFaults, FailedEpromLockPulseStopsTheLockBitsWithTheStrobeAtRest) {
  test::ScratchDirectory dir("tav_faults");
  const DeviceRecord device = test::LibraryDevice("87C51");
  // Without lock bits the closing power-down follows where the lock bits begin.
  const uint64_t lockStart =
      WritesBeforeLastPowerDown(device, {"program", RunProgramSequence}, dir.Slash() + "x.bin", 0);
  int failures = 0;
  for (uint64_t at = lockStart; at < lockStart + 400; at += 7) {
    SCOPED_TRACE("missed write " + std::to_string(at));
    FaultRig rig(device, dir.Slash() + "x.bin");
    rig.board.Faults().missedWrite = static_cast<int64_t>(at);
    const int result = RunProgramSequence(rig.ctx);
    failures += result == kTimerFailed;
    EXPECT_NE(result, kSuccess);
    EXPECT_THAT(rig.feedback.Texts(), Not(Contains("Keine Fehler beim Prüfen")));
    for (const auto& v : rig.board.Violations()) ADD_FAILURE() << v.rule;
    EXPECT_TRUE(rig.board.SocketAtRest());
  }
  EXPECT_GT(failures, 0) << "no point hit a lock pulse";
}

// With verify off, a programming error answered "go on" must not end in
// "Keine Fehler beim Prüfen" with result 0.
TEST(PassedOverErrors, TheClosingMessageCountsThemAndTheResultIsNotZero) {
  sim::ChipFaults faults;
  faults.deadCell = 5;
  test::SimRig rig(test::LibraryDevice("AT89C51"), faults);
  rig.settings.Verify = 0;
  rig.LoadImage({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  for (const Answer a : {kOk, kRetry}) rig.feedback.QueueAnswer(a);
  EXPECT_EQ(rig.Run(RunProgramSequence), kOperationFailed);
  EXPECT_EQ(rig.feedback.LastText(), "Programmierung beendet mit 1 übergangenen Programmierfehler !");
  EXPECT_EQ(rig.chip->Memory()[6], 7);  // went on after the error
  rig.ExpectNoElectricalFault();
}

}  // namespace
}  // namespace tav
