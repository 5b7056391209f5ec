// SPDX-License-Identifier: GPL-2.0-or-later
// "Prüfen": the chip against the program image, every cell from 0 to the
// highest address, empty cells included.
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

int CompareWithImage(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const DeviceRecord& device = ctx.device;

  feedback.StartProgress(ctx.image.HighestAddress);
  feedback.SetStatus("Prüfe Bausteininhalt");
  feedback.RepaintNow();
  if (device.IsDip20()) link.ResetAddressCounter();
  link.SetData(0xFF);
  link.SetMode(kModeReadCode);
  link.SetAddress(0, 0);

  int answer = 0;  // none yet; then the last answer to a difference
  const uint32_t last = LastImageAddress(ctx.image);
  for (uint32_t i = 0; i <= last;) {
    const uint8_t read = link.ReadDataByte();
    const uint8_t expected = ctx.image.Bytes[i];
    if (read != expected && !link.BoardLost()) {
      // Retry goes on with the next cell; this one is not read again.
      answer = feedback.AskRetryCancel(FormatText("Fehler an Adresse %lu (0x%lX) !\nRichtig: 0x%02X\nGelesen: 0x%02X\n",
                                                  static_cast<unsigned long>(i), static_cast<unsigned long>(i),
                                                  expected, read));
    }
    ++i;
    feedback.StepProgress();
    StepReadAddress(ctx, i);
    if (answer == kCancel || feedback.CancelRequested() || link.BoardLost()) break;
  }
  feedback.ResetProgress();
  if (link.BoardLost()) return kHandshakeTimeout;
  if (answer != 0) return kVerifyFailed;
  if (feedback.CancelRequested()) {
    feedback.ShowInfo("Prüfen abgebrochen !");
    return kVerifyFailed;
  }
  return kSuccess;
}

int VerifyDevice(OperationContext& ctx) {
  const ProgramImage& image = ctx.image;
  FrameOpening opening;
  opening.promptText = FormatText(
      "*** Controller Prüfen ***\n\nAnzahl Bytes: %lu (0x%lX)\nHöchste Adresse: %lu (0x%lX)\n",
      static_cast<unsigned long>(image.ByteCount), static_cast<unsigned long>(image.ByteCount),
      static_cast<unsigned long>(image.HighestAddress), static_cast<unsigned long>(image.HighestAddress));
  opening.status = nullptr;  // CompareWithImage sets its own
  switch (OpenFrame(ctx, opening)) {
    case FrameStart::PromptCancelled: return kSuccess;
    case FrameStart::SignatureMismatch: return kOperationFailed;
    case FrameStart::BoardLost: return kHandshakeTimeout;
    case FrameStart::Ready: break;
  }
  const int result = CompareWithImage(ctx);
  ctx.link.PowerDown();
  if (result == kSuccess) ctx.feedback.ShowInfo("Keine Fehler beim Prüfen");
  return result;
}

}  // namespace tav
