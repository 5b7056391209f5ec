// SPDX-License-Identifier: GPL-2.0-or-later
// The board's only clock: time is counted in register writes, and the
// TimeBaseKorr setting says how many microseconds one write lasts. The
// device library converts its pulse and erase times with this rule, the
// link its timed pulses, and the simulator turns units back into time.
#pragma once

#include <cstdint>

namespace tav {

// The settings file's fallback for TimeBaseKorr.
inline constexpr int32_t kDefaultTimeBaseKorr = 85;

// The divisor a conversion uses. The settings loader keeps TimeBaseKorr in
// 1..100; a record set by hand below 1 must not divide by zero and acts as
// the default.
inline uint32_t TimeBaseDivisor(int32_t timeBaseKorr) {
  return static_cast<uint32_t>(timeBaseKorr >= 1 ? timeBaseKorr : kDefaultTimeBaseKorr);
}

// The number of register writes that lasts `microseconds`: integer
// division, and at least one write.
inline uint64_t TimeBaseUnits(uint64_t microseconds, int32_t timeBaseKorr) {
  const uint64_t units = microseconds / TimeBaseDivisor(timeBaseKorr);
  return units == 0 ? 1 : units;
}

// The nominal duration of `units` register writes, in microseconds.
inline uint64_t TimeBaseMicroseconds(uint64_t units, int32_t timeBaseKorr) {
  return units * TimeBaseDivisor(timeBaseKorr);
}

}  // namespace tav
