// The simulated programmer board: a PortIo backend like any other. It answers
// the strobe/handshake protocol on the three port addresses, keeps the eight
// write-only registers, drives the voltage converters, switches and lines of
// the socket, counts virtual time (every register write lasts a configurable
// time), records a register-write trace, and watches electrical rules.
//
// Read-back: status bits 3 to 6 carry four of the data lines. A write of
// register 4 selects data bits 0 to 3, a write of register 8 bits 4 to 7; the
// other registers leave the selection where it was (the low half at start).
// Status bits 0 to 2 read 1, as the unused lines of a real port float high.
//
// Counter of 20-pin parts: reset to 0 on the rising edge of the enable line,
// one step per rising edge of register 6 bit 0. On the edge variant every
// level change steps it, except that a reset taken with the clock high needs
// one change back to low before counting resumes: the sequences reset the
// counter with the clock high and then bring it low, and that change must
// not move the counter off 0.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "link/port_io.h"
#include "sim/socket_chip.h"

namespace tav::sim {

struct BoardFaults {
  bool noBoard = false;              // status bit 7 stuck at 1 (nothing answers)
  bool handshakeStuckLow = false;    // status bit 7 stuck at 0
  bool brokenDataLatch = false;      // register 10 path reads back 0x00 whatever is written
  int64_t silentAfterWrites = -1;    // board stops answering after this many completed writes
  int64_t missedWrite = -1;          // the board misses this one transaction (1-based), then answers again
  int stuckStatusBit = -1;           // a status data bit (3..6) stuck ...
  bool stuckStatusLevel = false;     // ... at this level
};

struct Violation {
  uint64_t writeIndex = 0;  // 1-based number of the completed register write
  uint64_t timeNs = 0;      // virtual time at that write
  std::string rule;
};

// Rule texts of the electrical monitor. A rule is recorded once, at the
// write that enters the offending state, not at every write while it lasts.
// The programming-voltage limit belongs to the chip, so an empty socket has
// none; a mode change with the strobe low counts whether or not the socket
// is powered, since no sequence ever needs one.
inline constexpr const char* kRuleVppWithoutSupply =
    "Programmierspannung eingeschaltet ohne Betriebsspannung";
inline constexpr const char* kRuleSupplyOffUnderVpp =
    "Betriebsspannung abgeschaltet bei anliegender Programmierspannung";
inline constexpr const char* kRuleVppAboveLimit = "Programmierspannung über dem Grenzwert des Bausteins";
inline constexpr const char* kRuleModeChangeWhileStrobeLow = "Moduswechsel bei aktivem Programmierimpuls";

class SimBoard;

// One German line for each broken rule of `board` and each complaint of the
// chip, and one for a damaged chip: what a simulated run must tell the user,
// since on a real board these would harm the part without a word.
std::vector<std::string> HarmReport(const SimBoard& board, const std::vector<std::string>& chipComplaints,
                                    bool chipDamaged);

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
  // Real time: the board then takes as long as its virtual clock says,
  // sleeping in batches of kRealtimeBatchNs of virtual time (a sleep per
  // write would cost more than the write itself).
  static constexpr uint64_t kRealtimeBatchNs = 10'000'000;
  void SetRealtime(bool on);
  // The wall clock real time follows; tests give a clock of their own.
  using WallTime = std::chrono::steady_clock::time_point;
  void SetWallClock(std::function<WallTime()> now, std::function<void(WallTime)> sleepUntil);
  uint64_t CompletedWrites() const { return completedWrites_; }
  uint64_t WritesOfRegister(uint8_t reg) const;
  // The value last latched into a register (0 before its first write).
  uint8_t Register(uint8_t reg) const { return registers_[(reg >> 1) & 7]; }
  // True between the register number and the strobe of a transaction.
  bool WaitingForStrobe() const { return waiting_; }

  // The socket.
  void InsertChip(std::shared_ptr<SocketChip> chip);
  void RemoveChip();
  SocketChip* Chip() const { return chip_.get(); }
  const SocketPins& Pins() const { return pins_; }
  bool SocketAtRest() const;
  uint8_t DataLines() const;  // what the data lines carry now
  // Codes taken over by the converters on their last load strobe.
  uint8_t SupplyConverterCode() const { return supplyCode_; }
  uint8_t VppConverterCode() const { return vppCode_; }

  // Electrical rules monitor.
  const std::vector<Violation>& Violations() const { return violations_; }
  void ClearViolations() { violations_.clear(); }

  // Register-write trace: one line "RR VV" per completed write, upper-case hex.
  void SetTraceSink(std::ostream* sink) { trace_ = sink; }

private:
  bool Silent() const;
  void CompleteWrite(uint8_t reg, uint8_t value);
  void ApplyLines(uint8_t value);
  void ApplyCounterClock(uint8_t value);
  void CheckRules(const SocketPins& before);
  void Record(const char* rule);
  void UpdateReadBack();

  BoardFaults faults_;
  SocketPins pins_;
  std::shared_ptr<SocketChip> chip_;
  bool edgeVariant_ = false;
  std::vector<Violation> violations_;
  std::ostream* trace_ = nullptr;
  uint16_t base_;
  uint64_t writeDurationNs_ = 85000;
  uint64_t nowNs_ = 0;
  uint64_t completedWrites_ = 0;
  bool realtime_ = false;
  uint64_t realtimeStartNs_ = 0;                  // virtual time when real time began
  WallTime wallStart_;                            // and the wall clock then
  std::function<WallTime()> wallNow_ = [] { return std::chrono::steady_clock::now(); };
  std::function<void(WallTime)> sleepUntil_ = [](WallTime until) { std::this_thread::sleep_until(until); };
  uint64_t nextSleepNs_ = 0;                      // virtual time of the next sleep

  // The port side of the handshake.
  uint8_t dataPort_ = 0;
  uint8_t controlPort_ = 0;
  bool waiting_ = false;
  bool silent_ = false;          // went silent after faults_.silentAfterWrites
  bool missed_ = false;          // faults_.missedWrite has happened
  uint8_t pendingRegister_ = 0;
  uint8_t readBack_ = 0x07;      // status bits 0 to 6 as the board drives them
  bool readBackHigh_ = false;    // which half of the data lines status shows

  // The registers and what hangs on them.
  std::array<uint8_t, 8> registers_{};
  std::array<uint64_t, 8> writesPerRegister_{};
  uint16_t converterChain_ = 0;  // both 8-bit shift registers, supply first
  uint8_t supplyCode_ = 0;
  uint8_t vppCode_ = 0;
  bool counterArmed_ = true;     // edge variant: counting resumed after reset
};

}  // namespace tav::sim
