// Erase, burn, compare and lock-bit sequences on the recording test board:
// the register-level details the end-to-end runs cannot see.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "operations/operations.h"
#include "tests/operations_test_board.h"

namespace tav::testing {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using Load = std::pair<uint8_t, uint8_t>;
using Read = std::pair<uint8_t, uint32_t>;

TEST(Erase, KVpPartsNeverSwitchTheProgrammingVoltageInTheCycle) {
  Rig rig(SmallPart(40));
  rig.device.KVp = true;
  rig.link.PowerUp();
  const size_t from = rig.board.writes.size();
  EXPECT_EQ(EraseCycle(rig.ctx), 0);
  EXPECT_TRUE(rig.board.WritesTo(8, from).empty());
  EXPECT_EQ(rig.chip->erasePulses, 1u);
}

TEST(Erase, RaisedVoltageEraseUses130InBothRoundsAndRestoresTheDevice) {
  Rig rig(SmallPart(40));
  rig.device.Vcc65 = true;
  rig.device.EraseTime = 30;
  std::fill(rig.chip->memory.begin(), rig.chip->memory.end(), 0x00);
  EXPECT_EQ(EraseDevice(rig.ctx), 0);
  EXPECT_EQ(rig.device.VccProgCode, 100);
  EXPECT_EQ(rig.chip->erasePulses, 2u);
  EXPECT_EQ(rig.chip->memory[0], 0xFF);
  EXPECT_EQ(rig.feedback.TotalPumps(), 60u);  // one step per timing pulse, 2 × 30
  EXPECT_EQ(rig.feedback.statuses, (std::vector<std::string>{"Lösche Controller", "Lösche Baustein"}));
  // Each round's power-up loads 130 together with the programming voltage.
  const auto& loads = rig.board.loadedVoltages;
  EXPECT_EQ(std::count(loads.begin(), loads.end(), Load{130, 120}), 2);
}

TEST(ProgramDevice, EpromWithoutPulsesPutsDataAndVoltageButNoStrobe) {
  Rig rig(SmallPart(40, false));
  rig.device.ProgPulseCount = 0;
  rig.LoadImage({{0, 0x12}});
  rig.link.PowerUp();
  const size_t from = rig.board.writes.size();
  EXPECT_EQ(BurnEprom40(rig.ctx), 0);
  const auto lines = rig.board.WritesTo(4, from);
  EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [](uint8_t v) { return (v & 0x40) != 0; }));
  EXPECT_EQ(rig.board.WritesTo(10, from), std::vector<uint8_t>{0x12});
  EXPECT_TRUE(rig.board.Pins().vppOn);
  EXPECT_EQ(rig.chip->memory[0], 0xFF);
}

TEST(TwentyPinCounter, EraseResetsItBeforeAddressingAndAnEmptyImageStepsItForEveryCell) {
  Rig erase(SmallPart(20));
  erase.link.PowerUp();
  for (int i = 0; i < 7; ++i) erase.link.StepAddressCounter();
  ASSERT_EQ(erase.board.Pins().counter, 7u);
  const auto& w = erase.board.writes;
  const auto from = w.size();
  EXPECT_EQ(EraseCycle(erase.ctx), 0);
  EXPECT_EQ(erase.board.Pins().counter, 0u);
  const auto drop = std::find_if(w.begin() + from, w.end(), [](auto x) { return x.reg == 4 && !(x.value & 0x80); });
  const auto address = std::find_if(w.begin() + from, w.end(), [](auto x) { return x.reg == 6; });
  EXPECT_LT(drop, address);  // the enable line drops (counter reset) before the first address write

  Rig eprom(SmallPart(20, false));
  eprom.LoadImage({{99, 0xFF}});
  EXPECT_EQ(ProgramDevice(eprom.ctx), 0);
  EXPECT_EQ(eprom.board.Pins().counter, 100u);
  EXPECT_TRUE(std::all_of(eprom.chip->memory.begin(), eprom.chip->memory.end(), [](uint8_t v) { return v == 0xFF; }));
}

TEST(ProgramDevice, P33HighWritesWithTheExtraBitAndReadsWithout) {
  Rig rig(SmallPart(40));
  rig.device.P33High = true;
  rig.LoadImage({{3, 0x42}});
  rig.settings.Verify = 0;
  EXPECT_EQ(RunProgramSequence(rig.ctx), 0);
  EXPECT_EQ(rig.chip->memory[3], 0x42);
  const auto high = rig.board.WritesTo(2);
  EXPECT_TRUE(std::any_of(high.begin(), high.end(), [](uint8_t v) { return (v & 0x80) != 0; }));
  ASSERT_FALSE(rig.board.reads.empty());
  EXPECT_EQ(rig.board.reads.back(), (Read{12, 3}));  // the board records P3.3 as address bit 15
}

// A 40-pin flash burn of k correct bytes up to address H, KVp off:
//   BurnFlash = SetAddress 5 + (H + 1) × SetAddress 5
//             + k × (SetMode 3 + data 4 + Vpp on 4 + strobe 8 + Vpp off 4 + SetMode 3 + data 4 + poll 2 + read 2)
// EraseCycle = SetAddress 5 + data 4 + SetMode 3 + Vpp on 4 + strobe low 4 + 2 × EraseTime + strobe high 4
//            + Vpp off 4 + TP(5)
TEST(ProgramDevice, FlashBurnCostsWhatTheSequenceImplies) {
  Rig rig(SmallPart(40));
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

TEST(CompareAndBlankCheck, RetryGoesOnCancelStopsAndTheRangeEndsWhereItShould) {
  Rig verify(SmallPart(40));
  verify.LoadImage({{0, 1}, {1, 2}, {2, 3}});
  for (int answer : {kOk, kRetry, kCancel}) verify.feedback.QueueAnswer(answer);
  EXPECT_EQ(VerifyDevice(verify.ctx), 6);  // blank chip: three differences, the second one cancelled
  const auto texts = verify.feedback.Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1], "Fehler an Adresse 0 (0x0) !\nRichtig: 0x01\nGelesen: 0xFF\n");
  EXPECT_EQ(texts[2], "Fehler an Adresse 1 (0x1) !\nRichtig: 0x02\nGelesen: 0xFF\n");
  EXPECT_TRUE(verify.board.SocketAtRest());

  Rig one(SmallPart(40));
  one.settings.IDCheck = 0;
  one.chip->memory[1] = 0x00;  // beyond the range: never read
  one.LoadImage({{0, 0xFF}});
  EXPECT_EQ(VerifyDevice(one.ctx), 0);
  EXPECT_EQ(one.board.reads, (std::vector<Read>{{12, 0}}));

  Rig blank(SmallPart(40));
  blank.chip->memory[0] = 0x00;
  blank.chip->memory[0x3FF] = 0x7E;
  EXPECT_EQ(BlankCheck(blank.ctx), 4);  // both answered Retry
  EXPECT_EQ(blank.feedback.Texts(),
            (std::vector<std::string>{blank.feedback.messages[0].text, "Zelle 0x0000 ist nicht leer !\nInhalt 0x00\n",
                                      "Zelle 0x03FF ist nicht leer !\nInhalt 0x7E\n"}));
}

TEST(LockBits, WhichBitsAreProgrammedHowAndWhetherTheEffectIsTested) {
  const struct {
    uint8_t lockBitCount;
    int lock1, lock2, lock3;
    DeviceOption option;
    std::vector<std::pair<uint8_t, uint8_t>> pulses;  // (mode, data byte)
    bool effectTest;
    int result;  // lock bit 1 alone does not hide the code on the test chip
  } cases[] = {
      {0, 1, 1, 1, DeviceOption::None, {}, false, 0},
      {1, 1, 1, 1, DeviceOption::None, {{15, 0}}, true, 22},
      {3, 1, 0, 0, DeviceOption::None, {{15, 0}}, false, 0},
      {3, 1, 1, 0, DeviceOption::None, {{15, 0}, {3, 0}}, true, 0},
      {3, 1, 1, 1, DeviceOption::None, {{15, 0}, {3, 0}, {5, 0}}, true, 0},
      {3, 1, 0, 0, DeviceOption::LockP12, {{5, 0x7F}}, false, 0},
      {3, 1, 1, 0, DeviceOption::LockP12, {{5, 0x3F}}, true, 0},
      {1, 1, 1, 1, DeviceOption::LockP12, {{5, 0x1F}}, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.lockBitCount) << c.lock1 << c.lock2 << c.lock3 << int(c.option));
    Rig rig(SmallPart(40));
    rig.device.LockBitCount = c.lockBitCount;
    rig.device.Option = c.option;
    rig.settings.Lock1 = c.lock1;
    rig.settings.Lock2 = c.lock2;
    rig.settings.Lock3 = c.lock3;
    rig.LoadImage({{0, 0x5A}});
    rig.chip->memory[0] = 0x5A;
    rig.link.PowerUp();
    EXPECT_EQ(ProgramLockBits(rig.ctx), c.result);
    EXPECT_EQ(rig.chip->lockPulses, c.pulses);
    std::vector<std::string> statuses;
    if (c.lockBitCount > 0) statuses.push_back("Programmiere Lockbits");
    if (c.effectTest) statuses.push_back("Teste Wirkung der Lockbits");
    EXPECT_EQ(rig.feedback.statuses, statuses);
  }
}

TEST(LockBits, LockWithoutEffectIsReportedAndTheSequenceStillCloses) {
  Rig rig(SmallPart(40));
  rig.device.Vcc65 = true;
  rig.device.LockBitCount = 1;  // lock bit 1 alone leaves the code readable
  rig.settings.Lock1 = rig.settings.Lock2 = 1;
  rig.LoadImage({{0, 0x5A}});
  EXPECT_EQ(RunProgramSequence(rig.ctx), 0);
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(_, "Schutzbits haben keine Wirkung !", "Keine Fehler beim Prüfen"));
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
