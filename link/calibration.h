// SPDX-License-Identifier: GPL-2.0-or-later
// Measuring how long one register write lasts on this board and port, the
// unit every timed sequence counts in (the TimeBaseKorr setting, in
// microseconds per write).
#pragma once

#include <cstdint>
#include <functional>

namespace tav {

class ProgrammerLink;

// Enough writes that a millisecond clock and a stray interrupt do not matter,
// few enough to finish in well under a second at 85 us per write.
inline constexpr int kCalibrationWrites = 4000;

struct WriteTiming {
  int Writes = 0;
  uint64_t ElapsedNs = 0;
  double MicrosecondsPerWrite = 0;
  int32_t TimeBaseKorr = 0;  // the rounded duration, within the setting's range 1..100
  bool Clamped = false;      // the rounded duration lay outside 1..100
};

// Puts the outputs at rest and toggles the timing line kCalibrationWrites
// times at raised priority, timed by `nowNs` (nanoseconds of any steady
// clock: a real one for a real board, the simulated board's own for the
// simulator); the timing line ends low. Returns 0, or the result of the
// failed write (its message has been shown); `timing` is set only on success.
int MeasureWriteTiming(ProgrammerLink& link, const std::function<uint64_t()>& nowNs, WriteTiming& timing);

}  // namespace tav
