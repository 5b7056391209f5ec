// A small stand-in for the programmer board and the chip in its socket, for
// the unit tests of the device operations: it answers every handshake at
// once, records each register write, decodes what the voltage converters
// were loaded with, and keeps a code memory that the write and erase pulses
// change the way an 8051 part does (programming can only clear bits).
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "app/scripted_feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/port_io.h"
#include "link/programmer_link.h"
#include "operations/operation_context.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"

namespace tav::testing {

struct RegisterWrite {
  uint8_t reg;
  uint8_t value;
};

class TestBoard : public PortIo {
public:
  explicit TestBoard(uint16_t base = 0x378) : base_(base) { memory.fill(0xFF); }

  void Out(uint16_t address, uint8_t value) override {
    if (address == base_) {
      data_ = value;
      return;
    }
    if (address != base_ + 2 || Silent()) return;
    if ((value & 0x01) == 0) {
      status_ |= 0x80;  // register number taken
      return;
    }
    Latch(static_cast<uint8_t>(value & 0x0E), data_);
    status_ = static_cast<uint8_t>(ReadBackNibble(value & 0x0E));
  }
  uint8_t In(uint16_t address) override {
    if (address != base_ + 1) return 0xFF;
    return Silent() ? static_cast<uint8_t>(status_ & 0x7F) : status_;
  }

  // The chip.
  std::array<uint8_t, 0x10000> memory{};
  std::array<uint8_t, 0x400> signature{};  // 40-pin: by address; 20-pin: by counter position
  std::set<uint32_t> stuckCells;           // cells that never take a programmed value
  uint8_t lockedReadValue = 0xFF;          // what address 0 reads after a lock bit 2 or 3
  bool locked = false;
  uint32_t addressMask = 0xFFFF;           // address lines the chip has
  bool dip20 = false;

  // The record.
  std::vector<RegisterWrite> writes;
  std::vector<std::pair<uint8_t, uint8_t>> loadedVoltages;  // (Vcc, Vpp) at every load strobe
  std::vector<uint8_t> lockModes;                           // mode code of every lock pulse
  std::vector<std::pair<uint8_t, uint32_t>> reads;          // (mode, address) of every data read
  uint32_t erasePulses = 0;
  int64_t silentAfterWrites = -1;
  uint32_t counter = 0;
  std::array<uint8_t, 16> regs{};

  bool SocketAtRest() const {
    return (regs[8] & 0x90) == 0 && (regs[4] & 0xC0) == 0 && (regs[0] & 0x0F) == 0 && vcc_ == 0 && vpp_ == 0;
  }
  bool SupplyOn() const { return (regs[8] & 0x80) != 0; }
  uint8_t Mode() const { return regs[0] & 0x0F; }
  uint32_t Address() const {
    if (dip20) return counter & addressMask;
    return (regs[6] | (uint32_t(regs[2] & 0x7F) << 8)) & addressMask;
  }
  size_t CountWrites(uint8_t reg) const {
    size_t n = 0;
    for (const auto& w : writes) n += w.reg == reg;
    return n;
  }

private:
  bool Silent() const { return silentAfterWrites >= 0 && int64_t(writes.size()) >= silentAfterWrites; }

  void Latch(uint8_t reg, uint8_t value) {
    const uint8_t old = regs[reg];
    regs[reg] = value;
    writes.push_back({reg, value});
    if (reg == 6 && (value & 1) && !(old & 1)) ++counter;
    // A data read rewrites register 4 and then register 8 unchanged, with
    // the data lines released.
    if (reg == 8 && value == old && previousReg_ == 4 && SupplyOn() && regs[10] == 0xFF) {
      reads.emplace_back(Mode(), Address());
    }
    previousReg_ = reg;
    if (reg == 4) LinesChanged(old, value);
  }

  void LinesChanged(uint8_t old, uint8_t now) {
    if ((now & 0x01) && !(old & 0x01)) shift_ = uint16_t((shift_ << 1) | ((now >> 1) & 1));
    if ((now & 0x04) && !(old & 0x04)) {
      vcc_ = uint8_t(shift_ >> 8);
      vpp_ = uint8_t(shift_ & 0xFF);
      loadedVoltages.emplace_back(vcc_, vpp_);
    }
    if (!(now & 0x80) && (old & 0x80)) counter = 0;  // enable dropped: counter reset
    const bool strobeFell = (old & 0x40) && !(now & 0x40);
    if (strobeFell && SupplyOn() && (regs[8] & 0x10)) Pulse();
  }

  void Pulse() {
    const uint8_t mode = Mode();
    if (mode == 14 && !stuckCells.count(Address())) memory[Address()] &= regs[10];
    if (mode == 1) {
      ++erasePulses;
      memory.fill(0xFF);
      locked = false;
    }
    if (mode == 15 || mode == 3 || mode == 5) {
      lockModes.push_back(mode);
      if (mode != 15) locked = true;
    }
  }

  uint8_t ChipData() const {
    if (!SupplyOn() || regs[10] != 0xFF) return regs[10];
    if (Mode() == 12) return locked && Address() == 0 ? lockedReadValue : memory[Address()];
    if (Mode() == 0) return signature[Address() & 0x3FF];
    return 0xFF;
  }

  // The status byte after a write: the handshake low and, after registers 4
  // and 8, one half of the data lines on status bits 6, 3, 4, 5.
  uint8_t ReadBackNibble(uint8_t reg) const {
    if (reg != 4 && reg != 8) return 0;
    const uint8_t nibble = reg == 4 ? (ChipData() & 0x0F) : (ChipData() >> 4);
    return uint8_t(((nibble & 1) << 6) | ((nibble & 2) << 2) | ((nibble & 4) << 2) | ((nibble & 8) << 2));
  }

  uint16_t base_;
  uint8_t data_ = 0;
  uint8_t status_ = 0;
  uint16_t shift_ = 0;
  uint8_t previousReg_ = 0xFF;
  uint8_t vcc_ = 0;
  uint8_t vpp_ = 0;
};

// A small 40-pin flash part (1 KiB keeps the loops short).
inline DeviceRecord SmallFlash40() {
  DeviceRecord d;
  d.DeviceName = "TESTFLASH40";
  d.Package = 40;
  d.VppCode = 120;
  d.VccProgCode = 100;
  d.ProgPulseTime = 10;
  d.ProgPulseCount = 1;
  d.LockPulseCount = 1;
  d.EraseTime = 20;
  d.ManufacturerId030 = 0x1E;
  d.DeviceId031 = 0x51;
  d.SizeBytes = 1024;
  d.LockBitCount = 3;
  return d;
}

// A small 20-pin flash part.
inline DeviceRecord SmallFlash20() {
  DeviceRecord d = SmallFlash40();
  d.DeviceName = "TESTFLASH20";
  d.Package = 20;
  d.ManufacturerId000 = 0x1E;
  d.DeviceIdDip20 = 0x21;
  d.ManufacturerId030 = 0;
  d.DeviceId031 = 0;
  d.LockBitCount = 2;
  return d;
}

// A small 40-pin EPROM part.
inline DeviceRecord SmallEprom40() {
  DeviceRecord d = SmallFlash40();
  d.DeviceName = "TESTEPROM40";
  d.EraseTime = 0;
  d.ProgPulseTime = 3;
  d.ProgPulseCount = 2;
  d.LockPulseCount = 2;
  d.LockBitCount = 2;
  return d;
}

// Everything an operation needs, fresh for every test.
struct Rig {
  explicit Rig(const DeviceRecord& d) : device(d) {
    settings.MessageBeap = 0;
    board.addressMask = d.SizeBytes - 1;
    board.dip20 = d.Package == 20;
    if (board.dip20) {
      board.signature[0] = d.ManufacturerId000;
      board.signature[1] = d.DeviceIdDip20;
    } else {
      board.signature[0x030] = d.ManufacturerId030;
      board.signature[0x031] = d.DeviceId031;
    }
  }
  void LoadImage(const std::vector<std::pair<uint32_t, uint8_t>>& bytes) {
    image.PrepareForLoad();
    image.HighestAddress = 0;
    for (const auto& [address, value] : bytes) image.Store(address, value);
  }

  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{settings.MessageBeap};
  TestBoard board;
  ProgrammerLink link{board, settings, device, feedback};
  OperationContext ctx{link, device, image, settings, feedback};
  test::ScratchDirectory scratch{"tav_ops"};  // for files an operation may write
};

}  // namespace tav::testing
