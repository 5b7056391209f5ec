// SPDX-License-Identifier: GPL-2.0-or-later
// The CRC-32 of zlib, PNG and zip (reflected polynomial 0xEDB88320), so that
// a checksum the program shows can be compared with `crc32` or any zip tool.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tav {

// Feeds `size` bytes into a running CRC; start with 0 and chain the results.
inline uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace tav
