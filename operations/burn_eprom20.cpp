// SPDX-License-Identifier: GPL-2.0-or-later
// Burning a 20-pin part without electrical erase: the address comes from the
// chip's own counter, which is stepped for every cell, skipped ones included.
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

int BurnEprom20(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  link.ResetAddressCounter();
  link.SetMode(kModeWriteCode);
  link.VppOn();
  link.SettlingWrites(3);
  const uint32_t last = LastImageAddress(ctx.image);
  for (uint32_t i = 0; i <= last; ++i) {
    const uint8_t value = ctx.image.Bytes[i];
    if (value != ProgramImage::kBlank) {
      link.SetData(value);
      link.SettlingWrites(3);
      if (EpromPulses(ctx, ctx.device.ProgPulseCount) != kSuccess) return kTimerFailed;
    }
    link.StepAddressCounter();
    feedback.StepProgress();
    if (feedback.CancelRequested() || link.BoardLost()) break;
  }
  return feedback.CancelRequested() ? kOperationFailed : kSuccess;
}

}  // namespace tav
