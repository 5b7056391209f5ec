// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board with a simple chip in its socket, for the register-level
// tests of the device operations. The chip answers at once, without the
// timing limits of a real part, and keeps a code memory that write and erase
// pulses change the way an 8051 part does (programming only clears bits); the
// board picks the data reads out of the register writes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "tests/scratch_directory.h"
#include "tests/sim_rig.h"

namespace tav::testing {

class TestChip : public sim::SocketChip {
public:
  TestChip(uint8_t package, uint32_t sizeBytes) : package_(package), mask_(sizeBytes - 1) { memory.fill(0xFF); }

  // A pulse starts when the strobe line falls with supply and programming voltage on.
  void OnPins(const sim::SocketPins& pins, uint64_t) override {
    if (strobeHigh_ && !pins.strobe && pins.supplyOn && pins.vppOn) Pulse(pins);
    strobeHigh_ = pins.strobe;
  }
  std::optional<uint8_t> DrivenData(const sim::SocketPins& pins, uint64_t) override {
    if (!pins.supplyOn) return std::nullopt;
    if (pins.mode == 12) return locked && Cell(pins) == 0 ? 0xFF : memory[Cell(pins)];
    if (pins.mode == 0) return signature[Cell(pins) & 0x3FF];
    return std::nullopt;
  }
  uint8_t Package() const override { return package_; }
  uint32_t MaxVppMillivolts() const override { return 21000; }
  std::string Name() const override { return "Testbaustein"; }

  std::array<uint8_t, 0x10000> memory{};
  std::array<uint8_t, 0x400> signature{};  // 40-pin: by address; 20-pin: by counter position
  bool locked = false;                     // lock bit 2 or 3 programmed: address 0 reads 0xFF
  uint32_t erasePulses = 0;
  std::vector<uint32_t> programPulses;                  // cell | P3.3 << 15 of every program pulse
  std::vector<std::pair<uint8_t, uint8_t>> lockPulses;  // (mode, data lines) of every lock pulse
  std::vector<uint32_t> pulseSupplies;                  // supply in mV at every pulse of any kind

  // The cell the lines select: the counter of a 20-pin part, or the address
  // lines of a 40-pin part, less those above its size (they may be held high).
  uint32_t Cell(const sim::SocketPins& pins) const {
    return (package_ == 20 ? pins.counter : pins.Address40()) & mask_;
  }

private:
  void Pulse(const sim::SocketPins& pins) {
    pulseSupplies.push_back(pins.vccMillivolts);
    if (pins.mode == 14) {
      programPulses.push_back(Cell(pins) | pins.P33() << 15);
      memory[Cell(pins)] &= pins.dataRegister;
    }
    if (pins.mode == 1) {
      ++erasePulses;
      memory.fill(0xFF);
      locked = false;
    }
    if (pins.mode == 15 || pins.mode == 3 || pins.mode == 5) {
      lockPulses.emplace_back(pins.mode, pins.dataRegister);
      locked |= pins.mode != 15;
    }
  }

  uint8_t package_;
  uint32_t mask_;
  bool strobeHigh_ = false;
};

class TestBoard : public sim::SimBoard {
public:
  void Out(uint16_t address, uint8_t value) override {
    if (address == kControlPort && !(value & 1)) pending_ = value & 0x0E;  // the register number
    const uint64_t before = CompletedWrites();
    const uint8_t old = Register(pending_);
    SimBoard::Out(address, value);
    if (CompletedWrites() == before) return;
    const uint8_t now = Register(pending_);
    // A data read rewrites register 4 and then register 8 unchanged, with the
    // data lines released. P3.3 is recorded as address bit 15.
    if (pending_ == 8 && now == old && previous_ == 4 && Pins().supplyOn && Pins().dataRegister == 0xFF) {
      reads.emplace_back(Pins().mode, static_cast<TestChip*>(Chip())->Cell(Pins()) | Pins().P33() << 15);
    }
    previous_ = pending_;
  }

  std::vector<std::pair<uint8_t, uint32_t>> reads;  // (mode, address) of every data read

private:
  static constexpr uint16_t kControlPort = 0x378 + 2;
  uint8_t pending_ = 0;
  uint8_t previous_ = 0;  // register of the last completed write
};

// A small part, 1 KiB to keep the loops short: flash or EPROM, 40 or 20 pins.
inline DeviceRecord SmallPart(uint8_t package, bool flash = true) {
  const bool dip20 = package == 20;
  return {.DeviceName = (flash ? "TESTFLASH" : "TESTEPROM") + std::to_string(package), .Package = package,
          .VppCode = 120, .VccProgCode = 100, .ProgPulseTime = flash ? 10u : 3u, .ProgPulseCount = flash ? 1u : 2u,
          .LockPulseCount = flash ? 1u : 2u, .EraseTime = flash ? 20u : 0u,
          .ManufacturerId000 = uint8_t(dip20 ? 0x1E : 0), .DeviceIdDip20 = uint8_t(dip20 ? 0x21 : 0),
          .ManufacturerId030 = uint8_t(dip20 ? 0 : 0x1E), .DeviceId031 = uint8_t(dip20 ? 0 : 0x51),
          .SizeBytes = 1024, .LockBitCount = uint8_t(flash && !dip20 ? 3 : 2)};
}

// Everything an operation needs, fresh for every test, the chip answering
// with the device's signature.
struct Rig : test::BoardRig<TestBoard> {
  explicit Rig(const DeviceRecord& d) : BoardRig(d), chip(std::make_shared<TestChip>(d.Package, d.SizeBytes)) {
    board.InsertChip(chip);
    chip->signature[0x000] = d.ManufacturerId000;  // 20 pins: counter positions 0 and 1
    chip->signature[0x001] = d.DeviceIdDip20;
    chip->signature[0x030] = d.ManufacturerId030;
    chip->signature[0x031] = d.DeviceId031;
  }

  std::shared_ptr<TestChip> chip;
  test::ScratchDirectory scratch{"tav_ops"};  // for files an operation may write
};

}  // namespace tav::testing
