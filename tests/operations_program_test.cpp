// Erase, burn, compare and lock-bit sequences on the recording test board:
// the register-level details the end-to-end runs cannot see.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "operations/operations.h"
#include "tests/operations_test_board.h"

namespace tav::testing {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using Read = std::pair<uint8_t, uint32_t>;

// Two erase rounds and the lock bit at 6.5 V, the burn at 5 V; lock bit 1
// alone leaves the code readable, which the result must tell a script.
TEST(RaisedVoltage, EraseAndLockBitsRunAtSixPointFiveVoltsAndTheDeviceKeepsItsSupply) {
  Rig rig(SmallPart(40));
  rig.device.Vcc65 = true;
  rig.device.LockBitCount = 1;
  rig.settings.Lock1 = rig.settings.Lock2 = 1;
  std::fill(rig.chip->memory.begin(), rig.chip->memory.end(), 0x00);
  rig.LoadImage({0x5A});
  EXPECT_EQ(RunProgramSequence(rig.ctx), kLockWithoutEffect);
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(_, "Schutzbits haben keine Wirkung !", "Keine Fehler beim Prüfen"));
  EXPECT_EQ(rig.chip->erasePulses, 2u);
  EXPECT_EQ(rig.chip->memory[1], 0xFF);
  EXPECT_EQ(rig.device.VccProgCode, 100);
  EXPECT_EQ(rig.chip->pulseSupplies, (std::vector<uint32_t>{6500, 6500, 5000, 6500}));
  EXPECT_TRUE(rig.board.SocketAtRest());
}

// A KVp part keeps the programming voltage from power-up on: neither the
// erase cycle nor the burn of a byte switches it; a 20-pin erase resets the
// counter and an EPROM burn steps it over blank cells.
TEST(EraseAndCounter, KVpKeepsTheVoltageAndTheCounterFollowsTheCells) {
  Rig kvp(SmallPart(40));
  kvp.device.KVp = true;
  kvp.link.PowerUp();
  const uint64_t switchWrites = kvp.board.WritesOfRegister(8);
  EXPECT_EQ(EraseCycle(kvp.ctx), 0);
  EXPECT_EQ(kvp.board.WritesOfRegister(8), switchWrites);
  EXPECT_EQ(kvp.chip->erasePulses, 1u);
  kvp.LoadImage({0x12, 0x34});
  EXPECT_EQ(ProgramDevice(kvp.ctx), 0);
  EXPECT_EQ(kvp.chip->memory[1], 0x34);

  Rig erase(SmallPart(20));
  erase.link.PowerUp();
  for (int i = 0; i < 7; ++i) erase.link.StepAddressCounter();
  EXPECT_EQ(EraseCycle(erase.ctx), 0);
  EXPECT_EQ(erase.board.Pins().counter, 0u);

  Rig eprom(SmallPart(20, false));
  eprom.LoadImage({0xFF, 0x12, 0xFF, 0x34, 0xFF});
  EXPECT_EQ(ProgramDevice(eprom.ctx), 0);
  EXPECT_EQ(eprom.chip->programPulses, (std::vector<uint32_t>{1, 1, 3, 3}));  // two pulses a byte
  EXPECT_EQ(eprom.board.Pins().counter, 5u);
  EXPECT_EQ(eprom.chip->memory[3], 0x34);
}

TEST(ProgramDevice, P33HighWritesWithTheExtraBitAndReadsWithout) {
  Rig rig(SmallPart(40));
  rig.device.P33High = true;
  rig.settings.Verify = 0;
  rig.LoadImage({0xFF, 0xFF, 0xFF, 0x42});
  EXPECT_EQ(RunProgramSequence(rig.ctx), 0);
  EXPECT_EQ(rig.chip->memory[3], 0x42);
  EXPECT_EQ(rig.chip->programPulses, std::vector<uint32_t>{0x8003});  // P3.3 as bit 15
  ASSERT_FALSE(rig.board.reads.empty());
  EXPECT_EQ(rig.board.reads.back(), (Read{12, 3}));
}

TEST(LockBits, WhichBitsAreProgrammedHowAndWhetherTheEffectIsTested) {
  const struct {
    uint8_t lockBitCount;
    int lock1, lock2, lock3;
    DeviceOption option;
    std::vector<std::pair<uint8_t, uint8_t>> pulses;  // (mode, data byte)
    bool effectTest;                                  // address 0 read back
    int result;                                       // lock bit 1 alone leaves it readable
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
    std::tie(rig.settings.Lock1, rig.settings.Lock2, rig.settings.Lock3) = std::tie(c.lock1, c.lock2, c.lock3);
    rig.LoadImage({0x5A});
    rig.chip->memory[0] = 0x5A;
    rig.link.PowerUp();
    EXPECT_EQ(ProgramLockBits(rig.ctx), c.result);
    EXPECT_EQ(rig.chip->lockPulses, c.pulses);
    EXPECT_EQ(rig.board.reads, (c.effectTest ? std::vector<Read>{{12, 0}} : std::vector<Read>{}));
  }
}

}  // namespace
}  // namespace tav::testing
