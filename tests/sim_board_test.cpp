// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board and chips. The board at port level: the electrical rules, the fault names and the real-time pace.
// The chips under hand-written register sequences: a right one works, a
// wrong one (no voltage, short pulse, wrong mode or supply) changes nothing,
// as real silicon would.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <initializer_list>
#include <string>
#include <tuple>

#include "sim/fault_names.h"
#include "sim/pin_recorder_chip.h"
#include "tests/files_test_rig.h"
#include "tests/sample_library.h"
#include "tests/sim_rig.h"

namespace tav::sim {
namespace {

constexpr uint16_t kBase = 0x378;

// One complete register write at port level, as the link performs it.
void Write(SimBoard& board, uint8_t reg, uint8_t value) {
  board.Out(kBase, value);
  board.Out(kBase + 2, reg);
  board.Out(kBase + 2, reg | 1);
}

TEST(Monitor, EachRuleIsCaughtOnceWhenProvoked) {
  // After the converters are loaded (supply code, programming code; MSB
  // first, supply first), the last write of each row breaks the rule, none
  // before it does.
  const struct {
    uint16_t converters;
    std::vector<std::array<uint8_t, 2>> writes;
    const char* rule;
  } cases[] = {
      {0x6400, {{8, 0x10}}, kRuleVppWithoutSupply},
      {0x6400, {{8, 0x80}, {8, 0x90}, {8, 0x10}}, kRuleSupplyOffUnderVpp},
      {0x6482, {{8, 0x90}}, kRuleVppAboveLimit},  // 13 V prepared while switched off: allowed
      {0x6400, {{4, 0x40}, {0, 14}, {4, 0x00}, {0, 14}, {0, 1}}, kRuleModeChangeWhileStrobeLow},  // strobe high; same mode
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    SimBoard board;
    board.InsertChip(std::make_shared<PinRecorderChip>(40, false, 12500));
    for (int bit = 15; bit >= 0; --bit)
      for (const uint8_t clock : {0, 1}) Write(board, 4, static_cast<uint8_t>(((c.converters >> bit) & 1) << 1 | clock));
    for (const uint8_t load : {0x04, 0x00}) Write(board, 4, load);
    for (const auto& [reg, value] : c.writes) {
      EXPECT_TRUE(board.Violations().empty());
      Write(board, reg, value);
    }
    Write(board, c.writes.back()[0], c.writes.back()[1]);  // a lasting state is one violation, not one per write
    // What the command line tells the user about it.
    EXPECT_EQ(HarmReport(board, {}, false), std::vector<std::string>{"Simulator: elektrische Regel verletzt (Registerzugriff " +
                                                                      std::to_string(board.CompletedWrites() - 1) + "): " + c.rule});
  }
  EXPECT_EQ(HarmReport(SimBoard{}, {"Spannung zu hoch"}, true),
            (std::vector<std::string>{"Simulator: Baustein beanstandet: Spannung zu hoch", "Simulator: Baustein beschädigt."}));
}

// The fault names both front ends take from their command lines, at their bounds.
TEST(FaultNames, EachNameSetsItsFaultAndAnythingOutOfRangeIsRefused) {
  ChipFaults chip;
  for (const char* name : {"empty-socket", "wrong-signature", "not-blank", "stuck-bit:0xFFFF:7:1", "dead-cell:0x10",
                           "weak:99999"})
    EXPECT_TRUE(ApplyChipFault(name, chip)) << name;
  ASSERT_TRUE(chip.stuckBit && chip.deadCell);
  EXPECT_EQ(std::tuple(chip.emptySocket, chip.wrongSignature, chip.notBlank, chip.stuckBit->address,
                       int{chip.stuckBit->bit}, chip.stuckBit->level, *chip.deadCell, chip.neededPulses),
            std::tuple(true, true, true, 0xFFFFu, 7, true, 0x10u, 99999u));
  BoardFaults board;
  for (const char* name : {"no-board", "handshake-low", "broken-latch", "silent-after=12"})
    EXPECT_TRUE(ApplyBoardFault(name, board)) << name;
  EXPECT_EQ(std::tuple(board.noBoard, board.handshakeStuckLow, board.brokenDataLatch, board.silentAfterWrites),
            std::tuple(true, true, true, 12));

  for (const char* name : {"", "stuck-bit:0x10000:0:0", "stuck-bit:0:8:0", "stuck-bit:0:0:2", "stuck-bit:0:0",
                           "dead-cell:0x10000", "dead-cell:-1", "weak:0", "weak:100000", "weak:2:2", "weak:3x"}) {
    ChipFaults untouched;
    EXPECT_FALSE(ApplyChipFault(name, untouched)) << name;
    EXPECT_FALSE(untouched.stuckBit || untouched.deadCell || untouched.neededPulses) << name;
  }
  for (const char* name : {"silent-after", "silent-after:-1", "silent:5", "silent-after:9223372036854775808"})
    EXPECT_FALSE(ApplyBoardFault(name, board)) << name;
}

// Real time paces every stretch of work from its own start: after the board
// sat idle, a second of virtual time still takes a second, not nothing.
TEST(Realtime, EachStretchAfterAnIdleWindowTakesItsOwnTime) {
  SimBoard board(kBase);
  SimBoard::WallTime wall{};
  board.SetWallClock([&] { return wall; }, [&](SimBoard::WallTime until) { wall = std::max(wall, until); });
  board.SetWriteDurationNs(100'000);
  board.SetRealtime(true);
  for (const auto idle : {std::chrono::seconds(0), std::chrono::seconds(100)}) {
    wall += idle;
    const SimBoard::WallTime start = wall;
    for (int i = 0; i < 10'000; ++i) Write(board, 4, 0);  // one virtual second
    EXPECT_NEAR((std::chrono::duration<double, std::milli>(wall - start).count()), 995, 5);
  }
}

// A 12 V flash part with 2000 µs polling and a 10 ms erase, and a 12.75 V
// EPROM taking 25 pulses of 100 µs (1 unit), as the sample library has them.
DeviceRecord Flash40() { return test::LibraryDevice("AT89C51"); }
DeviceRecord Eprom40() { return test::LibraryDevice("87C51"); }

// The chip in the socket, with faults by their command-line names, powered
// up as every operation begins.
struct ChipRig : test::SimRig {
  explicit ChipRig(const DeviceRecord& d, std::initializer_list<const char*> faults = {}) : SimRig(d, Faults(faults)) {
    link.ResetOutputs();
    link.PowerUp();
  }
  static ChipFaults Faults(std::initializer_list<const char*> names) {
    ChipFaults faults;
    for (const char* name : names) EXPECT_TRUE(ApplyChipFault(name, faults)) << name;
    return faults;
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

  rig.Pulse(kModeWriteCode, 0x10, 0x00, 0, /*vpp=*/false);  // discarded, and said so
  ASSERT_EQ(rig.chip->Complaints().size(), 1u);
  EXPECT_EQ(rig.chip->Complaints()[0].rfind("Schreibimpuls an 0x0010 verworfen", 0), 0u);
  rig.Pulse(kModeWriteCode, 0x10, 0xBF, 0);
  EXPECT_EQ(rig.ReadAt(0x10) & 0x80, 0x00) << "polling within the write time shows the complement of bit 7 of 0xBF";
  rig.link.PulseTrain(rig.device.ProgPulseTime);
  EXPECT_EQ(rig.link.ReadDataByte(), 0xB0) << "0xF0 AND 0xBF: a write never sets a bit";

  rig.FlashCycle(kModeLockBit1, 0, 0x00);
  EXPECT_EQ(rig.ReadAt(0), 0x5A) << "lock bit 1 alone still verifies";
  rig.FlashCycle(kModeWriteCode, 1, 0x00);
  EXPECT_EQ(rig.chip->Memory()[1], 0xFF) << "a locked part takes no further programming";
  rig.FlashCycle(kModeLockBit3, 0, 0x00);
  EXPECT_EQ(rig.chip->LockBits(), 0x05);
  EXPECT_NE(rig.ReadAt(0), 0x5A);

  DeviceRecord d = Flash40();
  d.Option = DeviceOption::LockP12;  // all lock bits from one data byte, each line low sets its bit
  ChipRig p12(d);
  p12.chip->Memory()[0] = 0x5A;
  for (const auto& [mode, data, bits] : {std::tuple(kModeLockBit1, 0x00, 0), {kModeLockBit3, 0xBF, 2}, {kModeLockBit3, 0x3F, 3}}) {
    p12.FlashCycle(mode, 0, data);
    EXPECT_EQ(p12.chip->LockBits(), bits);
  }
  EXPECT_NE(p12.ReadAt(0), 0x5A);

  d.SizeBytes = 0x10000;  // parts above 32 KiB take A15 from register 2 bit 7
  ChipRig big(d);
  big.FlashCycle(kModeWriteCode, 0x8000, 0x55);
  EXPECT_EQ(std::tuple(big.chip->Memory()[0x8000], big.ReadAt(0x8000), big.ReadAt(0)), std::tuple(0x55, 0x55, 0xFF));
}

TEST(ChipFlash, EraseNeedsItsTimeAtProgrammingVoltageOrRaisedSupplyAndClearsLockBits) {
  ChipRig rig(Flash40());
  rig.chip->Memory()[0] = 0x00;
  rig.FlashCycle(kModeChipErase, 0, 0xFF, rig.device.EraseTime / 4);  // far too short
  rig.Pulse(kModeChipErase, 0, 0xFF, rig.device.EraseTime, /*vpp=*/false);
  EXPECT_EQ(rig.chip->EraseCount(), 0u);
  rig.FlashCycle(kModeLockBit2, 0, 0x00);
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
  raised.Pulse(kModeChipErase, 0, 0xFF, 0);         // a short pulse starts it ...
  raised.link.PulseTrain(raised.device.EraseTime);  // ... holding the mode runs it
  EXPECT_TRUE(raised.chip->IsBlank());
}

TEST(ChipFaults, EachFaultShowsAsARealPartWouldShowIt) {
  ChipRig weak(Flash40(), {"stuck-bit:0x08:3:0", "weak:2"});
  EXPECT_EQ(weak.ReadAt(0x08), 0xF7);
  weak.FlashCycle(kModeChipErase, 0, 0xFF, weak.device.EraseTime);
  EXPECT_EQ(weak.chip->Memory()[0x08], 0xF7) << "a bit stuck at 0 survives the erase";
  for (const uint8_t expected : {0xFF, 0x00}) {  // a cell that needs two write cycles
    weak.FlashCycle(kModeWriteCode, 0x0A, 0x00);
    EXPECT_EQ(weak.ReadAt(0x0A), expected);
  }
  // An EPROM takes only pulses of full length, and as many as it needs.
  ChipRig eprom(Eprom40(), {"weak:26"});
  for (int i = 0; i < 25; ++i) eprom.Pulse(kModeWriteCode, 0x0B, 0x00, 1);
  EXPECT_EQ(eprom.chip->Memory()[0x0B], 0xFF) << "the record's 25 pulses are not enough";
  eprom.board.SetWriteDurationNs(10000);  // a board far faster than TimeBaseKorr says
  for (int i = 0; i < 26; ++i) eprom.Pulse(kModeWriteCode, 0x0C, 0x00, 1);
  eprom.link.PowerDown();  // a cell left short of its time says so
  EXPECT_EQ(eprom.chip->Complaints().back().rfind("Zelle 0x000C: Programmierzeit", 0), 0u);
  ChipRig socket(Flash40(), {"empty-socket"});
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
  auto second = MakeChip(Flash40(), 85);
  ASSERT_TRUE(second->LoadState(dir + "good.chip")) << second->StateError();
  EXPECT_EQ(std::pair(second->Memory(), second->LockBits()), std::pair(first.chip->Memory(), uint8_t{0x01}));

  const std::string good = test::ReadFile(dir + "good.chip"), cut = good.substr(0, good.size() - 1);
  const struct { std::string file, content, message; } cases[] = {
      {"missing.chip", "", ": kann nicht geöffnet werden"},
      {"flipped.chip", cut + char(good.back() ^ 0x01), ": Prüfsumme stimmt nicht, Datei ist beschädigt"},
      {"short.chip", cut, ": 4095 Datenbytes statt 4096, Datei ist beschädigt"},
      {"other.chip", "Tavrolith\n" + good, ", Zeile 1: keine Tavrolith-Chipdatei"},
      {"good.chip", "", ", Zeile 2: gehört zu Baustein 'AT89C51', nicht zu '87C51'"},  // read by an EPROM
  };
  for (const auto& [file, content, message] : cases) {
    SCOPED_TRACE(file);
    if (!content.empty()) test::WriteFile(dir + file, content);
    auto target = MakeChip(file == "good.chip" ? Eprom40() : Flash40(), 85);
    target->Memory()[7] = 0x00;
    EXPECT_FALSE(target->LoadState(dir + file));
    EXPECT_EQ(target->StateError(), "Chipdatei '" + dir + file + "'" + message);
    EXPECT_EQ(target->Memory()[7], 0x00) << "left unchanged";
  }
}

}  // namespace
}  // namespace tav::sim
