// Erase, burn, compare and lock-bit sequences on the recording test board:
// the register-level details the end-to-end runs cannot see.
#include <gtest/gtest.h>

#include <algorithm>

#include "operations/operations.h"
#include "operations_test_board.h"

namespace tav::testing {
namespace {

std::vector<uint8_t> WritesTo(const TestBoard& board, uint8_t reg, size_t from = 0) {
  std::vector<uint8_t> values;
  for (size_t i = from; i < board.writes.size(); ++i) {
    if (board.writes[i].reg == reg) values.push_back(board.writes[i].value);
  }
  return values;
}

size_t CountIf(const std::vector<uint8_t>& values, uint8_t mask) {
  return static_cast<size_t>(std::count_if(values.begin(), values.end(), [mask](uint8_t v) { return (v & mask) != 0; }));
}

TEST(Erase, KVpPartsNeverSwitchTheProgrammingVoltageInTheCycle) {
  Rig rig(SmallFlash40());
  rig.device.KVp = true;
  rig.link.PowerUp();
  const size_t from = rig.board.writes.size();
  EXPECT_EQ(EraseCycle(rig.ctx), 0);
  EXPECT_TRUE(WritesTo(rig.board, 8, from).empty());
  EXPECT_EQ(rig.board.erasePulses, 1u);
}

TEST(Erase, RaisedVoltageEraseUses130InBothRoundsAndRestoresTheDevice) {
  Rig rig(SmallFlash40());
  rig.device.Vcc65 = true;
  rig.device.EraseTime = 30;
  std::fill(rig.board.memory.begin(), rig.board.memory.end(), 0x00);
  EXPECT_EQ(EraseDevice(rig.ctx), 0);
  EXPECT_EQ(rig.device.VccProgCode, 100);
  EXPECT_EQ(rig.board.erasePulses, 2u);
  EXPECT_EQ(rig.board.memory[0], 0xFF);
  EXPECT_EQ(rig.feedback.TotalPumps(), 60u);  // one step per timing pulse, 2 × 30
  EXPECT_EQ(rig.feedback.statuses, (std::vector<std::string>{"Lösche Controller", "Lösche Baustein"}));
  // Each round's power-up loads 130 together with the programming voltage.
  size_t raisedPowerUps = 0;
  for (const auto& loaded : rig.board.loadedVoltages) raisedPowerUps += loaded == std::pair<uint8_t, uint8_t>{130, 120};
  EXPECT_EQ(raisedPowerUps, 2u);
  EXPECT_EQ(rig.feedback.LastText(), "Baustein ist gelöscht !");
  EXPECT_TRUE(rig.board.SocketAtRest());
}

TEST(Erase, TwentyPinCycleResetsTheCounterBeforeAddressing) {
  Rig rig(SmallFlash20());
  rig.link.PowerUp();
  rig.board.counter = 7;
  const size_t from = rig.board.writes.size();
  EXPECT_EQ(EraseCycle(rig.ctx), 0);
  EXPECT_EQ(rig.board.counter, 0u);
  // The enable line drops (counter reset) before the first address write.
  size_t firstEnableDrop = 0, firstAddress = 0;
  for (size_t i = from; i < rig.board.writes.size(); ++i) {
    const auto& w = rig.board.writes[i];
    if (!firstEnableDrop && w.reg == 4 && !(w.value & 0x80)) firstEnableDrop = i;
    if (!firstAddress && w.reg == 6) firstAddress = i;
  }
  EXPECT_LT(firstEnableDrop, firstAddress);
}

TEST(ProgramDevice, EpromWithoutPulsesPutsDataAndVoltageButNoStrobe) {
  Rig rig(SmallEprom40());
  rig.device.ProgPulseCount = 0;
  rig.LoadImage({{0, 0x12}});
  rig.link.PowerUp();
  const size_t from = rig.board.writes.size();
  EXPECT_EQ(BurnEprom40(rig.ctx), 0);
  const auto lines = WritesTo(rig.board, 4, from);
  EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [](uint8_t v) { return (v & 0x40) != 0; }));
  EXPECT_EQ(WritesTo(rig.board, 10, from), std::vector<uint8_t>{0x12});
  EXPECT_NE(rig.board.regs[8] & 0x10, 0);
  EXPECT_EQ(rig.board.memory[0], 0xFF);
}

TEST(ProgramDevice, EmptyImageWalksTheRangeAndStepsTheCounterForEveryCell) {
  Rig rig(SmallFlash20());
  rig.device.EraseTime = 0;  // the 20-pin EPROM algorithm
  rig.LoadImage({{99, 0xFF}});
  EXPECT_EQ(ProgramDevice(rig.ctx), 0);
  EXPECT_EQ(rig.board.counter, 100u);
  EXPECT_TRUE(std::all_of(rig.board.memory.begin(), rig.board.memory.end(), [](uint8_t v) { return v == 0xFF; }));
}

TEST(ProgramDevice, P33HighWritesWithTheExtraBitAndReadsWithout) {
  Rig rig(SmallFlash40());
  rig.device.P33High = true;
  rig.LoadImage({{3, 0x42}});
  rig.settings.Verify = 0;
  EXPECT_EQ(RunProgramSequence(rig.ctx), 0);
  EXPECT_EQ(rig.board.memory[3], 0x42);
  const auto high = WritesTo(rig.board, 2);
  EXPECT_GT(CountIf(high, 0x80), 0u);
  // Every code read saw the plain address.
  ASSERT_FALSE(rig.board.reads.empty());
  EXPECT_EQ(rig.board.reads.back(), (std::pair<uint8_t, uint32_t>{12, 3}));
}

// A 40-pin flash burn of k correct bytes up to address H, KVp off:
//   BurnFlash = SetAddress 5 + (H + 1) × SetAddress 5
//             + k × (SetMode 3 + data 4 + Vpp on 4 + strobe 8 + Vpp off 4 + SetMode 3 + data 4 + poll 2 + read 2)
// EraseCycle = SetAddress 5 + data 4 + SetMode 3 + Vpp on 4 + strobe low 4 + 2 × EraseTime + strobe high 4
//            + Vpp off 4 + TP(5)
TEST(ProgramDevice, FlashBurnCostsWhatTheSequenceImplies) {
  Rig rig(SmallFlash40());
  rig.settings.Verify = 0;
  rig.settings.IDCheck = 0;
  rig.LoadImage({{0, 0x11}, {5, 0x22}, {9, 0x33}});
  rig.link.PowerUp();
  const uint64_t before = rig.link.WriteCount();
  EXPECT_EQ(EraseCycle(rig.ctx), 0);
  const uint64_t erase = rig.link.WriteCount() - before;
  EXPECT_EQ(erase, 5 + 4 + 3 + 4 + 4 + 2 * 20 + 4 + 4 + (5000 / 85 + 1));
  EXPECT_EQ(BurnFlash(rig.ctx), 0);
  EXPECT_EQ(rig.link.WriteCount() - before - erase, 5 + 10 * 5 + 3 * (3 + 4 + 4 + 8 + 4 + 3 + 4 + 2 + 2));
}

TEST(CompareWithImage, RetryCountsEveryDifferenceAndCancelStopsAtOnce) {
  Rig rig(SmallFlash40());
  rig.LoadImage({{0, 1}, {1, 2}, {2, 3}, {3, 0xFF}});
  EXPECT_EQ(VerifyDevice(rig.ctx), 6);  // blank chip: three differences, all answered Retry
  const auto texts = rig.feedback.Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1], "Fehler an Adresse 0 (0x0) !\nRichtig: 0x01\nGelesen: 0xFF\n");
  EXPECT_EQ(texts[3], "Fehler an Adresse 2 (0x2) !\nRichtig: 0x03\nGelesen: 0xFF\n");

  Rig cancel(SmallFlash40());
  cancel.LoadImage({{0, 1}, {1, 2}});
  cancel.feedback.QueueAnswer(kOk);
  cancel.feedback.QueueAnswer(kCancel);
  EXPECT_EQ(VerifyDevice(cancel.ctx), 6);
  EXPECT_EQ(cancel.feedback.Texts().size(), 2u);
  EXPECT_TRUE(cancel.board.SocketAtRest());
}

TEST(CompareWithImage, HighestAddressZeroComparesOneCellOnly) {
  Rig rig(SmallFlash40());
  rig.settings.IDCheck = 0;
  rig.board.memory[1] = 0x00;  // beyond the range: never read
  rig.LoadImage({{0, 0xFF}});
  EXPECT_EQ(VerifyDevice(rig.ctx), 0);
  EXPECT_EQ(rig.board.reads, (std::vector<std::pair<uint8_t, uint32_t>>{{12, 0}}));
}

TEST(BlankCheck, SingleCellAndTwoProgrammedCellsAnsweredRetry) {
  Rig one(SmallFlash40());
  one.device.SizeBytes = 1;
  one.settings.IDCheck = 0;
  EXPECT_EQ(BlankCheck(one.ctx), 0);
  EXPECT_EQ(one.board.reads.size(), 1u);
  EXPECT_EQ(one.feedback.LastText(), "\nController ist gelöscht !\n");
  Rig two(SmallFlash40());
  two.board.memory[0] = 0x00;
  two.board.memory[0x3FF] = 0x7E;
  EXPECT_EQ(BlankCheck(two.ctx), 4);
  EXPECT_EQ(two.feedback.Texts(),
            (std::vector<std::string>{two.feedback.messages[0].text, "Zelle 0x0000 ist nicht leer !\nInhalt 0x00\n",
                                      "Zelle 0x03FF ist nicht leer !\nInhalt 0x7E\n"}));
}

TEST(LockBits, WhichBitsAreProgrammedAndWhetherTheEffectIsTested) {
  struct Case {
    uint8_t lockBitCount;
    int lock1, lock2, lock3;
    DeviceOption option;
    std::vector<uint8_t> modes;
    bool effectTest;
    int result;  // lock bit 1 alone does not hide the code on the test board
  };
  const Case cases[] = {
      {0, 1, 1, 1, DeviceOption::None, {}, false, 0},
      {1, 1, 1, 1, DeviceOption::None, {15}, true, 22},
      {3, 1, 0, 0, DeviceOption::None, {15}, false, 0},
      {3, 1, 1, 0, DeviceOption::None, {15, 3}, true, 0},
      {3, 1, 1, 1, DeviceOption::None, {15, 3, 5}, true, 0},
      {3, 1, 1, 0, DeviceOption::LockP12, {5}, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.lockBitCount) << c.lock1 << c.lock2 << c.lock3);
    Rig rig(SmallFlash40());
    rig.device.LockBitCount = c.lockBitCount;
    rig.device.Option = c.option;
    rig.settings.Lock1 = c.lock1;
    rig.settings.Lock2 = c.lock2;
    rig.settings.Lock3 = c.lock3;
    rig.LoadImage({{0, 0x5A}});
    rig.board.memory[0] = 0x5A;
    rig.link.PowerUp();
    EXPECT_EQ(ProgramLockBits(rig.ctx), c.result);
    EXPECT_EQ(rig.board.lockModes, c.modes);
    const bool tested = std::find(rig.feedback.statuses.begin(), rig.feedback.statuses.end(),
                                  "Teste Wirkung der Lockbits") != rig.feedback.statuses.end();
    EXPECT_EQ(tested, c.effectTest);
    if (c.lockBitCount == 0) {
      EXPECT_TRUE(rig.feedback.statuses.empty());
    }
  }
}

TEST(LockBits, LockByDataSendsTheByteOfTheHighestBox) {
  Rig rig(SmallFlash40());
  rig.device.Option = DeviceOption::LockP12;
  rig.settings.Lock1 = rig.settings.Lock2 = 1;
  rig.link.PowerUp();
  const size_t from = rig.board.writes.size();
  LockBitsByData(rig.ctx);
  EXPECT_EQ(WritesTo(rig.board, 10, from), std::vector<uint8_t>{0x3F});
}

TEST(LockBits, LockWithoutEffectIsReportedAndTheSequenceStillCloses) {
  Rig rig(SmallFlash40());
  rig.device.Vcc65 = true;
  rig.settings.Lock1 = rig.settings.Lock2 = 1;
  rig.LoadImage({{0, 0x5A}});
  rig.board.lockedReadValue = 0x5A;  // the chip keeps showing its code
  EXPECT_EQ(RunProgramSequence(rig.ctx), 0);
  const auto texts = rig.feedback.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Schutzbits haben keine Wirkung !");
  EXPECT_EQ(texts.back(), "Keine Fehler beim Prüfen");
  EXPECT_EQ(rig.device.VccProgCode, 100);
  // 6.5 V for the lock bits (130), back to the device's supply (100) before the test.
  std::vector<uint8_t> supplies;
  for (const auto& loaded : rig.board.loadedVoltages) supplies.push_back(loaded.first);
  const auto raised = std::find(supplies.rbegin(), supplies.rend(), 130);
  ASSERT_NE(raised, supplies.rend());
  ASSERT_NE(raised, supplies.rbegin());
  EXPECT_EQ(*(raised - 1), 100);
  EXPECT_TRUE(rig.board.SocketAtRest());
}

}  // namespace
}  // namespace tav::testing
