// SPDX-License-Identifier: GPL-2.0-or-later
// "Löschen": the chip-erase pulse of electrically erasable parts, as the
// stand-alone operation and as the two erase cycles the program operation
// also runs.
#include "base/feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

namespace {

// 130 × 50 mV = 6.5 V, the supply some parts need for the erase.
constexpr uint8_t kVcc65Code = 130;

// Address, data lines released, erase mode and (unless it is already on
// from PowerUp) the programming voltage: the set-up both cycles share.
void EnterEraseMode(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  link.SetAddress(0, ProgramAddressBits(ctx.device));
  link.SetData(0xFF);
  link.SettlingWrites(3);
  link.SetMode(kModeChipErase);
  if (!ctx.device.KVp) {
    link.VppOn();
    link.SettlingWrites(3);
  }
}

void LeaveEraseVoltage(OperationContext& ctx) {
  if (ctx.device.KVp) return;
  ctx.link.VppOff();
  ctx.link.SettlingWrites(3);
}

}  // namespace

int EraseCycle(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  if (ctx.device.EraseTime == 1) return kSuccess;
  if (ctx.device.IsDip20()) link.ResetAddressCounter();
  EnterEraseMode(ctx);
  // The strobe is held off for the whole pulse train: that is the erase pulse.
  link.StrobeLow();
  link.SettlingWrites(3);
  if (link.PulseTrain(ctx.device.EraseTime) != kSuccess) {
    link.StrobeHigh();  // never change modes on the way down under an active pulse
    link.PowerDown();
    ShowTimerFailure(ctx);
    return kTimerFailed;
  }
  link.StrobeHigh();
  link.SettlingWrites(3);
  LeaveEraseVoltage(ctx);
  link.TimedPulse(5);
  return kSuccess;
}

int EraseCycleVcc65(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const uint32_t eraseTime = ctx.device.EraseTime;
  if (eraseTime == 1) return kSuccess;

  feedback.SetStatus("Lösche Baustein");
  feedback.StartProgress(2 * eraseTime);
  feedback.RepaintNow();
  // These parts erase while the mode and the raised voltage are held with
  // the strobe up; a short strobe pulse starts it. Two rounds, each from a
  // fresh power-up (which also resets a 20-pin address counter).
  for (int round = 0; round < 2; ++round) {
    link.PowerUp();
    EnterEraseMode(ctx);
    link.StrobeLow();
    link.SettlingWrites(3);
    link.StrobeHigh();
    link.SettlingWrites(3);
    for (uint32_t pulse = 0; pulse < eraseTime; ++pulse) {
      if (link.PulseTrain(1) != kSuccess) {
        link.PowerDown();
        ShowTimerFailure(ctx);
        return kTimerFailed;
      }
      feedback.StepProgress();
    }
    LeaveEraseVoltage(ctx);
    link.PowerDown();
    if (link.BoardLost()) return kHandshakeTimeout;
  }
  return kSuccess;
}

int EraseCycleAtVcc65(OperationContext& ctx) {
  const uint8_t savedVccProgCode = ctx.device.VccProgCode;
  ctx.device.VccProgCode = kVcc65Code;
  const int result = EraseCycleVcc65(ctx);
  ctx.device.VccProgCode = savedVccProgCode;
  return result;
}

int EraseDevice(OperationContext& ctx) {
  // A part without electrical erase: refused before anything is shown or written.
  if (ctx.device.IsEprom()) return kOperationFailed;

  FrameOpening opening;
  opening.promptText = "*** Controller löschen ***\n\n";
  opening.status = "Lösche Controller";
  opening.enableCancel = false;
  switch (OpenFrame(ctx, opening)) {
    case FrameStart::PromptCancelled: return kOperationFailed;
    case FrameStart::SignatureMismatch: return kSignatureMismatch;
    case FrameStart::BoardLost: return kHandshakeTimeout;
    case FrameStart::Ready: break;
  }

  int result;
  if (ctx.device.Vcc65) {
    ctx.link.PowerDown();
    result = EraseCycleAtVcc65(ctx);
  } else {
    result = EraseCycle(ctx);
  }
  ctx.feedback.ResetProgress();
  ctx.link.PowerDown();
  if (result != kSuccess) return kOperationFailed;  // the cycle has shown its message
  if (ctx.link.BoardLost()) return kHandshakeTimeout;
  ctx.feedback.ShowInfo("Baustein ist gelöscht !");
  return kSuccess;
}

}  // namespace tav
