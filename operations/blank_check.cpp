// SPDX-License-Identifier: GPL-2.0-or-later
// "Leertest": every cell of the code memory must hold the erased value.
#include "base/feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

int BlankCheck(OperationContext& ctx) {
  const DeviceRecord& device = ctx.device;
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const unsigned long size = device.SizeBytes;

  feedback.StartProgress(device.SizeBytes);
  FrameOpening opening;
  opening.promptText = FormatText("*** Leertest ***\n\nAnzahl Bytes: %lu (0x%lX)\n", size, size);
  opening.status = "Leertest";
  switch (OpenFrame(ctx, opening)) {
    case FrameStart::PromptCancelled: return kSuccess;
    case FrameStart::SignatureMismatch: return kBlankCheckCancelled;
    case FrameStart::BoardLost: return kHandshakeTimeout;
    case FrameStart::Ready: break;
  }

  if (device.IsDip20()) link.ResetAddressCounter();
  link.SetMode(kModeReadCode);
  link.SetData(0xFF);
  link.SetAddress(0, 0);

  int answer = 0;  // none yet; then the last answer to a report
  for (uint32_t i = 0; i < device.SizeBytes;) {
    const uint8_t value = link.ReadDataByte();
    if (value != 0xFF && !link.BoardLost()) {
      answer = feedback.AskRetryCancel(
          FormatText("Zelle 0x%04lX ist nicht leer !\nInhalt 0x%02X\n", static_cast<unsigned long>(i), value));
    }
    feedback.StepProgress();
    ++i;
    // The address moves on after every cell, the last one included.
    StepReadAddress(ctx, i);
    if (answer == kCancel || feedback.CancelRequested() || link.BoardLost()) break;
  }

  link.PowerDown();
  feedback.ResetProgress();
  // Bytes read from a board that stopped answering are stale, not blank.
  if (link.BoardLost()) return kHandshakeTimeout;
  if (answer == kCancel) return kBlankCheckCancelled;
  if (feedback.CancelRequested()) {
    feedback.ShowInfo("Leertest abgebrochen !");
    return kBlankCheckCancelled;
  }
  if (answer == 0) {
    feedback.ShowInfo("\nController ist gelöscht !\n");
    return kSuccess;
  }
  return kNotBlank;
}

}  // namespace tav
