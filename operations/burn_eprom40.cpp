// SPDX-License-Identifier: GPL-2.0-or-later
// Burning a 40-pin part without electrical erase: a fixed number of
// programming pulses per byte, no read-back.
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

int BurnEprom40(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const uint32_t last = LastImageAddress(ctx.image);
  for (uint32_t i = 0; i <= last; ++i) {
    const uint8_t value = ctx.image.Bytes[i];
    // An erased cell already holds 0xFF: burning it would only cost time.
    if (value != ProgramImage::kBlank) {
      link.SetMode(kModeWriteCode);
      link.SetAddress(i, ProgramAddressBits(ctx.device));
      link.SetData(value);
      link.SettlingWrites(3);
      // Stays on after the byte; the PowerDown closing the program sequence
      // switches it off.
      link.VppOn();
      link.SettlingWrites(3);
      if (EpromPulses(ctx, ctx.device.ProgPulseCount) != kSuccess) return kTimerFailed;
    }
    feedback.StepProgress();
    if (feedback.CancelRequested() || link.BoardLost()) break;
  }
  return feedback.CancelRequested() ? kOperationFailed : kSuccess;
}

}  // namespace tav
