// The one current device, as parsed from its line of the device library.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

enum class DeviceOption { None, A14, Option, LockP12 };

struct DeviceRecord {
  std::string DeviceName;
  uint8_t Package = 0;           // 20 or 40 pins
  uint8_t VppCode = 0;           // programming voltage, 100 mV per step
  uint8_t VccProgCode = 0;       // supply in programming mode, 50 mV per step
  uint32_t ProgPulseTime = 0;    // time-base units
  uint32_t ProgPulseCount = 0;
  uint32_t LockPulseCount = 0;
  uint32_t EraseTime = 0;        // time-base units; 0 = no electrical erase
  uint8_t ManufacturerId000 = 0; // 0xE0 selects the 20-pin edge variant
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
};

}  // namespace tav
