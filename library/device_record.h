// SPDX-License-Identifier: GPL-2.0-or-later
// The one current device, as parsed from its line of the device library.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

enum class DeviceOption { None, A14, Option, LockP12 };

// The manufacturer byte that makes a 20-pin part the edge variant: its
// address counter steps on every level change of the clock and it enters
// programming mode by its own sequence.
inline constexpr uint8_t kEdgeVariantId = 0xE0;

struct DeviceRecord {
  std::string DeviceName;
  uint8_t Package = 0;           // 20 or 40 pins
  uint8_t VppCode = 0;           // programming voltage, 100 mV per step
  uint8_t VccProgCode = 0;       // supply in programming mode, 50 mV per step
  uint32_t ProgPulseTime = 0;    // time-base units
  uint32_t ProgPulseCount = 0;
  uint32_t LockPulseCount = 0;
  uint32_t EraseTime = 0;        // time-base units; 0 = no electrical erase
  uint8_t ManufacturerId000 = 0; // kEdgeVariantId selects the 20-pin edge variant
  uint8_t DeviceIdDip20 = 0;
  uint8_t ManufacturerId030 = 0;
  uint8_t DeviceId031 = 0;
  uint8_t DeviceId032 = 0;
  uint8_t DeviceId060 = 0;
  uint8_t DeviceId100 = 0;
  uint8_t DeviceId200 = 0;
  bool P33High = false;
  uint32_t SizeBytes = 0;        // 1 .. 65536
  uint8_t LockBitCount = 0;      // 0 .. 3
  DeviceOption Option = DeviceOption::None;
  bool Vcc65 = false;
  bool KVp = false;

  // What kind of part this is. The library has no field for it; these are
  // the one reading of the fields that say it.
  // An erase time marks the electrically erasable (flash) parts.
  bool IsFlash() const { return EraseTime != 0; }
  bool IsEprom() const { return EraseTime == 0; }
  // 20-pin parts are addressed through their internal counter, 40-pin parts
  // through the address registers.
  bool IsDip20() const { return Package == 20; }
  bool IsDip40() const { return Package == 40; }
  // Only a 20-pin part can be the edge variant; on a 40-pin part 0xE0 is an
  // ordinary manufacturer byte.
  bool IsEdgeVariant() const { return IsDip20() && ManufacturerId000 == kEdgeVariantId; }
};

}  // namespace tav
