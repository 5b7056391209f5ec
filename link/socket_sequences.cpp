// SPDX-License-Identifier: GPL-2.0-or-later
// Timing, converter loading, modes, addresses and the power sequences of the
// socket. Every write below is part of the order the chips need: supply
// before programming voltage, enable before strobe, and the reverse on the
// way down. The settling writes are the only delays the board knows, so they
// are as load-bearing as the line changes between them.
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "settings/settings.h"
#include "settings/time_base.h"

namespace tav {

void ProgrammerLink::SetLine(uint8_t line, bool on) {
  if (on) {
    LineLatch |= line;
  } else {
    LineLatch &= static_cast<uint8_t>(~line);
  }
  WriteRegister(kRegLines, LineLatch);
}

int ProgrammerLink::SettlingWrites(int count) {
  int result = kSuccess;
  for (int i = 0; i < count; ++i) {
    LineLatch &= static_cast<uint8_t>(~kLineTiming);
    result = WriteRegister(kRegLines, LineLatch);
  }
  return result;
}

int ProgrammerLink::ToggleTimingLine() {
  LineLatch ^= kLineTiming;
  return WriteRegister(kRegLines, LineLatch);
}

void ProgrammerLink::SwitchLine(uint8_t line, bool on) {
  SetLine(line, on);
  SettlingWrites(3);
}

void ProgrammerLink::StrobeLow() { SetLine(kLineStrobe, false); }
void ProgrammerLink::StrobeHigh() { SetLine(kLineStrobe, true); }

void ProgrammerLink::VppOn() {
  SupplyLatch |= kSupplyVppSwitch;
  WriteRegister(kRegSupply, SupplyLatch);
}

void ProgrammerLink::VppOff() {
  SupplyLatch &= 0xC0;
  WriteRegister(kRegSupply, SupplyLatch);
}

void ProgrammerLink::SetData(uint8_t value) { WriteRegister(kRegData, value); }

int ProgrammerLink::TimedPulse(uint32_t milliseconds) {
  // Computed in 64 bits: a long pulse in microseconds does not fit 32.
  const uint64_t writes = TimeBaseUnits(uint64_t{milliseconds} * 1000, settings_.TimeBaseKorr);

  LineLatch |= kLineTiming;
  for (uint64_t i = 0; i < writes; ++i) {
    if (WriteRegister(kRegLines, LineLatch) != kSuccess) return kTimerFailed;
  }
  LineLatch &= static_cast<uint8_t>(~kLineTiming);
  WriteRegister(kRegLines, LineLatch);
  return kSuccess;
}

int ProgrammerLink::PulseTrain(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    LineLatch |= kLineTiming;
    if (WriteRegister(kRegLines, LineLatch) != kSuccess) return kTimerFailed;
    LineLatch &= static_cast<uint8_t>(~kLineTiming);
    if (WriteRegister(kRegLines, LineLatch) != kSuccess) return kTimerFailed;
  }
  return kSuccess;
}

void ProgrammerLink::LoadVoltages() {
  // Both converters hang on one serial chain; the supply value goes in first
  // so that it ends up in the far converter.
  for (const uint8_t value : {VccOutput, VppOutput}) {
    for (int bit = 7; bit >= 0; --bit) {
      SetLine(kLineConverterData, (value >> bit) & 1);
      SetLine(kLineConverterClock, true);
      SetLine(kLineConverterClock, false);
    }
  }
  SetLine(kLineConverterLoad, true);
  SetLine(kLineConverterLoad, false);
  SetLine(kLineConverterData, false);
}

void ProgrammerLink::SetMode(uint8_t code) {
  ModeLatch = static_cast<uint8_t>((ModeLatch & 0xF0) | (code & 0x0F));
  WriteRegister(kRegMode, ModeLatch);
  SettlingWrites(2);
}

int ProgrammerLink::SetAddress(uint32_t address, uint8_t extraHighBits) {
  WriteRegister(kRegAddressLow, static_cast<uint8_t>(address & 0xFF));
  // Parts below each size threshold expect the address lines above their
  // range held at 1.
  uint8_t high = static_cast<uint8_t>((address >> 8) & 0xFF);
  if (device_.SizeBytes < 0x4000) high |= 0x40;
  if (device_.SizeBytes < 0x2000) high |= 0x20;
  if (device_.SizeBytes < 0x1000) high |= 0x10;
  high |= extraHighBits;
  WriteRegister(kRegAddressHigh, high);
  return SettlingWrites(3);
}

void ProgrammerLink::StepAddressCounter() {
  if (!device_.IsEdgeVariant()) {
    WriteRegister(kRegAddressLow, 1);
    WriteRegister(kRegAddressLow, 0);
  } else if (CounterClockLevel == 1) {
    WriteRegister(kRegAddressLow, 0);
    CounterClockLevel = 0;
  } else {
    WriteRegister(kRegAddressLow, 1);
    CounterClockLevel = 1;
  }
  SettlingWrites(2);
}

void ProgrammerLink::ResetAddressCounter() {
  if (device_.IsEdgeVariant()) {
    SwitchLine(kLineEnable, false);
    SwitchLine(kLineStrobe, false);
    WriteRegister(kRegAddressLow, 1);
    TimedPulse(20);
    SwitchLine(kLineEnable, true);
    SwitchLine(kLineStrobe, true);
    TimedPulse(20);
    WriteRegister(kRegAddressLow, 0);
    CounterClockLevel = 0;
    TimedPulse(1);
    return;
  }
  SwitchLine(kLineEnable, false);
  TimedPulse(20);
  SwitchLine(kLineEnable, true);
  TimedPulse(20);
}

void ProgrammerLink::ResetOutputs() {
  SettlingWrites(1);
  WriteRegister(kRegMode, 0);
  WriteRegister(kRegAddressHigh, 0);
  WriteRegister(kRegAddressLow, 0);
  WriteRegister(kRegData, 0);
  VccOutput = 0;
  LoadVoltages();
  VppOutput = 0;
  LoadVoltages();
  VppOff();
  SettlingWrites(3);
  ModeLatch &= 0x0F;
  WriteRegister(kRegMode, ModeLatch);
  SupplyLatch &= 0x7F;
  WriteRegister(kRegSupply, SupplyLatch);
}

int ProgrammerLink::PowerUp() {
  WriteRegister(kRegData, 0);
  WriteRegister(kRegAddressLow, 0);
  WriteRegister(kRegAddressHigh, 0);

  ModeLatch &= 0xF0;
  WriteRegister(kRegMode, ModeLatch);
  VppOff();
  SettlingWrites(3);
  ModeLatch &= 0x0F;
  WriteRegister(kRegMode, ModeLatch);
  SupplyLatch &= 0x7F;
  WriteRegister(kRegSupply, SupplyLatch);

  // The programming voltage is prepared while its switch is still open.
  VppOutput = device_.VppCode;
  LoadVoltages();
  VccOutput = 0;
  LoadVoltages();
  TimedPulse(100);

  SupplyLatch |= kSupplySocketOn;
  WriteRegister(kRegSupply, SupplyLatch);

  if (device_.IsDip40()) {
    // Only the 40-pin parts get their supply in 0.5 V steps instead of one jump.
    for (uint32_t millivolts = 0; millivolts <= 3500; millivolts += 500) {
      VccOutput = static_cast<uint8_t>(millivolts / 50);
      LoadVoltages();
      TimedPulse(5);
    }
    VccOutput = device_.VccProgCode;
    LoadVoltages();
    SwitchLine(kLineEnable, true);
    SwitchLine(kLineStrobe, true);
    if (device_.KVp) {
      VppOn();
      SettlingWrites(3);
    }
  } else if (device_.IsEdgeVariant()) {
    // The edge variant enters programming mode with its counter clock held
    // high across a reset; it never gets the programming voltage here.
    VccOutput = device_.VccProgCode;
    LoadVoltages();
    TimedPulse(100);
    SwitchLine(kLineEnable, true);
    TimedPulse(20);
    WriteRegister(kRegAddressLow, 1);
    SwitchLine(kLineEnable, false);
    TimedPulse(20);
    SwitchLine(kLineEnable, true);
    SwitchLine(kLineStrobe, true);
    WriteRegister(kRegAddressLow, 0);
    CounterClockLevel = 0;
    TimedPulse(1);
  } else if (device_.IsDip20()) {
    VccOutput = device_.VccProgCode;
    LoadVoltages();
    TimedPulse(100);
    // The enable line is pulsed twice; the last rising edge, with the supply
    // long stable, leaves the address counter at 0.
    SwitchLine(kLineEnable, false);
    TimedPulse(20);
    SwitchLine(kLineEnable, true);
    TimedPulse(20);
    SwitchLine(kLineEnable, false);
    TimedPulse(20);
    SwitchLine(kLineEnable, true);
    SwitchLine(kLineStrobe, true);
    if (device_.KVp) {
      VppOn();
      SettlingWrites(3);
    }
  }
  return TimedPulse(100);
}

int ProgrammerLink::PowerDown() {
  WriteRegister(kRegAddressLow, 0);
  WriteRegister(kRegAddressHigh, 0);
  ModeLatch &= 0xF0;
  WriteRegister(kRegMode, ModeLatch);
  WriteRegister(kRegData, 0);
  SettlingWrites(1);
  VppOff();
  SettlingWrites(3);
  VppOutput = 0;
  LoadVoltages();
  SwitchLine(kLineEnable, false);
  VccOutput = 0;
  LoadVoltages();
  SwitchLine(kLineStrobe, false);
  ModeLatch &= 0x0F;
  WriteRegister(kRegMode, ModeLatch);
  SupplyLatch &= 0x7F;
  WriteRegister(kRegSupply, SupplyLatch);
  // Nothing may touch the socket until the supply has decayed.
  return TimedPulse(600);
}

}  // namespace tav
