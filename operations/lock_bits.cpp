// SPDX-License-Identifier: GPL-2.0-or-later
// Lock bits, programmed at the end of a program command with the socket
// still powered, and the test whether the lock has taken effect.
#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

namespace {

constexpr uint8_t kVcc65Code = 130;

// Data and strobe ready, the lock mode set and the programming voltage on.
// (The lock-by-data parts want the mode before the strobe and do their own.)
void EnterLockMode(OperationContext& ctx, uint8_t dataByte, uint8_t modeCode) {
  ProgrammerLink& link = ctx.link;
  link.SetData(dataByte);
  link.SettlingWrites(3);
  link.StrobeHigh();
  link.SettlingWrites(3);
  link.SetMode(modeCode);
  link.VppOn();
  link.SettlingWrites(3);
}

void LeaveLockMode(OperationContext& ctx, uint32_t settleMilliseconds) {
  ctx.link.VppOff();
  ctx.link.SettlingWrites(3);
  ctx.link.TimedPulse(settleMilliseconds);
}

// The byte read from address 0 after a fresh power-up: a working lock must
// hide the programmed content.
uint8_t ReadFirstCodeByte(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  link.PowerUp();
  link.StrobeHigh();
  link.SettlingWrites(3);
  link.SetAddress(0, 0);
  link.SetData(0xFF);
  link.SettlingWrites(3);
  link.SetMode(kModeReadCode);
  const uint8_t value = link.ReadDataByte();
  link.PowerDown();
  return value;
}

void LoadSupply(OperationContext& ctx, uint8_t code) {
  ctx.link.VccOutput = code;
  ctx.link.LoadVoltages();
  ctx.link.TimedPulse(200);
}

}  // namespace

int LockBitFlash(OperationContext& ctx, uint8_t modeCode) {
  ProgrammerLink& link = ctx.link;
  link.SetAddress(0, ProgramAddressBits(ctx.device));
  EnterLockMode(ctx, 0x00, modeCode);
  link.StrobeLow();
  link.SettlingWrites(3);
  if (ctx.device.Vcc65) link.PulseTrain(2);
  link.StrobeHigh();
  link.SettlingWrites(3);
  const int result = link.PulseTrain(ctx.device.ProgPulseTime);
  LeaveLockMode(ctx, 20);
  return result;
}

int LockBitsByData(OperationContext& ctx) {
  ProgrammerLink& link = ctx.link;
  const Settings& settings = ctx.settings;
  // One pulse programs every bit asked for; the data byte selects them.
  uint8_t dataByte = 0x7F;
  if (settings.Lock3 != 0) {
    dataByte = 0x1F;
  } else if (settings.Lock2 != 0) {
    dataByte = 0x3F;
  }
  link.SetAddress(0, ProgramAddressBits(ctx.device));
  link.SetData(dataByte);
  link.SettlingWrites(3);
  link.SetMode(kModeLockBit3);
  link.StrobeHigh();
  link.SettlingWrites(3);
  link.VppOn();
  link.SettlingWrites(3);
  link.StrobeLow();
  link.SettlingWrites(3);
  link.StrobeHigh();
  link.SettlingWrites(3);
  const int result = link.PulseTrain(ctx.device.ProgPulseTime);
  LeaveLockMode(ctx, 20);
  return result;
}

int LockBitEprom(OperationContext& ctx, uint8_t modeCode) {
  // 20-pin parts take the lock bits wherever their counter stands.
  if (ctx.device.IsDip40()) ctx.link.SetAddress(0, ProgramAddressBits(ctx.device));
  EnterLockMode(ctx, 0x00, modeCode);
  if (EpromPulses(ctx, ctx.device.LockPulseCount) != kSuccess) return kTimerFailed;
  LeaveLockMode(ctx, 10);
  return kSuccess;
}

int ProgramLockBits(OperationContext& ctx) {
  DeviceRecord& device = ctx.device;
  const Settings& settings = ctx.settings;
  Feedback& feedback = ctx.feedback;
  if (device.LockBitCount == 0) return kSuccess;

  feedback.SetStatus("Programmiere Lockbits");
  feedback.RepaintNow();
  const uint8_t savedVccProgCode = device.VccProgCode;
  if (device.Vcc65) {
    device.VccProgCode = kVcc65Code;
    LoadSupply(ctx, kVcc65Code);
  }

  // Lock bits in programming order. A failed EPROM pulse has powered the
  // socket down, and a lost board takes nothing more: no further bit is
  // tried then (it would switch the programming voltage onto an unpowered
  // chip), nor the effect test. A flash bit's own result is not examined.
  const bool wanted[3] = {
      device.LockBitCount >= 1,
      (settings.Lock2 != 0 || settings.Lock3 != 0) && device.LockBitCount >= 2,
      settings.Lock3 != 0 && device.LockBitCount >= 3,
  };
  const uint8_t modes[3] = {kModeLockBit1, kModeLockBit2, kModeLockBit3};
  int result = kSuccess;
  if (device.IsFlash() && device.Option == DeviceOption::LockP12) {
    LockBitsByData(ctx);
  } else {
    for (int bit = 0; bit < 3 && result == kSuccess && !ctx.link.BoardLost(); ++bit) {
      if (!wanted[bit]) continue;
      if (device.IsFlash()) {
        LockBitFlash(ctx, modes[bit]);
      } else {
        result = LockBitEprom(ctx, modes[bit]);
      }
    }
  }

  device.VccProgCode = savedVccProgCode;
  if (result != kSuccess) return result;
  if (ctx.link.BoardLost()) return kHandshakeTimeout;
  if (device.Vcc65) LoadSupply(ctx, device.VccProgCode);
  // Only lock bits 2 and 3 hide the code from a read, so only they can be tested.
  if (settings.Lock2 == 0 && settings.Lock3 == 0) return kSuccess;

  ctx.link.PowerDown();
  feedback.SetStatus("Teste Wirkung der Lockbits");
  feedback.RepaintNow();
  const uint8_t firstByte = ReadFirstCodeByte(ctx);
  if (ctx.link.BoardLost()) return kHandshakeTimeout;
  if (firstByte == ctx.image.Bytes[0]) {
    feedback.ShowInfo("Schutzbits haben keine Wirkung !");
    return kLockWithoutEffect;
  }
  return kSuccess;
}

}  // namespace tav
