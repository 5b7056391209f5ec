// SPDX-License-Identifier: GPL-2.0-or-later
// The one in-memory copy of a controller's program memory.
#pragma once

#include <array>
#include <cstdint>

namespace tav {

struct ProgramImage {
  static constexpr uint32_t kSize = 0x10000;
  static constexpr uint8_t kBlank = 0xFF;

  std::array<uint8_t, kSize> Bytes{};
  uint32_t ByteCount = 0;       // data bytes delivered by the last file load
  uint32_t HighestAddress = 0;  // highest address met by the last file load

  ProgramImage() { Bytes.fill(kBlank); }

  // Before a file load: all bytes blank, ByteCount 0.
  void PrepareForLoad() {
    Bytes.fill(kBlank);
    ByteCount = 0;
  }
  // The store rule of the file readers: a later record wins; bytes at or
  // above 0x10000 are counted and raise HighestAddress but are not stored.
  void Store(uint32_t address, uint8_t value) {
    if (address < kSize) Bytes[address] = value;
    if (address > HighestAddress) HighestAddress = address;
    ++ByteCount;
  }
  // Before a device read: the device's range blank; counts unchanged.
  void PrepareForDeviceRead(uint32_t sizeBytes) {
    for (uint32_t i = 0; i < sizeBytes && i < kSize; ++i) Bytes[i] = kBlank;
  }
};

}  // namespace tav
