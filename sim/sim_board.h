// The simulated programmer board: a PortIo backend like any other. It answers
// the strobe/handshake protocol on the three port addresses, keeps the eight
// write-only registers, drives the voltage converters, switches and lines of
// the socket, counts virtual time (every register write lasts a configurable
// time), records a register-write trace, and watches electrical rules.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "link/port_io.h"
#include "socket_chip.h"

namespace tav::sim {

struct BoardFaults {
  bool noBoard = false;              // status bit 7 stuck at 1 (nothing answers)
  bool handshakeStuckLow = false;    // status bit 7 stuck at 0
  bool brokenDataLatch = false;      // register 10 path reads back 0x00 whatever is written
  int64_t silentAfterWrites = -1;    // board stops answering after this many completed writes
  int stuckStatusBit = -1;           // a status data bit (3..6) stuck ...
  bool stuckStatusLevel = false;     // ... at this level
};

struct Violation {
  uint64_t writeIndex = 0;  // 1-based number of the completed register write
  uint64_t timeNs = 0;      // virtual time at that write
  std::string rule;
};

class SimBoard : public PortIo {
public:
  explicit SimBoard(uint16_t baseAddress = 0x378);
  ~SimBoard() override;

  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override;

  BoardFaults& Faults() { return faults_; }

  // Virtual clock: every completed register write lasts this long.
  void SetWriteDurationNs(uint64_t ns) { writeDurationNs_ = ns; }
  uint64_t NowNs() const { return nowNs_; }
  uint64_t CompletedWrites() const { return completedWrites_; }
  uint64_t WritesOfRegister(uint8_t reg) const;

  // The socket.
  void InsertChip(std::shared_ptr<SocketChip> chip);
  void RemoveChip();
  SocketChip* Chip() const { return chip_.get(); }
  const SocketPins& Pins() const { return pins_; }
  bool SocketAtRest() const;
  uint8_t DataLines() const;  // what the data lines carry now

  // Electrical rules monitor.
  const std::vector<Violation>& Violations() const { return violations_; }

  // Register-write trace: one line "RR VV" per completed write, upper-case hex.
  void SetTraceSink(std::ostream* sink) { trace_ = sink; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  BoardFaults faults_;
  SocketPins pins_;
  std::shared_ptr<SocketChip> chip_;
  std::vector<Violation> violations_;
  std::ostream* trace_ = nullptr;
  uint16_t base_;
  uint64_t writeDurationNs_ = 85000;
  uint64_t nowNs_ = 0;
  uint64_t completedWrites_ = 0;
};

}  // namespace tav::sim
