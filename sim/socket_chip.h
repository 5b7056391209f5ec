// SPDX-License-Identifier: GPL-2.0-or-later
// What a simulated chip sees of the board, and what it must answer. The
// board calls OnPins after every register write; it asks DrivenData whenever
// it needs the level of the data lines. Chip models (flash, EPROM, a pin
// recorder) implement this interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tav::sim {

struct SocketPins {
  bool supplyOn = false;        // register 8 bit 7: socket supply switched on
  bool vppOn = false;           // register 8 bit 4: programming voltage to the chip
  uint32_t vccMillivolts = 0;   // supply converter output (50 mV a step)
  uint32_t vppMillivolts = 0;   // programming-voltage converter output (100 mV a step)
  uint8_t mode = 0;             // register 0, low four bits
  uint8_t addressLow = 0;       // register 6
  uint8_t addressHigh = 0;      // register 2 as written (forced bits and P3.3 included)
  bool strobe = false;          // register 4 bit 6: programming strobe line (active low)
  bool enable = false;          // register 4 bit 7: device enable line
  uint8_t dataRegister = 0;     // register 10: byte driven to the data lines (0xFF releases them)
  uint32_t counter = 0;         // 20-pin internal address counter as the socket tracks it

  // The address on the lines of a 40-pin chip: A0..A14 from registers 6 and
  // 2; bit 7 of register 2 is the P3.3 line, not an address line.
  uint32_t Address40() const { return addressLow | (uint32_t(addressHigh & 0x7F) << 8); }
  // Parts above 32 KiB need A15 too: for them bit 7 of register 2 is an
  // address line (the programmer has no other line for it).
  uint32_t Address40(uint32_t sizeBytes) const {
    return sizeBytes > 0x8000 ? addressLow | (uint32_t(addressHigh) << 8) : Address40();
  }
  bool P33() const { return (addressHigh & 0x80) != 0; }
  // Voltages as the chip sees them.
  uint32_t ChipVcc() const { return supplyOn ? vccMillivolts : 0; }
  uint32_t ChipVpp() const { return vppOn ? vppMillivolts : 0; }
};

class SocketChip {
public:
  virtual ~SocketChip() = default;
  // After every completed register write; `nowNs` is the virtual time at its end.
  virtual void OnPins(const SocketPins& pins, uint64_t nowNs) = 0;
  // The byte the chip drives on the data lines now, or nothing when it does
  // not drive them (not powered, not in a read mode, ...).
  virtual std::optional<uint8_t> DrivenData(const SocketPins& pins, uint64_t nowNs) = 0;
  virtual uint8_t Package() const = 0;               // 20 or 40
  virtual bool EdgeVariant() const { return false; } // 20-pin counter steps on every level change
  virtual uint32_t MaxVppMillivolts() const = 0;     // electrical limit of the part
  virtual std::string Name() const = 0;
};

}  // namespace tav::sim
