// SPDX-License-Identifier: GPL-2.0-or-later
// Burning an electrically erasable part after its chip erase: one short
// strobe pulse per byte, then read-back polling (40 pins) or a fixed wait
// (20 pins, no read-back).
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

namespace {

// Short strobe pulse: the strobe is low for the time of four register writes.
void StrobePulse(ProgrammerLink& link) {
  link.StrobeLow();
  link.SettlingWrites(3);
  link.StrobeHigh();
  link.SettlingWrites(3);
}

// Polls until the cell reads back as written or ProgPulseTime polls are
// made (at least one). Returns kTimerFailed when a poll's pulse train fails.
int PollByte(OperationContext& ctx, uint8_t expected, uint8_t& read) {
  ProgrammerLink& link = ctx.link;
  uint32_t polls = 0;
  do {
    if (link.PulseTrain(1) != kSuccess) return kTimerFailed;
    read = link.ReadDataByte();
    ++polls;
  } while (read != expected && polls < ctx.device.ProgPulseTime);
  return kSuccess;
}

int BurnFlash40(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const DeviceRecord& device = ctx.device;
  const uint8_t addressBits = ProgramAddressBits(device);
  const uint32_t last = LastImageAddress(ctx.image);
  int answer = 0;
  for (uint32_t i = 0; i <= last;) {
    const uint8_t value = ctx.image.Bytes[i];
    if (value != ProgramImage::kBlank) {
      link.SetMode(kModeWriteCode);
      link.SetData(value);
      link.SettlingWrites(3);
      if (!device.KVp) {
        link.VppOn();
        link.SettlingWrites(3);
      }
      StrobePulse(link);
      if (!device.KVp) {
        link.VppOff();
        link.SettlingWrites(3);
      }
      link.SetMode(kModeReadCode);
      link.SetData(0xFF);
      link.SettlingWrites(3);
      // P3.3 high is for writing only; the cell is read at its plain address.
      if (device.P33High) link.SetAddress(i, 0);
      uint8_t read = 0;
      if (PollByte(ctx, value, read) != kSuccess) {
        ShowTimerFailure(ctx);
        return kTimerFailed;
      }
      if (read != value && !link.BoardLost()) {
        // Retry goes on with the next cell; the failed one is not burnt again.
        answer = feedback.AskRetryCancel(
            FormatText("Programmierfehler an Adresse %lu (0x%lX)\nRichtig: 0x%02X   Gelesen: 0x%02X\n",
                       static_cast<unsigned long>(i), static_cast<unsigned long>(i), value, read));
        if (answer != kCancel) ++ctx.passedOverErrors;
      }
    }
    ++i;
    feedback.StepProgress();
    link.SetAddress(i, addressBits);
    if (answer == kCancel || feedback.CancelRequested() || link.BoardLost()) break;
  }
  return answer == kCancel || feedback.CancelRequested() ? kOperationFailed : kSuccess;
}

int BurnFlash20(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  Feedback& feedback = ctx.feedback;
  const uint32_t waitUnits = ctx.device.ProgPulseTime > 0 ? ctx.device.ProgPulseTime : 1;
  link.SetMode(kModeWriteCode);
  const uint32_t last = LastImageAddress(ctx.image);
  for (uint32_t i = 0; i <= last; ++i) {
    const uint8_t value = ctx.image.Bytes[i];
    if (value != ProgramImage::kBlank) {
      link.SetData(value);
      link.SettlingWrites(3);
      // Switched around every byte here, whatever KVp says.
      link.VppOn();
      link.SettlingWrites(3);
      StrobePulse(link);
      link.VppOff();
      link.SettlingWrites(3);
      for (uint32_t unit = 0; unit < waitUnits; ++unit) {
        if (link.PulseTrain(1) != kSuccess) {
          ShowTimerFailure(ctx);
          return kTimerFailed;
        }
      }
    }
    feedback.StepProgress();
    link.StepAddressCounter();
    if (feedback.CancelRequested() || link.BoardLost()) break;
  }
  return feedback.CancelRequested() ? kOperationFailed : kSuccess;
}

}  // namespace

int BurnFlash(OperationContext& ctx) {
  if (ctx.device.IsDip20()) ctx.link.ResetAddressCounter();
  ctx.link.SetAddress(0, ProgramAddressBits(ctx.device));
  return ctx.device.IsDip20() ? BurnFlash20(ctx) : BurnFlash40(ctx);
}

}  // namespace tav
