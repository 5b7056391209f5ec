// SPDX-License-Identifier: GPL-2.0-or-later
// Assembles one record line in upper-case hex with a running byte sum.
#pragma once

#include <cstdint>
#include <string_view>

namespace tav {

class HexLineBuilder {
public:
  // With at most 255 data bytes a record needs at most 525 characters.
  static constexpr size_t kCapacity = 2048;

  void Start(std::string_view prefix) {
    size_ = 0;
    sum_ = 0;
    for (char c : prefix) Append(c);
  }
  // `digits` hex digits of value (a multiple of 2); each byte joins the sum.
  void Summed(uint32_t value, int digits) {
    for (int shift = 4 * (digits - 2); shift >= 0; shift -= 8) {
      const uint32_t byte = (value >> shift) & 0xFF;
      sum_ += byte;
      Put(byte, 2);
    }
  }
  // `digits` hex digits of value, not summed (checksums).
  void Put(uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) Append(kDigits[(value >> shift) & 0xF]);
  }
  void AddToSum(uint32_t value) { sum_ += value; }
  // Every written line ends in CR LF, whatever the platform.
  void EndLine() {
    Append('\r');
    Append('\n');
  }

  uint32_t Sum() const { return sum_; }
  std::string_view Text() const { return std::string_view(text_, size_); }

private:
  void Append(char c) {
    if (size_ < kCapacity) text_[size_++] = c;
  }

  char text_[kCapacity] = {};
  size_t size_ = 0;
  uint32_t sum_ = 0;
};

}  // namespace tav
