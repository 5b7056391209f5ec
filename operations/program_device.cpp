// SPDX-License-Identifier: GPL-2.0-or-later
// "Brennen": the program image into the chip, with the burning algorithm the
// device record asks for (flash parts are chip-erased first).
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

namespace {

int EraseAndBurnFlash(OperationContext& ctx) {
  int result;
  if (ctx.device.Vcc65) {
    // The raised-voltage erase runs its own power cycles; afterwards the
    // socket comes up again at the device's normal supply.
    ctx.link.PowerDown();
    result = EraseCycleAtVcc65(ctx);
    ctx.link.PowerUp();
  } else {
    result = EraseCycle(ctx);
  }
  ctx.feedback.SetStatus("Programmiere Baustein");
  ctx.feedback.StartProgress(ctx.image.HighestAddress);
  ctx.feedback.RepaintNow();
  return result == kSuccess && !ctx.link.BoardLost() ? BurnFlash(ctx) : result;
}

}  // namespace

int ProgramDevice(OperationContext& ctx) {
  Feedback& feedback = ctx.feedback;
  const ProgramImage& image = ctx.image;
  ctx.passedOverErrors = 0;

  feedback.StartProgress(image.HighestAddress);
  FrameOpening opening;
  opening.promptText = FormatText(
      "*** Controller programmieren ***\n\nAnzahl Bytes: %lu (0x%lX)\nHöchste Adresse: %lu (0x%lX)\n",
      static_cast<unsigned long>(image.ByteCount), static_cast<unsigned long>(image.ByteCount),
      static_cast<unsigned long>(image.HighestAddress), static_cast<unsigned long>(image.HighestAddress));
  opening.status = "Programmiere Baustein";
  switch (OpenFrame(ctx, opening)) {
    case FrameStart::PromptCancelled: return kOperationFailed;
    case FrameStart::SignatureMismatch: return kOperationFailed;
    case FrameStart::BoardLost: return kHandshakeTimeout;
    case FrameStart::Ready: break;
  }

  int result;
  if (ctx.device.IsFlash()) {
    result = EraseAndBurnFlash(ctx);
  } else if (ctx.device.IsDip20()) {
    result = BurnEprom20(ctx);
  } else {
    result = BurnEprom40(ctx);
  }
  feedback.ResetProgress();
  // A failure the burn reported keeps its own code; a lost board that let
  // the burn run on to its end must not pass for success.
  if (ctx.link.BoardLost()) return result != kSuccess ? result : kHandshakeTimeout;
  if (feedback.CancelRequested()) {
    feedback.ShowInfo("Programmierung abgebrochen !");
    return kOperationFailed;
  }
  return result;
}

}  // namespace tav
