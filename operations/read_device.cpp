// SPDX-License-Identifier: GPL-2.0-or-later
// "Auslesen": the chip's code memory into the program image, then into the
// current program file in the chosen format.
#include "base/feedback.h"
#include "files/program_image.h"
#include "files/program_files.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

int ReadAllBytes(OperationContext& ctx) {
  const DeviceRecord& device = ctx.device;
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const uint32_t size = device.SizeBytes < ProgramImage::kSize ? device.SizeBytes : ProgramImage::kSize;

  feedback.StartProgress(device.SizeBytes);
  if (device.IsDip20()) link.ResetAddressCounter();
  link.SetData(0xFF);
  link.SettlingWrites(3);
  link.SetMode(kModeReadCode);
  link.SetAddress(0, 0);
  for (uint32_t i = 0; i < size;) {
    ctx.image.Bytes[i] = link.ReadDataByte();
    ++i;
    feedback.StepProgress();
    StepReadAddress(ctx, i);
    if (feedback.CancelRequested() || link.BoardLost()) break;
  }
  feedback.ResetProgress();
  return link.BoardLost() ? kHandshakeTimeout : kSuccess;
}

int ReadDevice(OperationContext& ctx) {
  Feedback& feedback = ctx.feedback;
  const unsigned long size = ctx.device.SizeBytes;

  FrameOpening opening;
  opening.promptText = FormatText("*** Controller auslesen ***\n\nAnzahl Bytes: %lu (0x%lX)\n", size, size);
  opening.status = "Speichere Bausteindaten";
  switch (OpenFrame(ctx, opening)) {
    case FrameStart::PromptCancelled: return kSuccess;
    case FrameStart::SignatureMismatch: return kReadFailed;
    case FrameStart::BoardLost: return kHandshakeTimeout;
    case FrameStart::Ready: break;
  }

  ctx.image.PrepareForDeviceRead(ctx.device.SizeBytes);
  const int readResult = ReadAllBytes(ctx);
  ctx.link.PowerDown();
  // Stale bytes from a board that stopped answering are never saved.
  if (readResult != kSuccess) return readResult;
  // The file is opened only now, so a cancelled read leaves an existing file
  // of that name as it was.
  if (feedback.CancelRequested()) {
    feedback.ShowInfo("Auslesen abgebrochen !");
    return kReadFailed;
  }
  if (SaveImageToFile(ctx.settings.ProgramFilePath, ctx.settings.DataFormat, ctx.device.SizeBytes,
                      ctx.settings.HexLineLen, ctx.settings.FFSave != 0, ctx.image, feedback) != kSuccess) {
    return kReadFailed;
  }
  feedback.ShowInfo("\nProzessor-Programm gespeichert \n");
  return kSuccess;
}

}  // namespace tav
