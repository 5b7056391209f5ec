// SPDX-License-Identifier: GPL-2.0-or-later
// An EPROM controller (no electrical erase). A cell takes its data only
// after enough programming-pulse time at the programming voltage: the
// record's pulse time times its pulse count, measured on the virtual clock
// and added up over the pulses the cell receives. Lock bits are programmed
// the same way, with the lock-bit pulse count. A weak part (neededPulses
// fault) also wants that many separate pulses before a cell takes its data.
#pragma once

#include <map>

#include "sim/chip_models.h"

namespace tav::sim {

class EpromChip : public SimulatedChip {
public:
  using SimulatedChip::SimulatedChip;
  bool IsFlash() const override { return false; }

protected:
  void Elapse(const SocketPins& held, bool pulse, uint64_t fromNs, uint64_t toNs) override;
  void PulseStarted(const SocketPins& pins, uint64_t nowNs) override;
  void PulseEnded(const SocketPins& pins, uint64_t nowNs) override;
  void PowerLost() override;

private:
  // Programming time a target has received so far at one data value.
  struct Charge {
    uint8_t data = 0xFF;
    uint64_t ns = 0;
    uint32_t pulses = 0;  // pulses that contributed
    uint64_t lastPulse = 0;
    bool taken = false;
  };
  static constexpr uint32_t kLockKey = 0x10000;  // targets above the cells: lock bits 1..3

  uint64_t CellNeedNs() const;
  uint64_t LockNeedNs() const;

  std::map<uint32_t, Charge> charges_;
  uint64_t pulseNumber_ = 0;
  bool pulseFaulted_ = false;  // one complaint per bad pulse is enough
};

}  // namespace tav::sim
