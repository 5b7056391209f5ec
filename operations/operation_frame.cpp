// SPDX-License-Identifier: GPL-2.0-or-later
#include "operations/operation_frame.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

int SocketPrompt(OperationContext& ctx, const std::string& text) {
  std::string prompt = ctx.notes != nullptr && !ctx.notes->heading.empty() ? ctx.notes->heading + "\n\n" : "";
  prompt += "*** " + ctx.device.DeviceName + " ***\n\n" + text + "\n\nController in Sockel ";
  // A package the board has no socket for gets no number: the user then sees
  // that the library line is wrong before anything is powered.
  if (ctx.device.IsDip20()) {
    prompt += "3";
  } else if (ctx.device.IsDip40()) {
    prompt += "2";
  }
  prompt += " einsetzen.\nNase zeigt zum Hebel";
  return ctx.feedback.AskOkCancel(prompt);
}

FrameStart OpenFrame(OperationContext& ctx, const FrameOpening& opening) {
  ctx.link.BeginOperation();
  ctx.link.ResetOutputs();
  // A board that did not take the outputs to rest gets no socket prompt: the
  // timeout message has said what is wrong.
  if (ctx.link.BoardLost()) return FrameStart::BoardLost;
  if (SocketPrompt(ctx, opening.promptText) == kCancel) {
    if (ctx.notes != nullptr) ctx.notes->declined = true;
    return FrameStart::PromptCancelled;
  }
  if (ctx.notes != nullptr && ctx.notes->confirmed) ctx.notes->confirmed();

  if (opening.enableCancel) ctx.feedback.EnableCancelButton(true);
  if (opening.status != nullptr) {
    ctx.feedback.SetStatus(opening.status);
    ctx.feedback.RepaintNow();
  }
  ctx.link.PowerUp();
  if (ctx.link.BoardLost()) {
    ctx.link.PowerDown();
    return FrameStart::BoardLost;
  }
  if (ctx.settings.IDCheck != 0 && CheckSignature(ctx) != kSuccess) {
    ctx.link.PowerDown();
    return ctx.link.BoardLost() ? FrameStart::BoardLost : FrameStart::SignatureMismatch;
  }
  return FrameStart::Ready;
}

uint8_t ProgramAddressBits(const DeviceRecord& device) { return device.P33High ? 0x80 : 0x00; }

uint32_t LastImageAddress(const ProgramImage& image) {
  return image.HighestAddress < ProgramImage::kSize ? image.HighestAddress : ProgramImage::kSize - 1;
}

void StepReadAddress(OperationContext& ctx, uint32_t next) {
  if (ctx.device.IsDip20()) {
    ctx.link.StepAddressCounter();
  } else {
    ctx.link.SetAddress(next, 0);
  }
}

void ShowTimerFailure(OperationContext& ctx) { ctx.feedback.ShowInfo(kHardwareTimerMessage); }

int EpromPulses(OperationContext& ctx, uint32_t count) {
  ProgrammerLink& link = ctx.link;
  for (uint32_t pulse = 0; pulse < count; ++pulse) {
    link.StrobeLow();
    link.SettlingWrites(3);
    if (link.PulseTrain(ctx.device.ProgPulseTime) != kSuccess) {
      // The strobe goes to rest first: a mode change under an active
      // programming pulse could program the wrong thing on the way down.
      link.StrobeHigh();
      link.PowerDown();
      ShowTimerFailure(ctx);
      return kTimerFailed;
    }
    link.StrobeHigh();
    link.SettlingWrites(3);
  }
  return kSuccess;
}

}  // namespace tav
