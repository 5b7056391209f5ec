// SPDX-License-Identifier: GPL-2.0-or-later
// Number conversions of the settings file, as the Windows private-profile
// functions and the C library's "%x" apply them to entry texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tav {

// An integer entry: optional minus sign, then decimal digits; anything after
// the digits is ignored and a text without leading digits gives 0. Numbers
// beyond the 32-bit range saturate at INT32_MIN / INT32_MAX instead of
// wrapping, so a huge entry cannot turn into a small, plausible value and the
// range rules then see it as the out-of-range number it is.
int32_t ProfileInt(const std::string& text);

// A hexadecimal entry read like "%x": leading blanks, an optional sign, an
// optional 0x/0X prefix, then hex digits. No digits gives nullopt. Values
// beyond the 32-bit range saturate like ProfileInt.
std::optional<int32_t> ProfileHex(const std::string& text);

// A decimal entry that the program compares unsigned: digits as for
// ProfileInt, saturating at INT32_MIN and UINT32_MAX, then taken modulo 2^32,
// so "-1" reads as 4294967295 (what the file holds after a count above
// INT32_MAX was written back as a signed number).
uint32_t ProfileUnsigned(const std::string& text);

}  // namespace tav
