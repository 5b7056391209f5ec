// SPDX-License-Identifier: GPL-2.0-or-later
#include "files/record_line.h"

#include <array>

namespace tav {

namespace {
// Digit values by character; -1 for everything that is not a hex digit.
constexpr auto kDigitValues = [] {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<int8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<int8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<int8_t>(c - 'a' + 10);
  return table;
}();
}  // namespace

void RecordLine::Cut() {
  for (size_t i = 0; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c == '\r' || c == '\n' || c == ' ') {
      text_ = text_.substr(0, i);
      return;
    }
  }
}

size_t RecordLine::FirstNonHex(size_t pos, size_t width) const {
  const size_t end = pos + width < text_.size() ? pos + width : text_.size();
  for (size_t i = pos; i < end; ++i) {
    const char c = text_[i];
    if (c == '\n' || c == '\r') break;
    if (kDigitValues[static_cast<unsigned char>(c)] < 0) return i;
  }
  return npos;
}

uint32_t RecordLine::Hex(size_t pos, size_t width) const {
  uint32_t value = 0;
  const size_t end = pos + width < text_.size() ? pos + width : text_.size();
  for (size_t i = pos; i < end; ++i) {
    const int digit = kDigitValues[static_cast<unsigned char>(text_[i])];
    if (digit < 0) break;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t RecordLine::SummedHex(size_t pos, size_t width) {
  uint32_t value = Hex(pos, width);
  for (size_t shift = 0; shift < width * 4; shift += 8) sum_ += (value >> shift) & 0xFF;
  return value;
}

}  // namespace tav
