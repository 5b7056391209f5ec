// The simulated chips, driven through the real register protocol over the
// simulated board with short hand-written sequences shaped like those of the
// device operations. Each test checks that a right sequence works and that a
// wrong one (no programming voltage, too short a pulse, wrong mode or
// supply) leaves the part unchanged, as real silicon would.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "tests/scratch_directory.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

// Records as the library gives them with TimeBaseKorr 85: a 12 V flash with
// 2000 µs polling and a 10 ms erase, and a 12.75 V EPROM taking 25 pulses of
// 100 µs (1 unit).
DeviceRecord Flash40() {
  return {.DeviceName = "AT89C51", .Package = 40, .VppCode = 120, .VccProgCode = 100, .ProgPulseTime = 23,
          .ProgPulseCount = 1, .LockPulseCount = 1, .EraseTime = 117, .ManufacturerId030 = 0x1E,
          .DeviceId031 = 0x51, .DeviceId032 = 0xFF, .SizeBytes = 4096, .LockBitCount = 3};
}

DeviceRecord Flash20(uint8_t manufacturer = 0x1E) {
  DeviceRecord d = Flash40();
  d.DeviceName = "AT89C2051";
  d.Package = 20;
  d.ManufacturerId000 = manufacturer;  // 0xE0: the edge-variant counter
  d.DeviceIdDip20 = 0x21;
  d.SizeBytes = 2048;
  return d;
}

DeviceRecord Eprom40() {
  return {.DeviceName = "87C51", .Package = 40, .VppCode = 127, .VccProgCode = 100, .ProgPulseTime = 1,
          .ProgPulseCount = 25, .LockPulseCount = 25, .ManufacturerId030 = 0x89, .SizeBytes = 4096,
          .LockBitCount = 2};
}

struct ChipRig : test::SimRig {
  using SimRig::SimRig;
  // A part with faults; ChipFaults has std::optional members, which rule out
  // a designated initializer under -Wextra.
  ChipRig(const DeviceRecord& d, void (*setFaults)(sim::ChipFaults&))
      : SimRig(d, [setFaults] {
          sim::ChipFaults faults;
          setFaults(faults);
          return faults;
        }()) {}

  void Up() {
    link.ResetOutputs();
    link.PowerUp();
  }
  uint8_t ReadAt(uint32_t address, uint8_t mode = kModeReadCode) {
    link.SetMode(mode);
    link.SetData(0xFF);
    link.SettlingWrites(3);
    link.SetAddress(address, 0);
    return link.ReadDataByte();
  }
  // Data, programming voltage and mode around one strobe pulse whose low
  // time is `trains` pulse-train units, as the burning algorithms give it.
  void Pulse(uint8_t mode, uint32_t address, uint8_t data, uint32_t trains, bool vpp = true) {
    link.SetMode(mode);
    link.SetAddress(address, 0);
    link.SetData(data);
    link.SettlingWrites(3);
    if (vpp) link.VppOn();
    link.SettlingWrites(3);
    link.StrobeLow();
    link.SettlingWrites(3);
    link.PulseTrain(trains);
    link.StrobeHigh();
    link.SettlingWrites(3);
  }
  // The flash byte, lock-bit and erase cycles: a strobe at programming
  // voltage, then the part's own time with the voltage off.
  void FlashCycle(uint8_t mode, uint32_t address, uint8_t data, uint32_t trains = 0) {
    Pulse(mode, address, data, trains);
    link.VppOff();
    link.PulseTrain(device.ProgPulseTime);
  }
};

TEST(ChipReading, CodeAndSignatureOnlyWhenPoweredInReadModeWithLinesReleasedBy40Or20Pins) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0x123] = 0x3C;
  EXPECT_EQ(rig.ReadAt(0x123), 0xFF) << "unpowered part drove the lines";
  rig.Up();
  EXPECT_EQ(rig.ReadAt(0x123), 0x3C);
  EXPECT_EQ(rig.ReadAt(0x1123), 0x3C) << "forced high address bits are no address lines of a 4 KiB part";
  EXPECT_EQ(rig.ReadAt(0x123, kModeWriteCode), 0xFF);
  rig.link.SetMode(kModeReadCode);
  rig.link.SetData(0x0F);  // the board's latch still holds the lines
  EXPECT_EQ(rig.link.ReadDataByte(), 0x0F) << "the part drove against the latch";
  for (const auto& [address, byte] : {std::pair{0x030, 0x1E}, {0x031, 0x51}, {0x032, 0xFF}}) {
    EXPECT_EQ(rig.ReadAt(address, kModeReadSignature), byte) << address;
  }
  rig.link.PowerDown();
  EXPECT_EQ(rig.ReadAt(0x123), 0xFF);

  // 20-pin parts present the byte at their internal counter.
  for (const uint8_t id : {0x1E, 0xE0}) {  // plain and edge-variant counter
    ChipRig dip20(Flash20(id));
    EXPECT_EQ(dip20.chip->EdgeVariant(), id == 0xE0);
    dip20.chip->Memory()[0] = 0x02;
    dip20.chip->Memory()[2] = 0x30;
    dip20.Up();
    dip20.link.ResetAddressCounter();
    EXPECT_EQ(dip20.ReadAt(0, kModeReadSignature), id);
    dip20.link.StepAddressCounter();
    EXPECT_EQ(dip20.link.ReadDataByte(), 0x21);
    dip20.link.ResetAddressCounter();
    EXPECT_EQ(dip20.ReadAt(0), 0x02);
    for (const uint8_t byte : {0xFF, 0x30}) {
      dip20.link.StepAddressCounter();
      EXPECT_EQ(dip20.link.ReadDataByte(), byte);
    }
  }
}

TEST(ChipFlash, ByteWritePollsThenClearsBitsOnlyAndNeedsVoltageAndAFreePart) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0x10] = 0xF0;
  rig.Up();
  rig.Pulse(kModeWriteCode, 0x10, 0xBF, 0);
  rig.link.SetMode(kModeReadCode);  // read back within the internal write time
  rig.link.SetData(0xFF);
  EXPECT_EQ(rig.link.ReadDataByte() & 0x80, 0x00) << "polling shows the complement of bit 7 of 0xBF";
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.link.ReadDataByte(), 0xB0) << "0xF0 AND 0xBF: a write never sets a bit";
  EXPECT_TRUE(rig.chip->Complaints().empty());

  rig.link.VppOff();
  rig.Pulse(kModeWriteCode, 0x20, 0x00, 0, /*vpp=*/false);
  rig.link.VppOn();  // only after the pulse
  rig.link.PulseTrain(30);
  rig.FlashCycle(kModeReadCode, 0x21, 0x00);  // a pulse in a read mode writes nothing
  EXPECT_EQ(rig.ReadAt(0x20) & rig.ReadAt(0x21), 0xFF);
  EXPECT_EQ(rig.chip->BytesProgrammed(), 1u);
  EXPECT_FALSE(rig.chip->Complaints().empty());

  rig.board.SetWriteDurationNs(20000);  // the second pulse comes within the first write
  rig.Pulse(kModeWriteCode, 0x22, 0x00, 0);
  rig.Pulse(kModeWriteCode, 0x23, 0x00, 0);
  rig.link.PulseTrain(100);
  EXPECT_EQ(rig.ReadAt(0x22), 0x00);
  EXPECT_EQ(rig.ReadAt(0x23), 0xFF);
}

TEST(ChipFlash, EraseNeedsItsTimeAtProgrammingVoltageOrRaisedSupplyAndClearsLockBits) {
  ChipRig rig(Flash40());
  std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
  rig.Up();
  rig.FlashCycle(kModeChipErase, 0, 0xFF, rig.device.EraseTime / 4);  // far too short
  rig.Pulse(kModeChipErase, 0, 0xFF, rig.device.EraseTime, /*vpp=*/false);
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  EXPECT_EQ(rig.chip->Memory()[0], 0x00);
  rig.FlashCycle(kModeLockBit2, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x02);
  rig.FlashCycle(kModeChipErase, 0, 0xFF, rig.device.EraseTime);
  EXPECT_EQ(rig.chip->EraseCount(), 1u);
  EXPECT_TRUE(rig.chip->IsBlank());
  EXPECT_EQ(rig.chip->LockBits(), 0u);

  // A 6.5 V part erases only at the raised supply.
  DeviceRecord d = Flash40();
  d.Vcc65 = true;
  ChipRig raised(d);
  raised.chip->Memory()[5] = 0x00;
  raised.Up();
  raised.FlashCycle(kModeChipErase, 0, 0xFF, raised.device.EraseTime);  // normal supply: no effect
  EXPECT_EQ(raised.chip->Memory()[5], 0x00);
  raised.link.PowerDown();
  raised.device.VccProgCode = 130;  // the erase brackets of the operations
  raised.link.PowerUp();
  raised.Pulse(kModeChipErase, 0, 0xFF, 0);             // a short pulse starts it ...
  raised.link.PulseTrain(raised.device.EraseTime / 4);  // ... holding the mode runs it
  EXPECT_EQ(raised.chip->EraseCount(), 0u);
  raised.link.PulseTrain(raised.device.EraseTime / 2);
  EXPECT_EQ(raised.chip->EraseCount(), 1u);
  EXPECT_TRUE(raised.chip->IsBlank());
}

TEST(ChipLockBits, ModesProgramLockBitsAndBitTwoOrThreeHideTheCode) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0] = 0x5A;
  rig.Up();
  rig.FlashCycle(kModeLockBit1, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x01);
  EXPECT_EQ(rig.ReadAt(0), 0x5A) << "lock bit 1 alone still verifies";
  rig.FlashCycle(kModeWriteCode, 1, 0x00);
  EXPECT_EQ(rig.chip->Memory()[1], 0xFF) << "a locked part takes no further programming";
  rig.FlashCycle(kModeLockBit3, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x05);
  EXPECT_NE(rig.ReadAt(0), 0x5A);
  EXPECT_EQ(rig.ReadAt(0x031, kModeReadSignature), 0x51) << "the signature stays readable";

  DeviceRecord d = Flash40();
  d.Option = DeviceOption::LockP12;  // all lock bits from one data byte
  ChipRig p12(d);
  p12.Up();
  p12.FlashCycle(kModeLockBit1, 0, 0x00);  // not how this part is locked
  EXPECT_EQ(p12.chip->LockBits(), 0u);
  p12.FlashCycle(kModeLockBit3, 0, 0x3F);
  EXPECT_EQ(p12.chip->LockBits(), 0x03);
}

TEST(ChipEprom, CellsTakeTheRecordsPulsesAtProgrammingVoltageAndNeverErase) {
  ChipRig rig(Eprom40());
  rig.Up();
  for (const uint8_t data : {0xC3, 0x3C}) {
    for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x40, data, 1);
  }
  EXPECT_EQ(rig.ReadAt(0x40), 0x00) << "0xC3 then 0x3C: bits only ever go from 1 to 0";
  EXPECT_EQ(rig.chip->PulsesSeen(), 2 * rig.device.ProgPulseCount);

  // Too short a pulse (a board far faster than TimeBaseKorr says) or no
  // programming voltage: the cell stays as it was.
  rig.board.SetWriteDurationNs(10000);
  for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x41, 0x00, 1);
  rig.link.PowerDown();
  ASSERT_FALSE(rig.chip->Complaints().empty());
  EXPECT_NE(rig.chip->Complaints().back().find("0x0041"), std::string::npos);
  rig.board.SetWriteDurationNs(85000);
  rig.Up();
  for (int i = 0; i < 40; ++i) rig.Pulse(kModeWriteCode, 0x42, 0x00, 1, /*vpp=*/false);
  EXPECT_EQ(rig.chip->Memory()[0x41] & rig.chip->Memory()[0x42], 0xFF);

  for (uint32_t i = 0; i < 3; ++i) rig.Pulse(kModeLockBit2, 0, 0x00, 30);
  EXPECT_EQ(rig.chip->LockBits(), 0x02);
  rig.chip->Memory()[7] = 0x00;
  rig.Pulse(kModeChipErase, 0, 0xFF, 200);
  EXPECT_EQ(rig.chip->EraseCount(), 0u) << "an EPROM has no electrical erase";
  EXPECT_EQ(rig.chip->Memory()[7], 0x00);

  rig.link.LineLatch &= static_cast<uint8_t>(~kLineEnable);  // a disabled part sees no pulse
  rig.link.WriteRegister(kRegLines, rig.link.LineLatch);
  const uint64_t pulses = rig.chip->PulsesSeen();
  for (int i = 0; i < 40; ++i) rig.Pulse(kModeWriteCode, 0x43, 0x00, 1);
  EXPECT_EQ(rig.chip->Memory()[0x43], 0xFF);
  EXPECT_EQ(rig.chip->PulsesSeen(), pulses);
}

TEST(ChipFaults, EachFaultShowsAsARealPartWouldShowIt) {
  ChipRig signature(Flash40(), [](sim::ChipFaults& f) { f.wrongSignature = true; });
  signature.Up();
  EXPECT_NE(signature.ReadAt(0x031, kModeReadSignature), 0x51);

  ChipRig cells(Flash40(), [](sim::ChipFaults& f) {
    f.stuckBit = sim::StuckBit{0x08, 3, false};
    f.deadCell = 0x09;
  });
  EXPECT_FALSE(cells.chip->IsBlank()) << "a bit stuck at 0 fails the blank check";
  cells.Up();
  EXPECT_EQ(cells.ReadAt(0x08), 0xF7);
  cells.FlashCycle(kModeWriteCode, 0x09, 0x12);
  EXPECT_EQ(cells.ReadAt(0x09), 0xFF);
  cells.FlashCycle(kModeChipErase, 0, 0xFF, cells.device.EraseTime);
  EXPECT_EQ(cells.chip->Memory()[0x08], 0xF7) << "the erase cannot lift a stuck bit";

  ChipRig flash(Flash40(), [](sim::ChipFaults& f) { f.neededPulses = 2; });
  flash.Up();
  flash.FlashCycle(kModeWriteCode, 0x0A, 0x00);
  EXPECT_EQ(flash.ReadAt(0x0A), 0xFF);
  flash.FlashCycle(kModeWriteCode, 0x0A, 0x00);
  EXPECT_EQ(flash.ReadAt(0x0A), 0x00);
  ChipRig eprom(Eprom40(), [](sim::ChipFaults& f) { f.neededPulses = 26; });
  eprom.Up();
  for (int i = 0; i < 25; ++i) eprom.Pulse(kModeWriteCode, 0x0B, 0x00, 1);
  EXPECT_EQ(eprom.chip->Memory()[0x0B], 0xFF) << "the record's 25 pulses are not enough";

  EXPECT_EQ(ChipRig(Flash40(), [](sim::ChipFaults& f) { f.notBlank = true; }).chip->Memory()[15], 15);

  ChipRig socket(Flash40(), [](sim::ChipFaults& f) { f.emptySocket = true; });
  EXPECT_FALSE(socket.chip->Present());
  socket.chip->Memory()[0] = 0x00;
  socket.Up();
  EXPECT_EQ(socket.ReadAt(0), 0xFF);
  socket.FlashCycle(kModeWriteCode, 1, 0x00);
  EXPECT_EQ(socket.chip->Memory()[1], 0xFF);

  ChipRig overvoltage(Eprom40());
  overvoltage.device.VppCode = 210;  // the 21 V part picked by mistake
  overvoltage.Up();
  for (int i = 0; i < 25; ++i) overvoltage.Pulse(kModeWriteCode, 0, 0x00, 1);
  EXPECT_TRUE(overvoltage.chip->Damaged());
  EXPECT_EQ(overvoltage.chip->Memory()[0], 0xFF);
}

TEST(ChipStateFile, RoundTripKeepsMemoryAndLockBitsAndForeignOrDamagedFilesChangeNothing) {
  test::ScratchDirectory scratch("tav_chip_state");
  ChipRig first(Flash40());
  first.chip->Memory()[0] = 0x02;
  first.chip->Memory()[4095] = 0x00;
  first.Up();
  first.FlashCycle(kModeLockBit1, 0, 0x00);
  const std::string path = scratch.Slash() + "good.chip";
  ASSERT_TRUE(first.chip->SaveState(path)) << first.chip->StateError();
  auto second = sim::MakeChip(Flash40(), 85);
  ASSERT_TRUE(second->LoadState(path)) << second->StateError();
  EXPECT_EQ(second->Memory(), first.chip->Memory());
  EXPECT_EQ(second->LockBits(), 0x01);

  std::ifstream in(path, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(scratch.Slash() + name, std::ios::binary) << content;
    return scratch.Slash() + name;
  };
  std::string flipped = good;
  flipped[flipped.size() - 10] ^= 0x01;
  DeviceRecord bigger = Flash40();
  bigger.SizeBytes = 8192;
  const struct {
    DeviceRecord device;
    std::string path, expected;
  } cases[] = {
      {Flash40(), scratch.Slash() + "missing.chip", "kann nicht geöffnet werden"},
      {Flash40(), write("foreign.chip", "some other file\n"), "Zeile 1"},
      {Flash40(), write("flipped.chip", flipped), "Prüfsumme"},
      {Flash40(), write("short.chip", good.substr(0, good.size() - 1)), "4095 Datenbytes statt 4096"},
      {Flash40(), write("long.chip", good + "x"), "mehr als 4096 Datenbytes"},
      {Flash40(), write("header.chip", good.substr(0, 31)), "Zeile 3"},
      {Flash20(), path, "AT89C51"},
      {bigger, path, "Zeile 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " for " + c.device.DeviceName);
    auto target = sim::MakeChip(c.device, 85);
    target->Memory()[7] = 0x77;
    const auto before = target->Memory();
    EXPECT_FALSE(target->LoadState(c.path));
    EXPECT_NE(target->StateError().find(c.expected), std::string::npos) << target->StateError();
    EXPECT_NE(target->StateError().find(c.path), std::string::npos);
    EXPECT_EQ(target->Memory(), before);
  }
}

}  // namespace
}  // namespace tav
