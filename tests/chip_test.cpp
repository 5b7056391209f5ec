// The simulated chips, driven through the real register protocol over the
// simulated board with short hand-written sequences shaped like those of the
// device operations. Each test checks that a right sequence works and that a
// wrong one (no programming voltage, too short a pulse, wrong mode or
// supply) leaves the part unchanged, as real silicon would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/scripted_feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

// Records as the library gives them with TimeBaseKorr 85.
DeviceRecord Flash40() {  // 12 V flash, 2000 µs polling, 10 ms erase
  DeviceRecord d;
  d.DeviceName = "AT89C51";
  d.Package = 40;
  d.VppCode = 120;
  d.VccProgCode = 100;
  d.ProgPulseTime = 23;
  d.ProgPulseCount = 1;
  d.LockPulseCount = 1;
  d.EraseTime = 117;
  d.ManufacturerId030 = 0x1E;
  d.DeviceId031 = 0x51;
  d.DeviceId032 = 0xFF;
  d.SizeBytes = 4096;
  d.LockBitCount = 3;
  return d;
}

DeviceRecord Flash20() {
  DeviceRecord d = Flash40();
  d.DeviceName = "AT89C2051";
  d.Package = 20;
  d.ManufacturerId000 = 0x1E;
  d.DeviceIdDip20 = 0x21;
  d.ManufacturerId030 = d.DeviceId031 = d.DeviceId032 = 0;
  d.SizeBytes = 2048;
  d.LockBitCount = 2;
  return d;
}

DeviceRecord Eprom40() {  // 12.75 V, 25 pulses of 100 µs (1 unit)
  DeviceRecord d;
  d.DeviceName = "87C51";
  d.Package = 40;
  d.VppCode = 127;
  d.VccProgCode = 100;
  d.ProgPulseTime = 1;
  d.ProgPulseCount = 25;
  d.LockPulseCount = 25;
  d.ManufacturerId030 = 0x89;
  d.SizeBytes = 4096;
  d.LockBitCount = 2;
  return d;
}

struct ChipRig {
  explicit ChipRig(const DeviceRecord& d, const sim::ChipFaults& faults = {}) : device(d) {
    settings.MessageBeap = 0;
    chip = sim::MakeChip(device, settings.TimeBaseKorr, faults);
    board.InsertChip(chip);
  }

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
  // The 40-pin flash byte write: a four-write strobe, then a wait.
  void FlashWrite(uint32_t address, uint8_t data) {
    Pulse(kModeWriteCode, address, data, 0);
    link.VppOff();
    link.PulseTrain(device.ProgPulseTime);
  }
  void FlashErase(uint32_t trains) {
    link.SetMode(kModeChipErase);
    link.VppOn();
    link.SettlingWrites(3);
    link.StrobeLow();
    link.PulseTrain(trains);
    link.StrobeHigh();
    link.VppOff();
    link.SettlingWrites(3);
  }

  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{settings.MessageBeap};
  sim::SimBoard board;
  ProgrammerLink link{board, settings, device, feedback};
  std::shared_ptr<sim::SimulatedChip> chip;
};

TEST(ChipReading, CodeAndSignatureOnlyWhenPoweredInReadModeWithLinesReleased) {
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
  EXPECT_EQ(rig.ReadAt(0x030, kModeReadSignature), 0x1E);
  EXPECT_EQ(rig.ReadAt(0x031, kModeReadSignature), 0x51);
  EXPECT_EQ(rig.ReadAt(0x032, kModeReadSignature), 0xFF);
  rig.link.PowerDown();
  EXPECT_EQ(rig.ReadAt(0x123), 0xFF);
}

TEST(ChipReading, TwentyPinPartsPresentBytesFromTheInternalCounter) {
  for (uint8_t id : {uint8_t{0x1E}, uint8_t{0xE0}}) {  // plain and edge-variant counter
    DeviceRecord d = Flash20();
    d.ManufacturerId000 = id;
    ChipRig rig(d);
    EXPECT_EQ(rig.chip->EdgeVariant(), id == 0xE0);
    rig.chip->Memory()[0] = 0x02;
    rig.chip->Memory()[1] = 0x00;
    rig.chip->Memory()[2] = 0x30;
    rig.Up();
    rig.link.ResetAddressCounter();
    EXPECT_EQ(rig.ReadAt(0, kModeReadSignature), id);
    rig.link.StepAddressCounter();
    EXPECT_EQ(rig.link.ReadDataByte(), 0x21);
    rig.link.ResetAddressCounter();
    EXPECT_EQ(rig.ReadAt(0), 0x02);
    rig.link.StepAddressCounter();
    EXPECT_EQ(rig.link.ReadDataByte(), 0x00);
    rig.link.StepAddressCounter();
    EXPECT_EQ(rig.link.ReadDataByte(), 0x30);
  }
}

TEST(ChipFlash, ByteWritePollsComplementOfBit7ThenClearsBitsOnly) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0x10] = 0xF0;
  rig.Up();
  rig.Pulse(kModeWriteCode, 0x10, 0xBF, 0);
  rig.link.SetMode(kModeReadCode);  // read back within the internal write time
  rig.link.SetData(0xFF);
  const uint8_t during = rig.link.ReadDataByte();
  EXPECT_EQ(during & 0x80, 0x00) << "polling shows the complement of bit 7 of 0xBF";
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.link.ReadDataByte(), 0xB0) << "0xF0 AND 0xBF: a write never sets a bit";
  EXPECT_EQ(rig.chip->BytesProgrammed(), 1u);
  rig.FlashWrite(0x11, 0xA5);
  EXPECT_EQ(rig.ReadAt(0x11), 0xA5);
  EXPECT_TRUE(rig.chip->Complaints().empty());
}

TEST(ChipFlash, TwentyPinBytesGoToTheCounterAddressOnlyInWriteMode) {
  ChipRig rig(Flash20());
  rig.Up();
  rig.link.ResetAddressCounter();
  const uint8_t bytes[] = {0x75, 0x90, 0xFF, 0x12};
  for (uint8_t mode : {kModeReadCode, kModeWriteCode}) {  // a pulse in a read mode writes nothing
    rig.link.ResetAddressCounter();
    rig.link.SetMode(mode);
    for (uint8_t b : bytes) {
      rig.link.SetData(b);
      rig.link.VppOn();
      rig.link.StrobeLow();
      rig.link.SettlingWrites(3);
      rig.link.StrobeHigh();
      rig.link.VppOff();
      rig.link.PulseTrain(rig.device.ProgPulseTime);
      rig.link.StepAddressCounter();
    }
    EXPECT_EQ(rig.chip->BytesProgrammed(), mode == kModeWriteCode ? 3u : 0u);
  }
  for (uint32_t a = 0; a < 4; ++a) EXPECT_EQ(rig.chip->Memory()[a], bytes[a]) << a;
  EXPECT_EQ(rig.chip->Memory()[4], 0xFF);
}

TEST(ChipFlash, WriteWithoutVoltageOrDuringAWriteCycleIsRefused) {
  ChipRig rig(Flash40());
  rig.Up();
  rig.Pulse(kModeWriteCode, 0x20, 0x00, 0, /*vpp=*/false);
  rig.link.VppOn();  // only after the pulse
  rig.link.PulseTrain(30);
  rig.link.VppOff();
  EXPECT_EQ(rig.ReadAt(0x20), 0xFF);
  EXPECT_EQ(rig.chip->BytesProgrammed(), 0u);
  EXPECT_FALSE(rig.chip->Complaints().empty());

  rig.board.SetWriteDurationNs(20000);  // the second pulse comes within the first write
  rig.Pulse(kModeWriteCode, 0x21, 0x00, 0);
  rig.Pulse(kModeWriteCode, 0x22, 0x00, 0);
  rig.link.PulseTrain(100);
  EXPECT_EQ(rig.ReadAt(0x21), 0x00);
  EXPECT_EQ(rig.ReadAt(0x22), 0xFF);
}

TEST(ChipFlash, EraseNeedsTheEraseTimeAtProgrammingVoltageAndClearsLockBits) {
  ChipRig rig(Flash40());
  std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
  rig.Up();
  rig.FlashErase(rig.device.EraseTime / 4);  // far too short
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  rig.link.SetMode(kModeChipErase);  // long enough, but no programming voltage
  rig.link.StrobeLow();
  rig.link.PulseTrain(rig.device.EraseTime);
  rig.link.StrobeHigh();
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  EXPECT_EQ(rig.chip->Memory()[0], 0x00);

  rig.Pulse(kModeLockBit2, 0, 0x00, 0);
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.chip->LockBits(), 0x02);
  rig.FlashErase(rig.device.EraseTime);
  EXPECT_EQ(rig.chip->EraseCount(), 1u);
  EXPECT_TRUE(rig.chip->IsBlank());
  EXPECT_EQ(rig.chip->LockBits(), 0u);
}

TEST(ChipFlash, SixPointFiveVoltPartsEraseOnlyAtTheRaisedSupply) {
  DeviceRecord d = Flash40();
  d.Vcc65 = true;
  ChipRig rig(d);
  rig.chip->Memory()[5] = 0x00;
  rig.Up();
  rig.FlashErase(rig.device.EraseTime);  // normal supply: no effect
  EXPECT_EQ(rig.chip->Memory()[5], 0x00);
  rig.link.PowerDown();

  rig.device.VccProgCode = 130;  // the erase brackets of the operations
  rig.link.PowerUp();
  rig.link.SetMode(kModeChipErase);
  rig.link.VppOn();
  rig.link.StrobeLow();  // a short pulse starts it ...
  rig.link.SettlingWrites(3);
  rig.link.StrobeHigh();
  rig.link.PulseTrain(rig.device.EraseTime / 4);  // ... holding the mode runs it
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  rig.link.PulseTrain(rig.device.EraseTime / 2);
  EXPECT_EQ(rig.chip->EraseCount(), 1u);
  EXPECT_TRUE(rig.chip->IsBlank());
}

TEST(ChipLockBits, ModesProgramLockBitsAndBitTwoOrThreeHideTheCode) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0] = 0x5A;
  rig.Up();
  rig.Pulse(kModeLockBit1, 0, 0x00, 0);
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.chip->LockBits(), 0x01);
  EXPECT_EQ(rig.ReadAt(0), 0x5A) << "lock bit 1 alone still verifies";
  rig.FlashWrite(1, 0x00);
  EXPECT_EQ(rig.chip->Memory()[1], 0xFF) << "a locked part takes no further programming";
  rig.Pulse(kModeLockBit3, 0, 0x00, 0);
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.chip->LockBits(), 0x05);
  EXPECT_NE(rig.ReadAt(0), 0x5A);
  EXPECT_EQ(rig.ReadAt(0x031, kModeReadSignature), 0x51) << "the signature stays readable";
}

TEST(ChipLockBits, LockP12PartsTakeAllLockBitsFromOneDataByte) {
  DeviceRecord d = Flash40();
  d.Option = DeviceOption::LockP12;
  ChipRig rig(d);
  rig.Up();
  rig.Pulse(kModeLockBit1, 0, 0x00, 0);  // not how this part is locked
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.chip->LockBits(), 0u);
  rig.Pulse(kModeLockBit3, 0, 0x3F, 0);
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.chip->LockBits(), 0x03);
}

TEST(ChipEprom, CellTakesDataAfterTheRecordsPulsesAtProgrammingVoltage) {
  ChipRig rig(Eprom40());
  rig.Up();
  for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x40, 0xC3, 1);
  EXPECT_EQ(rig.ReadAt(0x40), 0xC3);
  for (uint32_t i = 0; i < rig.device.ProgPulseCount; ++i) rig.Pulse(kModeWriteCode, 0x40, 0x3C, 1);
  EXPECT_EQ(rig.ReadAt(0x40), 0x00) << "bits only ever go from 1 to 0";
  for (uint32_t i = 0; i < 3; ++i) rig.Pulse(kModeLockBit2, 0, 0x00, 30);
  EXPECT_EQ(rig.chip->LockBits(), 0x02);
  EXPECT_EQ(rig.chip->PulsesSeen(), 2 * rig.device.ProgPulseCount + 3);

  std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
  rig.Pulse(kModeChipErase, 0, 0xFF, 200);
  EXPECT_EQ(rig.chip->EraseCount(), 0u) << "an EPROM has no electrical erase";
  EXPECT_EQ(rig.chip->Memory()[7], 0x00);
}

TEST(ChipEprom, TooShortPulsesOrMissingVoltageLeaveTheCellUnchanged) {
  ChipRig rig(Eprom40());
  rig.board.SetWriteDurationNs(10000);  // a board far faster than TimeBaseKorr says
  rig.Up();
  rig.Pulse(kModeWriteCode, 0x41, 0x00, 1);
  rig.link.PowerDown();
  EXPECT_EQ(rig.chip->Memory()[0x41], 0xFF);
  ASSERT_FALSE(rig.chip->Complaints().empty());
  EXPECT_NE(rig.chip->Complaints().back().find("0x0041"), std::string::npos);

  ChipRig noVpp(Eprom40());
  noVpp.Up();
  for (int i = 0; i < 40; ++i) noVpp.Pulse(kModeWriteCode, 0x42, 0x00, 1, /*vpp=*/false);
  EXPECT_EQ(noVpp.chip->Memory()[0x42], 0xFF);

  ChipRig disabled(Eprom40());
  disabled.Up();
  disabled.link.LineLatch &= static_cast<uint8_t>(~kLineEnable);
  disabled.link.WriteRegister(kRegLines, disabled.link.LineLatch);
  for (int i = 0; i < 40; ++i) disabled.Pulse(kModeWriteCode, 0x43, 0x00, 1);
  EXPECT_EQ(disabled.chip->Memory()[0x43], 0xFF);
  EXPECT_EQ(disabled.chip->PulsesSeen(), 0u);
}

TEST(ChipVoltages, LimitsFollowThePartFamilyAndOvervoltageDestroysThePart) {
  DeviceRecord old = Eprom40();
  old.VppCode = 210;
  EXPECT_EQ(sim::MakeChip(Flash40(), 85)->MaxVppMillivolts(), 13000u);
  EXPECT_EQ(sim::MakeChip(Eprom40(), 85)->MaxVppMillivolts(), 13000u);
  EXPECT_EQ(sim::MakeChip(old, 85)->MaxVppMillivolts(), 21500u);

  ChipRig rig(Eprom40());
  rig.device.VppCode = 210;  // the 21 V part picked by mistake
  rig.Up();
  for (int i = 0; i < 25; ++i) rig.Pulse(kModeWriteCode, 0, 0x00, 1);
  EXPECT_TRUE(rig.chip->Damaged());
  EXPECT_EQ(rig.chip->Memory()[0], 0xFF);

  ChipRig low(Flash40());
  low.device.VccProgCode = 80;  // 4.0 V: not enough to run the part
  low.chip->Memory()[0] = 0x12;
  low.Up();
  EXPECT_EQ(low.ReadAt(0), 0xFF);
  low.FlashWrite(1, 0x00);
  EXPECT_EQ(low.chip->Memory()[1], 0xFF);
}

TEST(ChipFaults, EachFaultShowsAsARealPartWouldShowIt) {
  sim::ChipFaults wrong;
  wrong.wrongSignature = true;
  ChipRig signature(Flash40(), wrong);
  signature.Up();
  EXPECT_NE(signature.ReadAt(0x031, kModeReadSignature), 0x51);

  sim::ChipFaults stuck;
  stuck.stuckBit = sim::StuckBit{0x08, 3, false};
  stuck.deadCell = 0x09;
  ChipRig cells(Flash40(), stuck);
  EXPECT_FALSE(cells.chip->IsBlank()) << "a bit stuck at 0 fails the blank check";
  cells.Up();
  EXPECT_EQ(cells.ReadAt(0x08), 0xF7);
  cells.FlashWrite(0x09, 0x12);
  EXPECT_EQ(cells.ReadAt(0x09), 0xFF);
  cells.FlashErase(cells.device.EraseTime);
  EXPECT_EQ(cells.chip->Memory()[0x08], 0xF7) << "the erase cannot lift a stuck bit";

  sim::ChipFaults weak;
  weak.neededPulses = 2;
  ChipRig flash(Flash40(), weak);
  flash.Up();
  flash.FlashWrite(0x0A, 0x00);
  EXPECT_EQ(flash.ReadAt(0x0A), 0xFF);
  flash.FlashWrite(0x0A, 0x00);
  EXPECT_EQ(flash.ReadAt(0x0A), 0x00);
  weak.neededPulses = 26;
  ChipRig eprom(Eprom40(), weak);
  eprom.Up();
  for (int i = 0; i < 25; ++i) eprom.Pulse(kModeWriteCode, 0x0B, 0x00, 1);
  EXPECT_EQ(eprom.chip->Memory()[0x0B], 0xFF) << "the record's 25 pulses are not enough";

  sim::ChipFaults used;
  used.notBlank = true;
  EXPECT_EQ(sim::MakeChip(Flash40(), 85, used)->Memory()[15], 15);

  sim::ChipFaults empty;
  empty.emptySocket = true;
  ChipRig socket(Flash40(), empty);
  EXPECT_FALSE(socket.chip->Present());
  socket.chip->Memory()[0] = 0x00;
  socket.Up();
  EXPECT_EQ(socket.ReadAt(0), 0xFF);
  socket.FlashWrite(1, 0x00);
  EXPECT_EQ(socket.chip->Memory()[1], 0xFF);
}

class ChipStateFile : public ::testing::Test {
protected:
  std::string Path(const std::string& name) const { return scratch_.Slash() + name; }
  test::ScratchDirectory scratch_{"tav_chip_state"};
};

TEST_F(ChipStateFile, RoundTripKeepsMemoryAndLockBits) {
  ChipRig first(Flash40());
  first.chip->Memory()[0] = 0x02;
  first.chip->Memory()[4095] = 0x00;
  first.Up();
  first.Pulse(kModeLockBit1, 0, 0x00, 0);
  first.link.PulseTrain(first.device.ProgPulseTime);
  const std::string path = Path("roundtrip.chip");
  ASSERT_TRUE(first.chip->SaveState(path)) << first.chip->StateError();

  auto second = sim::MakeChip(Flash40(), 85);
  ASSERT_TRUE(second->LoadState(path)) << second->StateError();
  EXPECT_EQ(second->Memory(), first.chip->Memory());
  EXPECT_EQ(second->LockBits(), 0x01);
}

TEST_F(ChipStateFile, ForeignOrDamagedFilesAreRefusedAndChangeNothing) {
  auto source = sim::MakeChip(Flash40(), 85);
  source->Memory()[3] = 0x00;
  const std::string path = Path("good.chip");
  ASSERT_TRUE(source->SaveState(path));
  std::ifstream in(path, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});

  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(Path(name), std::ios::binary) << content;
    return Path(name);
  };
  std::string flipped = good;
  flipped[flipped.size() - 10] ^= 0x01;
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {Path("missing.chip"), "kann nicht geöffnet werden"},
      {write("foreign.chip", "some other file\n"), "Zeile 1"},
      {write("flipped.chip", flipped), "Prüfsumme"},
      {write("short.chip", good.substr(0, good.size() - 1)), "4095 Datenbytes statt 4096"},
      {write("long.chip", good + "x"), "mehr als 4096 Datenbytes"},
      {write("header.chip", good.substr(0, 31)), "Zeile 3"},
  };
  auto target = sim::MakeChip(Flash40(), 85);
  target->Memory()[7] = 0x77;
  const auto before = target->Memory();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(target->LoadState(c.path));
    EXPECT_NE(target->StateError().find(c.expected), std::string::npos) << target->StateError();
    EXPECT_NE(target->StateError().find(c.path), std::string::npos);
    EXPECT_EQ(target->Memory(), before);
  }

  auto other = sim::MakeChip(Flash20(), 85);
  EXPECT_FALSE(other->LoadState(path));
  EXPECT_NE(other->StateError().find("AT89C51"), std::string::npos);
  DeviceRecord bigger = Flash40();
  bigger.SizeBytes = 8192;
  auto sameName = sim::MakeChip(bigger, 85);
  EXPECT_FALSE(sameName->LoadState(path));
  EXPECT_NE(sameName->StateError().find("Zeile 3"), std::string::npos);
}

}  // namespace
}  // namespace tav
