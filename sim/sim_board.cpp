#include "sim/sim_board.h"

#include <ostream>
#include <thread>

namespace tav::sim {

namespace {
constexpr uint8_t kHandshake = 0x80;
constexpr uint8_t kUnusedStatusBits = 0x07;
constexpr uint8_t kStrobe = 0x01;

// Data bits 0..3 of `nibble` on status bits 6, 3, 4, 5.
uint8_t StatusBitsOf(uint8_t nibble) {
  return static_cast<uint8_t>(((nibble & 0x01) << 6) | ((nibble & 0x0E) << 2));
}

bool Rising(uint8_t before, uint8_t after, uint8_t bit) { return !(before & bit) && (after & bit); }
}  // namespace

std::vector<std::string> HarmReport(const SimBoard& board, const std::vector<std::string>& chipComplaints,
                                    bool chipDamaged) {
  std::vector<std::string> lines;
  for (const Violation& v : board.Violations()) {
    lines.push_back("Simulator: elektrische Regel verletzt (Registerzugriff " + std::to_string(v.writeIndex) +
                    "): " + v.rule);
  }
  for (const std::string& complaint : chipComplaints) lines.push_back("Simulator: Baustein beanstandet: " + complaint);
  if (chipDamaged) lines.push_back("Simulator: Baustein beschädigt.");
  return lines;
}

SimBoard::SimBoard(uint16_t baseAddress) : base_(baseAddress) {}
SimBoard::~SimBoard() = default;

bool SimBoard::Silent() const { return faults_.noBoard || silent_; }

void SimBoard::Out(uint16_t address, uint8_t value) {
  if (address == base_) {
    dataPort_ = value;
    return;
  }
  if (address != base_ + 2) return;
  // The board falls silent between transactions, so the write that reaches
  // the limit still ends its handshake.
  if (faults_.silentAfterWrites >= 0 && completedWrites_ >= static_cast<uint64_t>(faults_.silentAfterWrites)) {
    silent_ = true;
  }
  const uint8_t before = controlPort_;
  controlPort_ = value;
  if (Silent() || faults_.handshakeStuckLow) return;
  if (!(value & kStrobe)) {
    // A register number with the strobe clear: the board waits for the
    // strobe, unless this is the one transaction it is to miss.
    if (!missed_ && faults_.missedWrite >= 0 && completedWrites_ + 1 == static_cast<uint64_t>(faults_.missedWrite)) {
      missed_ = true;
      waiting_ = false;
      return;
    }
    waiting_ = true;
    pendingRegister_ = static_cast<uint8_t>(value & 0x0E);
  } else if (!(before & kStrobe) && waiting_) {
    waiting_ = false;
    CompleteWrite(pendingRegister_, dataPort_);
  }
}

uint8_t SimBoard::In(uint16_t address) {
  if (address != base_ + 1) return 0xFF;
  if (Silent()) return 0xFF;
  uint8_t status = readBack_;
  if (waiting_ && !faults_.handshakeStuckLow) status |= kHandshake;
  if (faults_.stuckStatusBit >= 0 && faults_.stuckStatusBit < 8) {
    const auto bit = static_cast<uint8_t>(1u << faults_.stuckStatusBit);
    status = faults_.stuckStatusLevel ? static_cast<uint8_t>(status | bit) : static_cast<uint8_t>(status & ~bit);
  }
  return status;
}

uint64_t SimBoard::WritesOfRegister(uint8_t reg) const { return writesPerRegister_[(reg >> 1) & 7]; }

void SimBoard::SetRealtime(bool on) {
  realtime_ = on;
  realtimeStartNs_ = nowNs_;
  wallStart_ = wallNow_();
  nextSleepNs_ = nowNs_ + kRealtimeBatchNs;
}

void SimBoard::SetWallClock(std::function<WallTime()> now, std::function<void(WallTime)> sleepUntil) {
  wallNow_ = std::move(now);
  sleepUntil_ = std::move(sleepUntil);
}

void SimBoard::CompleteWrite(uint8_t reg, uint8_t value) {
  const unsigned index = (reg >> 1) & 7;
  const uint8_t previous = registers_[index];
  registers_[index] = value;
  ++writesPerRegister_[index];
  ++completedWrites_;
  nowNs_ += writeDurationNs_;
  if (realtime_ && nowNs_ >= nextSleepNs_) {
    // Catch up with the virtual clock: a slow batch is not followed by a
    // fast one, so the pace holds over the whole run. When the wall clock
    // is more than a batch ahead, the board sat idle (between two commands)
    // or the host was slow: the pace starts afresh from here, or everything
    // after an idle window would run at full speed.
    const WallTime due = wallStart_ + std::chrono::nanoseconds(nowNs_ - realtimeStartNs_);
    const WallTime now = wallNow_();
    if (now > due + std::chrono::nanoseconds(kRealtimeBatchNs)) {
      realtimeStartNs_ = nowNs_;
      wallStart_ = now;
    } else {
      sleepUntil_(due);
    }
    nextSleepNs_ = nowNs_ + kRealtimeBatchNs;
  }
  const SocketPins before = pins_;

  switch (reg) {
    case 0:
      pins_.mode = value & 0x0F;
      break;
    case 2:
      pins_.addressHigh = value;
      break;
    case 4:
      ApplyLines(previous);
      readBackHigh_ = false;
      break;
    case 6:
      pins_.addressLow = value;
      ApplyCounterClock(previous);
      break;
    case 8:
      pins_.supplyOn = (value & 0x80) != 0;
      pins_.vppOn = (value & 0x10) != 0;
      readBackHigh_ = true;
      break;
    case 10:
      pins_.dataRegister = faults_.brokenDataLatch ? 0x00 : value;
      break;
    default:  // 12 and 14 are only touched by the detection
      break;
  }

  if (reg == 0 || reg == 4 || reg == 8) CheckRules(before);
  if (chip_) chip_->OnPins(pins_, nowNs_);
  UpdateReadBack();

  if (trace_) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char line[6] = {kHex[reg >> 4], kHex[reg & 15], ' ', kHex[value >> 4], kHex[value & 15], '\n'};
    trace_->write(line, sizeof line);
  }
}

void SimBoard::ApplyLines(uint8_t previous) {
  const uint8_t now = Register(4);
  if (Rising(previous, now, 0x01)) {
    converterChain_ = static_cast<uint16_t>((converterChain_ << 1) | ((now >> 1) & 1));
  }
  if (Rising(previous, now, 0x04)) {
    // The supply value went in first, so it has moved on into the far half.
    supplyCode_ = static_cast<uint8_t>(converterChain_ >> 8);
    vppCode_ = static_cast<uint8_t>(converterChain_ & 0xFF);
    pins_.vccMillivolts = supplyCode_ * 50u;
    pins_.vppMillivolts = vppCode_ * 100u;
  }
  pins_.strobe = (now & 0x40) != 0;
  pins_.enable = (now & 0x80) != 0;
  if (Rising(previous, now, 0x80)) {
    pins_.counter = 0;
    counterArmed_ = (Register(6) & 1) == 0;
  }
}

void SimBoard::ApplyCounterClock(uint8_t previous) {
  const uint8_t now = Register(6);
  if (((previous ^ now) & 1) == 0) return;
  if (!edgeVariant_) {
    if (now & 1) ++pins_.counter;
  } else if (counterArmed_) {
    ++pins_.counter;
  } else if ((now & 1) == 0) {
    counterArmed_ = true;
  }
}

void SimBoard::Record(const char* rule) { violations_.push_back({completedWrites_, nowNs_, rule}); }

void SimBoard::CheckRules(const SocketPins& before) {
  const bool wasBad = before.vppOn && !before.supplyOn;
  if (pins_.vppOn && !pins_.supplyOn && !wasBad) {
    Record(before.vppOn ? kRuleSupplyOffUnderVpp : kRuleVppWithoutSupply);
  }
  if (chip_) {
    const uint32_t limit = chip_->MaxVppMillivolts();
    if (pins_.ChipVpp() > limit && before.ChipVpp() <= limit) Record(kRuleVppAboveLimit);
  }
  if (pins_.mode != before.mode && !pins_.strobe) Record(kRuleModeChangeWhileStrobeLow);
}

uint8_t SimBoard::DataLines() const {
  uint8_t lines = pins_.dataRegister;
  if (chip_) {
    // The chip can only pull lines low that the board releases.
    if (const auto driven = chip_->DrivenData(pins_, nowNs_)) lines &= *driven;
  }
  return lines;
}

void SimBoard::UpdateReadBack() {
  const uint8_t lines = DataLines();
  const uint8_t nibble = readBackHigh_ ? static_cast<uint8_t>(lines >> 4) : static_cast<uint8_t>(lines & 0x0F);
  readBack_ = static_cast<uint8_t>(StatusBitsOf(nibble) | kUnusedStatusBits);
}

void SimBoard::InsertChip(std::shared_ptr<SocketChip> chip) {
  chip_ = std::move(chip);
  edgeVariant_ = chip_ && chip_->EdgeVariant();
  UpdateReadBack();
}

void SimBoard::RemoveChip() {
  chip_.reset();
  edgeVariant_ = false;
  UpdateReadBack();
}

bool SimBoard::SocketAtRest() const {
  return supplyCode_ == 0 && vppCode_ == 0 && !pins_.supplyOn && !pins_.vppOn && pins_.mode == 0 &&
         !pins_.enable && !pins_.strobe;
}

}  // namespace tav::sim
