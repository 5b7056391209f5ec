// Simulated controllers for the simulated socket. A chip is built from the
// device record it claims to be, and it behaves like a real part of that
// kind: it answers only when powered and enabled, takes programming data only
// when the programming voltage is right and the pulses are long enough,
// refuses to unprogram bits, and honours its lock bits. A sequence that would
// fail on a real part therefore fails here too, and the chip notes why.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/device_record.h"
#include "sim/socket_chip.h"

namespace tav::sim {

// One bit of one cell that the silicon holds at a fixed level.
struct StuckBit {
  uint32_t address = 0;
  uint8_t bit = 0;     // 0..7
  bool level = false;  // the level it is stuck at
};

// Faults a chip can be built with, to exercise the error paths.
struct ChipFaults {
  bool emptySocket = false;            // nothing in the socket at all
  bool wrongSignature = false;         // every signature byte reads back complemented
  bool notBlank = false;               // left-over program: cell i holds i for i < 16
  std::optional<StuckBit> stuckBit;    // a cell bit that never changes
  std::optional<uint32_t> deadCell;    // a cell that never takes data
  // A part weaker than its record: 0 = the record's pulses suffice;
  // otherwise an EPROM cell needs this many separate pulses (besides the
  // record's programming time), and a flash cell this many write cycles.
  uint32_t neededPulses = 0;
};

class SimulatedChip : public SocketChip {
public:
  SimulatedChip(const DeviceRecord& device, int32_t timeBaseKorr, const ChipFaults& faults);

  // SocketChip.
  void OnPins(const SocketPins& pins, uint64_t nowNs) final;
  std::optional<uint8_t> DrivenData(const SocketPins& pins, uint64_t nowNs) final;
  uint8_t Package() const override { return device_.Package; }
  bool EdgeVariant() const override { return device_.IsEdgeVariant(); }
  uint32_t MaxVppMillivolts() const override;
  std::string Name() const override { return device_.DeviceName; }

  virtual bool IsFlash() const = 0;
  bool Present() const { return !faults_.emptySocket; }

  // The code memory, SizeBytes cells, erased = 0xFF. Tests may preload it.
  std::vector<uint8_t>& Memory() { return memory_; }
  const std::vector<uint8_t>& Memory() const { return memory_; }
  // Bit n-1 set = lock bit n programmed.
  uint8_t LockBits() const { return lockBits_; }
  bool IsBlank() const;

  uint64_t BytesProgrammed() const { return bytesProgrammed_; }
  uint64_t EraseCount() const { return eraseCount_; }
  uint64_t PulsesSeen() const { return pulsesSeen_; }
  // Set once the part saw a voltage beyond its limits; it programs nothing after.
  bool Damaged() const { return damaged_; }
  // What the part noticed about wrong sequences, one German line each.
  const std::vector<std::string>& Complaints() const { return complaints_; }

  // Persist memory and lock bits (format in chip_state_file.h). LoadState
  // refuses a file of another part or a damaged file and then leaves the chip
  // as it was; StateError() says why.
  bool SaveState(const std::string& path) const;
  bool LoadState(const std::string& path);
  const std::string& StateError() const { return stateError_; }
  // After a failed LoadState: the part the file belongs to when it is a
  // good file of another part, else empty.
  const std::string& StateOfOtherPart() const { return otherPart_; }

protected:
  // Called for the time between two register writes, with the pins as they
  // were held during it; `pulse` tells whether a strobe pulse was running.
  virtual void Elapse(const SocketPins& held, bool pulse, uint64_t fromNs, uint64_t toNs) = 0;
  virtual void PulseStarted(const SocketPins& pins, uint64_t nowNs) = 0;
  virtual void PulseEnded(const SocketPins& pins, uint64_t nowNs) = 0;
  // Supply gone: whatever the part was doing is lost.
  virtual void PowerLost() = 0;
  // Flash parts answer code reads during an internal write with polling data.
  virtual std::optional<uint8_t> BusyRead(uint64_t) const { return std::nullopt; }
  virtual void Advance(uint64_t) {}

  // Conditions of the part.
  bool Powered(const SocketPins& pins) const;
  bool Active(const SocketPins& pins) const { return Powered(pins) && pins.enable; }
  bool VppRight(const SocketPins& pins) const;
  bool RaisedSupply(const SocketPins& pins) const { return pins.ChipVcc() >= kRaisedSupplyMin; }
  // Code address on the lines: direct for 40 pins, internal counter for 20.
  uint32_t CodeAddress(const SocketPins& pins) const;
  // Nominal time of `units` time-base units, in ns.
  uint64_t UnitsToNs(uint64_t units) const;

  // Cell and lock changes with all the limits of the silicon applied.
  bool ProgramCell(uint32_t address, uint8_t data);
  void ProgramLockBit(int number);  // 1..3
  void EraseAll();
  void Complain(const std::string& text);

  const DeviceRecord device_;
  const int32_t timeBaseKorr_;
  const ChipFaults faults_;

  static constexpr uint32_t kSupplyMin = 4500;        // below: the part is not powered
  static constexpr uint32_t kSupplyMax = 7000;        // above: the part is destroyed
  static constexpr uint32_t kRaisedSupplyMin = 6200;  // 6.5 V parts erase and lock from here
  static constexpr uint32_t kVppTolerance = 500;      // below nominal: too weak to program

private:
  uint8_t SignatureByte(const SocketPins& pins) const;
  void ApplyStuckBit(uint32_t address);
  void CheckLimits(const SocketPins& pins);

  std::vector<uint8_t> memory_;
  uint8_t lockBits_ = 0;
  uint64_t bytesProgrammed_ = 0;
  uint64_t eraseCount_ = 0;
  uint64_t pulsesSeen_ = 0;
  bool damaged_ = false;
  std::vector<std::string> complaints_;
  mutable std::string stateError_;
  std::string otherPart_;

  SocketPins lastPins_;
  uint64_t lastNs_ = 0;
  bool wasPowered_ = false;
  bool strobeIdleSeen_ = false;  // strobe seen high while active: the next low is a pulse
  bool inPulse_ = false;
};

// Builds the chip a record describes: flash when it has an erase time,
// EPROM otherwise. `timeBaseKorr` is the value the record was parsed with, so
// that its time-base units can be turned back into the part's microseconds.
std::shared_ptr<SimulatedChip> MakeChip(const DeviceRecord& device, int32_t timeBaseKorr,
                                        const ChipFaults& faults = {});

}  // namespace tav::sim
