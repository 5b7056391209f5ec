// The simulated chips under hand-written register sequences: a right one
// works, a wrong one (no voltage, short pulse, wrong mode or supply) changes
// nothing, as real silicon would.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/files_test_rig.h"
#include "tests/sample_library.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

// A 12 V flash part with 2000 µs polling and a 10 ms erase, and a 12.75 V
// EPROM taking 25 pulses of 100 µs (1 unit), as the sample library has them.
DeviceRecord Flash40() { return test::LibraryDevice("AT89C51"); }
DeviceRecord Eprom40() { return test::LibraryDevice("87C51"); }

// A part with faults; ChipFaults has std::optional members, which rule out
// a designated initializer under -Wextra.
sim::ChipFaults Faults(void (*set)(sim::ChipFaults&)) {
  sim::ChipFaults faults;
  set(faults);
  return faults;
}

// The chip in the socket, powered up as every operation begins.
struct ChipRig : test::SimRig {
  explicit ChipRig(const DeviceRecord& d, const sim::ChipFaults& faults = {}) : SimRig(d, faults) {
    link.ResetOutputs();
    link.PowerUp();
  }
  uint8_t ReadAt(uint32_t address, uint8_t mode = kModeReadCode) {
    link.SetMode(mode);
    link.SetData(0xFF);
    link.SetAddress(address, 0);
    return link.ReadDataByte();
  }
  // Data, programming voltage and mode around one strobe pulse whose low
  // time is `trains` pulse-train units, as the burning algorithms give it.
  void Pulse(uint8_t mode, uint32_t address, uint8_t data, uint32_t trains, bool vpp = true) {
    link.SetMode(mode);
    link.SetAddress(address, 0);
    link.SetData(data);
    if (vpp) link.VppOn();
    link.StrobeLow();
    link.PulseTrain(trains);
    link.StrobeHigh();
  }
  // The flash byte, lock-bit and erase cycles: a strobe at programming
  // voltage, then the part's own time with the voltage off.
  void FlashCycle(uint8_t mode, uint32_t address, uint8_t data, uint32_t trains = 0) {
    Pulse(mode, address, data, trains);
    link.VppOff();
    link.PulseTrain(device.ProgPulseTime);
  }
};

TEST(ChipFlash, ReadsWhenPoweredWritesPollingClearsBitsOnlyAndLockBitsHideTheCode) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0] = 0x5A;
  rig.chip->Memory()[0x10] = 0xF0;
  EXPECT_EQ(rig.ReadAt(0), 0x5A);
  EXPECT_EQ(rig.ReadAt(0x031, kModeReadSignature), 0x51);

  rig.Pulse(kModeWriteCode, 0x10, 0x00, 0, /*vpp=*/false);  // discarded, and said so
  ASSERT_EQ(rig.chip->Complaints().size(), 1u);
  EXPECT_EQ(rig.chip->Complaints()[0].rfind("Schreibimpuls an 0x0010 verworfen", 0), 0u);
  rig.Pulse(kModeWriteCode, 0x10, 0xBF, 0);
  rig.link.SetMode(kModeReadCode);  // read back within the internal write time
  rig.link.SetData(0xFF);
  EXPECT_EQ(rig.link.ReadDataByte() & 0x80, 0x00) << "polling shows the complement of bit 7 of 0xBF";
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.link.ReadDataByte(), 0xB0) << "0xF0 AND 0xBF: a write never sets a bit";

  rig.FlashCycle(kModeLockBit1, 0, 0x00);
  EXPECT_EQ(rig.ReadAt(0), 0x5A) << "lock bit 1 alone still verifies";
  rig.FlashCycle(kModeWriteCode, 1, 0x00);
  EXPECT_EQ(rig.chip->Memory()[1], 0xFF) << "a locked part takes no further programming";
  rig.FlashCycle(kModeLockBit3, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x05);
  EXPECT_NE(rig.ReadAt(0), 0x5A);
  rig.link.PowerDown();
  EXPECT_EQ(rig.ReadAt(0x10), 0xFF) << "unpowered part drove the lines";

  DeviceRecord d = Flash40();
  d.Option = DeviceOption::LockP12;  // all lock bits from one data byte
  ChipRig p12(d);
  p12.chip->Memory()[0] = 0x5A;
  p12.FlashCycle(kModeLockBit1, 0, 0x00);  // not how this part is locked
  EXPECT_EQ(p12.chip->LockBits(), 0u);
  p12.FlashCycle(kModeLockBit3, 0, 0x3F);
  EXPECT_EQ(p12.chip->LockBits(), 0x03);
  EXPECT_NE(p12.ReadAt(0), 0x5A);
}

TEST(ChipEprom, PartsAbove32KiBTakeA15FromRegisterTwoBitSeven) {
  DeviceRecord big = Eprom40();
  big.SizeBytes = 0x10000;
  test::SimRig rig(big);
  rig.settings.IDCheck = 0;
  std::vector<uint8_t> bytes(0x8001, 0xFF);
  bytes[0x0000] = 0xAA;
  bytes[0x8000] = 0x55;
  rig.LoadImage(bytes);
  EXPECT_EQ(rig.Run(RunProgramSequence), 0);
  EXPECT_EQ(rig.chip->Memory()[0x0000], 0xAA);
  EXPECT_EQ(rig.chip->Memory()[0x8000], 0x55);
  rig.ExpectNoElectricalFault();
}

TEST(ChipFlash, TwentyPinPartReadsCodeAndSignatureAtItsCounter) {
  ChipRig rig(test::LibraryDevice("AT89C2051"));
  rig.chip->Memory()[1] = 0x30;
  rig.link.ResetAddressCounter();
  EXPECT_EQ(rig.ReadAt(0, kModeReadSignature), 0x1E);
  rig.link.StepAddressCounter();
  EXPECT_EQ(rig.link.ReadDataByte(), 0x21);
  rig.link.ResetAddressCounter();
  rig.link.StepAddressCounter();
  EXPECT_EQ(rig.ReadAt(0), 0x30);
}

TEST(ChipFlash, EraseNeedsItsTimeAtProgrammingVoltageOrRaisedSupplyAndClearsLockBits) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0] = 0x00;
  rig.FlashCycle(kModeChipErase, 0, 0xFF, rig.device.EraseTime / 4);  // far too short
  rig.Pulse(kModeChipErase, 0, 0xFF, rig.device.EraseTime, /*vpp=*/false);
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  rig.FlashCycle(kModeLockBit2, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x02);
  rig.FlashCycle(kModeChipErase, 0, 0xFF, rig.device.EraseTime);
  EXPECT_TRUE(rig.chip->IsBlank());
  EXPECT_EQ(rig.chip->LockBits(), 0u);

  // A 6.5 V part erases only at the raised supply.
  DeviceRecord d = Flash40();
  d.Vcc65 = true;
  ChipRig raised(d);
  raised.chip->Memory()[5] = 0x00;
  raised.FlashCycle(kModeChipErase, 0, 0xFF, raised.device.EraseTime);  // normal supply: no effect
  EXPECT_EQ(raised.chip->Memory()[5], 0x00);
  raised.link.PowerDown();
  raised.device.VccProgCode = 130;  // the erase brackets of the operations
  raised.link.PowerUp();
  raised.Pulse(kModeChipErase, 0, 0xFF, 0);             // a short pulse starts it ...
  raised.link.PulseTrain(raised.device.EraseTime / 4);  // ... holding the mode runs it
  EXPECT_EQ(raised.chip->EraseCount(), 0u);
  raised.link.PulseTrain(raised.device.EraseTime / 2);
  EXPECT_TRUE(raised.chip->IsBlank());
}

TEST(ChipEprom, CellsOnlyLoseBitsAndOnlyFromPulsesOfFullLength) {
  ChipRig rig(Eprom40());
  for (const uint8_t data : {0xC3, 0x3C}) {
    for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x40, data, 1);
  }
  EXPECT_EQ(rig.ReadAt(0x40), 0x00) << "0xC3 then 0x3C: bits only ever go from 1 to 0";
  rig.board.SetWriteDurationNs(10000);  // a board far faster than TimeBaseKorr says
  for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x41, 0x00, 1);
  rig.link.PowerDown();
  EXPECT_EQ(rig.chip->Memory()[0x41], 0xFF);
  ASSERT_FALSE(rig.chip->Complaints().empty());
  EXPECT_EQ(rig.chip->Complaints().back().rfind("Zelle 0x0041: Programmierzeit", 0), 0u);
}

TEST(ChipFaults, EachFaultShowsAsARealPartWouldShowIt) {
  ChipRig weak(Flash40(), Faults([](sim::ChipFaults& f) {
                 f.wrongSignature = true;
                 f.stuckBit = sim::StuckBit{0x08, 3, false};
                 f.neededPulses = 2;
               }));
  EXPECT_FALSE(weak.chip->IsBlank()) << "a bit stuck at 0 fails the blank check";
  EXPECT_NE(weak.ReadAt(0x031, kModeReadSignature), 0x51);
  EXPECT_EQ(weak.ReadAt(0x08), 0xF7);
  for (const uint8_t expected : {0xFF, 0x00}) {  // a cell that needs two write cycles
    weak.FlashCycle(kModeWriteCode, 0x0A, 0x00);
    EXPECT_EQ(weak.ReadAt(0x0A), expected);
  }

  ChipRig eprom(Eprom40(), Faults([](sim::ChipFaults& f) { f.neededPulses = 26; }));
  for (int i = 0; i < 25; ++i) eprom.Pulse(kModeWriteCode, 0x0B, 0x00, 1);
  EXPECT_EQ(eprom.chip->Memory()[0x0B], 0xFF) << "the record's 25 pulses are not enough";

  ChipRig socket(Flash40(), Faults([](sim::ChipFaults& f) { f.emptySocket = true; }));
  socket.chip->Memory()[0] = 0x00;
  EXPECT_EQ(socket.ReadAt(0), 0xFF);
}

TEST(ChipStateFile, RoundTripKeepsMemoryAndLockBitsAndForeignOrDamagedFilesChangeNothing) {
  test::ScratchDirectory scratch("tav_chip_state");
  const std::string dir = scratch.Slash();
  ChipRig first(Flash40());
  first.chip->Memory()[4095] = 0x00;
  first.FlashCycle(kModeLockBit1, 0, 0x00);
  ASSERT_TRUE(first.chip->SaveState(dir + "good.chip")) << first.chip->StateError();
  auto second = sim::MakeChip(Flash40(), 85);
  ASSERT_TRUE(second->LoadState(dir + "good.chip")) << second->StateError();
  EXPECT_EQ(second->Memory(), first.chip->Memory());
  EXPECT_EQ(second->LockBits(), 0x01);

  const std::string good = test::ReadFile(dir + "good.chip");
  std::string flipped = good;
  flipped[flipped.size() - 10] ^= 0x01;
  test::WriteFile(dir + "flipped.chip", flipped);
  test::WriteFile(dir + "short.chip", good.substr(0, good.size() - 1));
  const struct {
    DeviceRecord device;
    std::string file, message;
  } cases[] = {
      {Flash40(), "missing.chip", ": kann nicht geöffnet werden"},
      {Flash40(), "flipped.chip", ": Prüfsumme stimmt nicht, Datei ist beschädigt"},
      {Flash40(), "short.chip", ": 4095 Datenbytes statt 4096, Datei ist beschädigt"},
      {Eprom40(), "good.chip", ", Zeile 2: gehört zu Baustein 'AT89C51', nicht zu '87C51'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto target = sim::MakeChip(c.device, 85);
    target->Memory()[7] = 0x00;
    const auto before = target->Memory();
    EXPECT_FALSE(target->LoadState(dir + c.file));
    EXPECT_EQ(target->StateError(), "Chipdatei '" + dir + c.file + "'" + c.message);
    EXPECT_EQ(target->Memory(), before);
  }
}

}  // namespace
}  // namespace tav
