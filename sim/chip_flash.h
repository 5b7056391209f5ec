// SPDX-License-Identifier: GPL-2.0-or-later
// A flash controller. A byte or lock-bit write starts when a strobe pulse in
// a write mode, held at the programming voltage from start to end, finishes;
// it then runs on its own for the internal write time, during which code
// reads return the complement of bit 7 of the byte being written (data
// polling). The chip erase runs while the erase mode is held at the
// programming voltage with the strobe low, or, on 6.5 V parts, while the
// erase mode is held at the raised supply after a strobe pulse.
#pragma once

#include <map>
#include <optional>

#include "sim/chip_models.h"

namespace tav::sim {

class FlashChip : public SimulatedChip {
public:
  using SimulatedChip::SimulatedChip;
  bool IsFlash() const override { return true; }

  static constexpr uint64_t kWriteTimeNs = 1'000'000;  // internal byte and lock-bit write
  static constexpr uint64_t kMinWritePulseNs = 1'000;

protected:
  void Elapse(const SocketPins& held, bool pulse, uint64_t fromNs, uint64_t toNs) override;
  void PulseStarted(const SocketPins& pins, uint64_t nowNs) override;
  void PulseEnded(const SocketPins& pins, uint64_t nowNs) override;
  void PowerLost() override;
  std::optional<uint8_t> BusyRead(uint64_t nowNs) const override;
  void Advance(uint64_t nowNs) override;

private:
  struct Write {
    bool lock = false;
    uint32_t address = 0;  // the cell, for a byte write
    uint8_t data = 0xFF;   // the byte, or the lock bits (bit n-1 = lock bit n)
    uint64_t doneNs = 0;
  };

  bool IsWriteMode(uint8_t mode) const;
  uint8_t LockBitsOf(uint8_t mode, uint8_t data) const;
  uint64_t EraseNeedNs() const;
  void EraseProgress(uint64_t ns);

  std::optional<Write> pending_;
  std::map<uint32_t, uint32_t> cycles_;  // completed write cycles per weak cell

  // The pulse in progress.
  uint8_t pulseMode_ = 0;
  uint32_t pulseAddress_ = 0;
  uint8_t pulseData_ = 0xFF;
  uint64_t pulseStartNs_ = 0;
  bool pulseValid_ = false;

  // The erase in progress (time at the erase conditions so far).
  bool eraseRunning_ = false;
  uint64_t eraseNs_ = 0;
};

}  // namespace tav::sim
