// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/chip_eprom.h"

#include <algorithm>
#include <cstdio>

namespace tav::sim {

namespace {

int LockBitOfMode(uint8_t mode) {
  switch (mode) {
    case 15: return 1;
    case 3: return 2;
    case 5: return 3;
    default: return 0;
  }
}

}  // namespace

uint64_t EpromChip::CellNeedNs() const {
  return std::max<uint32_t>(1, device_.ProgPulseCount) * UnitsToNs(std::max<uint32_t>(1, device_.ProgPulseTime));
}

uint64_t EpromChip::LockNeedNs() const {
  return std::max<uint32_t>(1, device_.LockPulseCount) * UnitsToNs(std::max<uint32_t>(1, device_.ProgPulseTime));
}

void EpromChip::PulseStarted(const SocketPins& pins, uint64_t) {
  pulseFaulted_ = false;
  ++pulseNumber_;
  if (pins.mode == 1) Complain("Löschimpuls an einem EPROM: elektrisch nicht löschbar");
}

void EpromChip::Elapse(const SocketPins& held, bool pulse, uint64_t fromNs, uint64_t toNs) {
  if (!pulse || Damaged()) return;
  const int lockBit = LockBitOfMode(held.mode);
  if (held.mode != 14 && lockBit == 0) return;
  if (!VppRight(held)) {
    if (!pulseFaulted_) {
      char text[120];
      std::snprintf(text, sizeof text, "Programmierimpuls ohne richtige Programmierspannung (%u mV, Soll %u mV)",
                    held.ChipVpp(), device_.VppCode * 100u);
      Complain(text);
    }
    pulseFaulted_ = true;
    return;
  }
  const uint32_t key = lockBit ? kLockKey + static_cast<uint32_t>(lockBit) : CodeAddress(held);
  const uint8_t data = lockBit ? 0x00 : held.dataRegister;
  if (data == 0xFF) return;  // nothing to charge
  Charge& charge = charges_[key];
  if (charge.data != data) charge = Charge{data, 0, 0, 0, false};
  charge.ns += toNs - fromNs;
  if (charge.lastPulse != pulseNumber_) {
    charge.lastPulse = pulseNumber_;
    ++charge.pulses;
  }
  if (charge.taken || charge.ns < (lockBit ? LockNeedNs() : CellNeedNs())) return;
  if (!lockBit && charge.pulses < faults_.neededPulses) return;
  charge.taken = true;
  if (lockBit) {
    ProgramLockBit(lockBit);
  } else {
    ProgramCell(key, data);
  }
}

void EpromChip::PulseEnded(const SocketPins&, uint64_t) {}

void EpromChip::PowerLost() {
  // Targets that got some, but not enough, programming time are what a
  // too-short pulse sequence leaves behind.
  for (const auto& [key, charge] : charges_) {
    if (charge.taken || charge.ns == 0) continue;
    const bool lock = key > kLockKey;
    char text[120];
    std::snprintf(text, sizeof text, lock ? "Lockbit %u: Programmierzeit %llu µs, nötig %llu µs"
                                          : "Zelle 0x%04X: Programmierzeit %llu µs, nötig %llu µs",
                  lock ? key - kLockKey : key, static_cast<unsigned long long>(charge.ns / 1000),
                  static_cast<unsigned long long>((lock ? LockNeedNs() : CellNeedNs()) / 1000));
    Complain(text);
  }
  charges_.clear();
}

}  // namespace tav::sim
