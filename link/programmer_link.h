// SPDX-License-Identifier: GPL-2.0-or-later
// The register protocol of the programmer board and the socket sequences
// built on it. The board has eight write-only registers, written by a strobe
// and handshake transaction on the control and status ports; data from the
// chip comes back through four status lines. Every sequence here is a series
// of WriteRegister calls, and all time is measured by counting them.
#pragma once

#include <cstdint>

#include "link/port_io.h"
#include "base/result_codes.h"

namespace tav {

class Feedback;
struct Settings;
struct DeviceRecord;

// Register numbers (value of the control port with the strobe bit clear).
inline constexpr uint8_t kRegMode = 0;
inline constexpr uint8_t kRegAddressHigh = 2;
inline constexpr uint8_t kRegLines = 4;
inline constexpr uint8_t kRegAddressLow = 6;
inline constexpr uint8_t kRegSupply = 8;
inline constexpr uint8_t kRegData = 10;
inline constexpr uint8_t kRegTest12 = 12;
inline constexpr uint8_t kRegTest14 = 14;

// Lines of register 4 (LineLatch).
inline constexpr uint8_t kLineConverterClock = 0x01;
inline constexpr uint8_t kLineConverterData = 0x02;
inline constexpr uint8_t kLineConverterLoad = 0x04;
inline constexpr uint8_t kLineTiming = 0x20;
inline constexpr uint8_t kLineStrobe = 0x40;   // programming strobe, active low
inline constexpr uint8_t kLineEnable = 0x80;   // device enable
// Switches of register 8 (SupplyLatch).
inline constexpr uint8_t kSupplyVppSwitch = 0x10;
inline constexpr uint8_t kSupplySocketOn = 0x80;

// Programming-mode codes (low four bits of register 0).
inline constexpr uint8_t kModeReadSignature = 0;
inline constexpr uint8_t kModeChipErase = 1;
inline constexpr uint8_t kModeReadCode = 12;
inline constexpr uint8_t kModeWriteCode = 14;
inline constexpr uint8_t kModeLockBit1 = 15;
inline constexpr uint8_t kModeLockBit2 = 3;
inline constexpr uint8_t kModeLockBit3 = 5;

class ProgrammerLink {
public:
  // Port addresses, TimeOut and TimeBaseKorr are read from `settings` at
  // every use, so a change of PortAdress moves all three ports at once.
  ProgrammerLink(PortIo& io, const Settings& settings, const DeviceRecord& device, Feedback& feedback);

  // --- Register protocol ---------------------------------------------------
  int WriteRegister(uint8_t reg, uint8_t value);  // 0 or kHandshakeTimeout
  uint8_t ReadDataByte();
  int DetectProgrammer();                         // 0, kLatchTestFailed, kHandshakeTimeout

  // --- Timing, voltages, modes, addresses, power ---------------------------
  int TimedPulse(uint32_t milliseconds);          // 0 or kTimerFailed
  int PulseTrain(uint32_t count);                 // 0 or kTimerFailed
  void LoadVoltages();
  void SetMode(uint8_t code);
  int SetAddress(uint32_t address, uint8_t extraHighBits);
  void StepAddressCounter();
  void ResetAddressCounter();
  void ResetOutputs();
  int PowerUp();
  int PowerDown();

  // Small line helpers used by the sequences and the device operations: each
  // changes one latch copy and writes the whole register.
  // Clear the timing line and write register 4, `count` times; returns the
  // result of the last write (0 when count is 0).
  int SettlingWrites(int count);
  // Flip the timing line and write register 4; the result of the write.
  int ToggleTimingLine();
  void StrobeLow();                // strobe line off, write register 4
  void StrobeHigh();               // strobe line on, write register 4
  void VppOn();                    // programming-voltage switch on, write register 8
  void VppOff();                   // SupplyLatch AND 0xC0, write register 8
  void SetData(uint8_t value);     // write register 10

  // Latch copies and state, public so that operations and tests can see them.
  uint8_t ControlCopy = 0;
  uint8_t LastStatus = 0;
  uint8_t ModeLatch = 0;
  uint8_t LineLatch = 0;
  uint8_t SupplyLatch = 0;
  uint8_t VccOutput = 0;
  uint8_t VppOutput = 0;
  int CounterClockLevel = 0;

  // The TimeOut setting as the handshake uses it (never 0).
  uint32_t TimeoutCount() const;

  // Four data bits as the status lines carry them (bits 6, 3, 4, 5 give data
  // bits 0, 1, 2, 3 of the nibble). Bits 0 to 2 and 7 of the status never count.
  static uint8_t DecodeStatusNibble(uint8_t status) {
    return static_cast<uint8_t>(((status >> 6) & 0x01) | ((status >> 2) & 0x0E));
  }

  // A board that stops answering in the middle of an operation (cable
  // pulled, board switched off) would otherwise cost the full TimeOut and a
  // timeout message at every later write. From BeginOperation on, the first
  // failed write shows the message and marks the board as lost; later writes
  // of the same operation try only briefly and silently, so that the
  // power-down still reaches a board that answers again, and the operation
  // ends at its next step. Outside an operation every failed write reports.
  void BeginOperation();
  bool BoardLost() const { return boardLost_; }

  // Number of completed or failed WriteRegister calls since construction.
  uint64_t WriteCount() const { return writeCount_; }
  // Those of them whose handshake failed, the silent ones included.
  uint64_t FailedWriteCount() const { return failedWrites_; }

  const DeviceRecord& Device() const { return device_; }
  const Settings& CurrentSettings() const { return settings_; }
  Feedback& UserFeedback() { return feedback_; }

private:
  // Polls the status port until bit 7 reads `level` and hands back the status
  // byte that ended the wait; false after TimeoutCount reads.
  bool WaitForHandshake(uint16_t statusPort, bool level, uint8_t& status, uint32_t polls);
  void ShowTimeout();
  void SetLine(uint8_t line, bool on);
  // A line change followed by three settling writes, the usual step of the sequences.
  void SwitchLine(uint8_t line, bool on);

  PortIo& io_;
  const Settings& settings_;
  const DeviceRecord& device_;
  Feedback& feedback_;
  uint64_t writeCount_ = 0;
  uint64_t failedWrites_ = 0;
  bool inOperation_ = false;
  bool boardLost_ = false;
};

// The timeout message shown by every failed wait of the handshake.
extern const char* const kTimeoutMessage;
// The message of a failed timed pulse, shown by the device operations.
extern const char* const kHardwareTimerMessage;

}  // namespace tav
