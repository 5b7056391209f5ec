// SPDX-License-Identifier: GPL-2.0-or-later
#include "link/calibration.h"

#include <cmath>

#include "link/port_access.h"
#include "link/programmer_link.h"

namespace tav {

int MeasureWriteTiming(ProgrammerLink& link, const std::function<uint64_t()>& nowNs, WriteTiming& timing) {
  link.ResetOutputs();
  RaisePriority();
  int result = 0;
  const uint64_t start = nowNs();
  for (int i = 0; i < kCalibrationWrites && result == 0; ++i) result = link.ToggleTimingLine();
  const uint64_t elapsed = nowNs() - start;
  RestorePriority();
  link.SettlingWrites(1);
  if (result != 0) return result;

  timing.Writes = kCalibrationWrites;
  timing.ElapsedNs = elapsed;
  timing.MicrosecondsPerWrite = double(elapsed) / 1000.0 / kCalibrationWrites;
  const long korr = std::lround(timing.MicrosecondsPerWrite);
  timing.Clamped = korr < 1 || korr > 100;
  timing.TimeBaseKorr = int32_t(korr < 1 ? 1 : korr > 100 ? 100 : korr);
  return 0;
}

}  // namespace tav
