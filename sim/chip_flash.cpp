// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/chip_flash.h"

#include <algorithm>
#include <cstdio>

namespace tav::sim {

bool FlashChip::IsWriteMode(uint8_t mode) const {
  return mode == 14 || mode == 15 || mode == 3 || mode == 5;
}

uint8_t FlashChip::LockBitsOf(uint8_t mode, uint8_t data) const {
  if (device_.Option == DeviceOption::LockP12) {
    // One pulse programs every lock bit whose data line is low: bit 7 for
    // lock bit 1, bit 6 for lock bit 2, bit 5 for lock bit 3.
    if (mode != 5) return 0;
    return static_cast<uint8_t>(((data & 0x80) ? 0 : 1) | ((data & 0x40) ? 0 : 2) | ((data & 0x20) ? 0 : 4));
  }
  switch (mode) {
    case 15: return 1;
    case 3: return 2;
    case 5: return 4;
    default: return 0;
  }
}

uint64_t FlashChip::EraseNeedNs() const {
  return UnitsToNs(std::max<uint32_t>(1, device_.EraseTime));
}

void FlashChip::PulseStarted(const SocketPins& pins, uint64_t nowNs) {
  pulseMode_ = pins.mode;
  pulseAddress_ = CodeAddress(pins);
  pulseData_ = pins.dataRegister;
  pulseStartNs_ = nowNs;
  pulseValid_ = true;
  const bool lockMode = IsWriteMode(pins.mode) && pins.mode != 14;
  if (device_.Vcc65 && (pins.mode == 1 || lockMode) && !RaisedSupply(pins)) {
    char text[120];
    std::snprintf(text, sizeof text, "%s bei %u mV Betriebsspannung statt 6,5 V: ohne Wirkung",
                  pins.mode == 1 ? "Löschimpuls" : "Lockbit-Impuls", pins.ChipVcc());
    Complain(text);
    pulseValid_ = false;
    return;
  }
  if (pins.mode == 1) {
    eraseRunning_ = true;
    eraseNs_ = 0;
  }
}

void FlashChip::Elapse(const SocketPins& held, bool pulse, uint64_t fromNs, uint64_t toNs) {
  if (Damaged()) return;
  if (pulse && (held.mode != pulseMode_ || (IsWriteMode(pulseMode_) && !VppRight(held)))) pulseValid_ = false;
  if (!eraseRunning_) return;
  if (device_.Vcc65) {
    // Started by a pulse, the erase runs on while the erase mode is held at
    // the raised supply; leaving that state ends it.
    if (held.mode == 1 && RaisedSupply(held) && Active(held)) {
      EraseProgress(toNs - fromNs);
    } else {
      eraseRunning_ = false;
      char text[100];
      std::snprintf(text, sizeof text, "Löschen abgebrochen nach %llu µs, nötig %llu µs",
                    static_cast<unsigned long long>(eraseNs_ / 1000),
                    static_cast<unsigned long long>(EraseNeedNs() / 1000));
      Complain(text);
    }
  } else if (pulse && held.mode == 1 && VppRight(held)) {
    EraseProgress(toNs - fromNs);
  }
}

void FlashChip::EraseProgress(uint64_t ns) {
  eraseNs_ += ns;
  if (eraseNs_ < EraseNeedNs()) return;
  EraseAll();
  eraseRunning_ = false;
  pending_.reset();
  cycles_.clear();
}

void FlashChip::PulseEnded(const SocketPins& pins, uint64_t nowNs) {
  char text[140];
  if (pulseMode_ == 1) {
    if (!device_.Vcc65 && eraseRunning_) {
      eraseRunning_ = false;
      std::snprintf(text, sizeof text, "Löschimpuls zu kurz oder ohne Programmierspannung: %llu µs, nötig %llu µs",
                    static_cast<unsigned long long>(eraseNs_ / 1000),
                    static_cast<unsigned long long>(EraseNeedNs() / 1000));
      Complain(text);
    }
    return;
  }
  if (!IsWriteMode(pulseMode_)) return;
  if (!Active(pins) || !pulseValid_) {
    std::snprintf(text, sizeof text,
                  "Schreibimpuls an 0x%04X verworfen: Programmierspannung fehlte, Modus wechselte oder Strom fiel ab",
                  pulseAddress_);
    Complain(text);
    return;
  }
  if (nowNs - pulseStartNs_ < kMinWritePulseNs) {
    std::snprintf(text, sizeof text, "Schreibimpuls an 0x%04X zu kurz", pulseAddress_);
    Complain(text);
    return;
  }
  if (pending_) {
    std::snprintf(text, sizeof text, "Schreibimpuls an 0x%04X während eines laufenden Schreibzyklus verworfen",
                  pulseAddress_);
    Complain(text);
    return;
  }
  Write write;
  write.doneNs = nowNs + kWriteTimeNs;
  if (pulseMode_ == 14) {
    write.address = pulseAddress_;
    write.data = pulseData_;
  } else {
    write.lock = true;
    write.data = LockBitsOf(pulseMode_, pulseData_);
    if (write.data == 0) {
      std::snprintf(text, sizeof text, "Lockbit-Modus %u wird von diesem Baustein nicht unterstützt", pulseMode_);
      Complain(text);
      return;
    }
  }
  pending_ = write;
}

void FlashChip::Advance(uint64_t nowNs) {
  if (!pending_ || nowNs < pending_->doneNs) return;
  const Write write = *pending_;
  pending_.reset();
  if (write.lock) {
    for (int n = 1; n <= 3; ++n) {
      if (write.data & (1u << (n - 1))) ProgramLockBit(n);
    }
    return;
  }
  if (write.data == 0xFF) return;
  if (faults_.neededPulses > 1 && ++cycles_[write.address] < faults_.neededPulses) return;
  ProgramCell(write.address, write.data);
}

std::optional<uint8_t> FlashChip::BusyRead(uint64_t nowNs) const {
  if (!pending_ || pending_->lock || nowNs >= pending_->doneNs) return std::nullopt;
  const auto& cells = Memory();
  const uint8_t stored = pending_->address < cells.size() ? cells[pending_->address] : 0xFF;
  return static_cast<uint8_t>((stored & 0x7F) | (~pending_->data & 0x80));
}

void FlashChip::PowerLost() {
  if (pending_) {
    char text[100];
    std::snprintf(text, sizeof text, "Schreibzyklus an 0x%04X durch Abschalten abgebrochen", pending_->address);
    Complain(text);
    pending_.reset();
  }
  eraseRunning_ = false;
}

}  // namespace tav::sim
