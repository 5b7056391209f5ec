// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/profile_numbers.h"

#include <limits>

namespace tav {

namespace {

// Accumulates digits of `base` from text[pos]; stops adding magnitude once it
// passes `limit`, so no overflow can happen however long the digit run is.
// Returns the number of digits consumed.
size_t Digits(const std::string& text, size_t pos, int base, uint64_t limit, uint64_t& magnitude) {
  size_t count = 0;
  magnitude = 0;
  for (; pos < text.size(); ++pos, ++count) {
    const char c = text[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    if (magnitude <= limit) magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return count;
}

// Signed value of a magnitude, saturated to [low, high].
int64_t Saturate(bool negative, uint64_t magnitude, int64_t low, int64_t high) {
  if (negative) {
    return magnitude > static_cast<uint64_t>(-low) ? low : -static_cast<int64_t>(magnitude);
  }
  return magnitude > static_cast<uint64_t>(high) ? high : static_cast<int64_t>(magnitude);
}

constexpr uint64_t kLimit = uint64_t{1} << 40;  // far beyond 32 bits, far below overflow
constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();

}  // namespace

int32_t ProfileInt(const std::string& text) {
  size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) pos = 1;
  uint64_t magnitude = 0;
  Digits(text, pos, 10, kLimit, magnitude);
  return static_cast<int32_t>(Saturate(negative, magnitude, kIntMin, kIntMax));
}

std::optional<int32_t> ProfileHex(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  uint64_t magnitude = 0;
  if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    // "0x" followed by a hex digit is a prefix; a bare "0x" is the number 0.
    if (Digits(text, pos + 2, 16, kLimit, magnitude) > 0) {
      return static_cast<int32_t>(Saturate(negative, magnitude, kIntMin, kIntMax));
    }
  }
  if (Digits(text, pos, 16, kLimit, magnitude) == 0) return std::nullopt;
  return static_cast<int32_t>(Saturate(negative, magnitude, kIntMin, kIntMax));
}

uint32_t ProfileUnsigned(const std::string& text) {
  size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) pos = 1;
  uint64_t magnitude = 0;
  Digits(text, pos, 10, kLimit, magnitude);
  const int64_t value = Saturate(negative, magnitude, kIntMin, std::numeric_limits<uint32_t>::max());
  return static_cast<uint32_t>(value);
}

}  // namespace tav
