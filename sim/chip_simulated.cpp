// What every simulated controller shares: power and enable, the read modes,
// the signature area, the voltage limits, and the rules for changing cells.
#include <algorithm>
#include <cstdio>

#include "sim/chip_models.h"
#include "sim/chip_state_file.h"
#include "settings/time_base.h"

namespace tav::sim {

namespace {

// A left-over program that the notBlank fault leaves in the first cells.
constexpr uint32_t kLeftOverCells = 16;
// Enough to explain a failed run; a chip that complains about every cell of
// a 64 KiB part would only bury the first reason.
constexpr size_t kMaxComplaints = 200;

uint32_t AddressSpace(uint32_t sizeBytes) {
  uint32_t space = 1;
  while (space < sizeBytes) space <<= 1;
  return space;
}

}  // namespace

SimulatedChip::SimulatedChip(const DeviceRecord& device, int32_t timeBaseKorr, const ChipFaults& faults)
    : device_(device), timeBaseKorr_(timeBaseKorr), faults_(faults) {
  const uint32_t size = std::clamp<uint32_t>(device.SizeBytes, 1, 0x10000);
  memory_.assign(size, 0xFF);
  if (faults_.notBlank) {
    for (uint32_t i = 0; i < kLeftOverCells && i < size; ++i) memory_[i] = static_cast<uint8_t>(i);
  }
  if (faults_.stuckBit) ApplyStuckBit(faults_.stuckBit->address);
}

uint32_t SimulatedChip::MaxVppMillivolts() const {
  // Absolute limits of the three families the library knows: parts
  // programmed at logic level, the 12 V flash and 12.75 V EPROM parts, and
  // the old 21 V EPROMs.
  const uint32_t nominal = device_.VppCode * 100u;
  if (nominal <= 6500) return 7000;
  if (nominal <= 13000) return std::max<uint32_t>(13000, nominal + 250);
  return nominal + 500;
}

bool SimulatedChip::IsBlank() const {
  return std::all_of(memory_.begin(), memory_.end(), [](uint8_t b) { return b == 0xFF; });
}

bool SimulatedChip::Powered(const SocketPins& pins) const {
  return pins.ChipVcc() >= kSupplyMin;
}

bool SimulatedChip::VppRight(const SocketPins& pins) const {
  const uint32_t nominal = device_.VppCode * 100u;
  const uint32_t vpp = pins.ChipVpp();
  return pins.vppOn && vpp + kVppTolerance >= nominal && vpp <= MaxVppMillivolts();
}

uint32_t SimulatedChip::CodeAddress(const SocketPins& pins) const {
  // Unused high address lines are forced to 1 by the programmer for small
  // parts; the part itself simply has no such lines.
  const uint32_t raw = device_.IsDip20() ? pins.counter : pins.Address40(device_.SizeBytes);
  return raw & (AddressSpace(static_cast<uint32_t>(memory_.size())) - 1);
}

uint64_t SimulatedChip::UnitsToNs(uint64_t units) const {
  return TimeBaseMicroseconds(units, timeBaseKorr_) * 1000u;
}

uint8_t SimulatedChip::SignatureByte(const SocketPins& pins) const {
  uint8_t value = 0xFF;
  if (device_.IsDip20()) {
    // Two bytes presented from the internal counter.
    if (pins.counter == 0) value = device_.ManufacturerId000;
    if (pins.counter == 1) value = device_.DeviceIdDip20;
  } else {
    // The signature area decodes at least ten address lines, so 0x200 is
    // reachable even on parts with less code memory.
    const uint32_t space = std::max<uint32_t>(0x400, AddressSpace(static_cast<uint32_t>(memory_.size())));
    switch (pins.Address40() & (space - 1)) {
      case 0x000: value = device_.ManufacturerId000; break;
      case 0x030: value = device_.ManufacturerId030; break;
      case 0x031: value = device_.DeviceId031; break;
      case 0x032: value = device_.DeviceId032; break;
      case 0x060: value = device_.DeviceId060; break;
      case 0x100: value = device_.DeviceId100; break;
      case 0x200: value = device_.DeviceId200; break;
      default: break;
    }
  }
  return faults_.wrongSignature ? static_cast<uint8_t>(~value) : value;
}

void SimulatedChip::OnPins(const SocketPins& pins, uint64_t nowNs) {
  if (!Present()) return;
  // The pins were constant since the previous write: account for that time
  // before looking at what has just changed.
  if (nowNs > lastNs_) Elapse(lastPins_, inPulse_, lastNs_, nowNs);
  Advance(nowNs);
  CheckLimits(pins);

  const bool active = Active(pins) && !damaged_;
  if (inPulse_ && (!active || pins.strobe)) {
    inPulse_ = false;
    PulseEnded(pins, nowNs);
  }
  if (wasPowered_ && !Powered(pins)) PowerLost();
  // A pulse is a falling strobe seen by an enabled, powered part; a strobe
  // that was already low when the part woke up is no pulse.
  if (active && !pins.strobe && strobeIdleSeen_) {
    inPulse_ = true;
    ++pulsesSeen_;
    PulseStarted(pins, nowNs);
  }
  strobeIdleSeen_ = active && pins.strobe;
  wasPowered_ = Powered(pins);
  lastPins_ = pins;
  lastNs_ = nowNs;
}

std::optional<uint8_t> SimulatedChip::DrivenData(const SocketPins& pins, uint64_t nowNs) {
  if (!Present()) return std::nullopt;
  Advance(nowNs);
  // The outputs are enabled only in a read mode, and only while the board's
  // data latch has let go of the lines.
  if (!Active(pins) || pins.dataRegister != 0xFF) return std::nullopt;
  if (pins.mode == 0) return SignatureByte(pins);
  if (pins.mode != 12) return std::nullopt;
  if (auto polling = BusyRead(nowNs)) return polling;
  const uint32_t address = CodeAddress(pins);
  const uint8_t stored = address < memory_.size() ? memory_[address] : 0xFF;
  // Lock bit 2 or 3 disables verification: the part shows no real contents.
  if (lockBits_ & 0x06) return static_cast<uint8_t>(~stored);
  return stored;
}

void SimulatedChip::CheckLimits(const SocketPins& pins) {
  if (damaged_) return;
  char text[160];
  if (pins.ChipVpp() > MaxVppMillivolts()) {
    std::snprintf(text, sizeof text, "Programmierspannung %u mV über dem Grenzwert %u mV: Baustein zerstört",
                  pins.ChipVpp(), MaxVppMillivolts());
  } else if (pins.ChipVcc() > kSupplyMax) {
    std::snprintf(text, sizeof text, "Betriebsspannung %u mV über dem Grenzwert %u mV: Baustein zerstört",
                  pins.ChipVcc(), kSupplyMax);
  } else {
    return;
  }
  damaged_ = true;
  Complain(text);
}

bool SimulatedChip::ProgramCell(uint32_t address, uint8_t data) {
  if (damaged_ || address >= memory_.size()) return false;
  if (lockBits_ != 0) {
    char text[80];
    std::snprintf(text, sizeof text, "Zelle 0x%04X nicht programmiert: Baustein ist gesperrt", address);
    Complain(text);
    return false;
  }
  if (faults_.deadCell && *faults_.deadCell == address) return false;
  memory_[address] &= data;  // charge only ever clears bits
  ApplyStuckBit(address);
  ++bytesProgrammed_;
  return true;
}

void SimulatedChip::ProgramLockBit(int number) {
  if (damaged_) return;
  if (number < 1 || number > device_.LockBitCount) {
    Complain("Lockbit " + std::to_string(number) + " gibt es bei diesem Baustein nicht");
    return;
  }
  lockBits_ |= static_cast<uint8_t>(1u << (number - 1));
}

void SimulatedChip::EraseAll() {
  if (damaged_) return;
  std::fill(memory_.begin(), memory_.end(), 0xFF);
  if (faults_.stuckBit) ApplyStuckBit(faults_.stuckBit->address);
  lockBits_ = 0;
  ++eraseCount_;
}

void SimulatedChip::ApplyStuckBit(uint32_t address) {
  if (!faults_.stuckBit || faults_.stuckBit->address != address || address >= memory_.size()) return;
  const uint8_t mask = static_cast<uint8_t>(1u << (faults_.stuckBit->bit & 7));
  if (faults_.stuckBit->level) {
    memory_[address] |= mask;
  } else {
    memory_[address] &= static_cast<uint8_t>(~mask);
  }
}

void SimulatedChip::Complain(const std::string& text) {
  if (complaints_.size() < kMaxComplaints) complaints_.push_back(text);
}

bool SimulatedChip::SaveState(const std::string& path) const {
  ChipState state{device_.DeviceName, lockBits_, memory_};
  return WriteChipStateFile(path, state, stateError_);
}

bool SimulatedChip::LoadState(const std::string& path) {
  ChipState state;
  if (!ReadChipStateFile(path, device_.DeviceName, static_cast<uint32_t>(memory_.size()), state, stateError_)) {
    otherPart_ = state.part;
    return false;
  }
  memory_ = std::move(state.cells);
  lockBits_ = state.lockBits;
  return true;
}

}  // namespace tav::sim
