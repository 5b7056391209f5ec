// SPDX-License-Identifier: GPL-2.0-or-later
// The register transaction, the data read-back and the board detection.
// The socket sequences built on them live in socket_sequences.cpp.
#include "link/programmer_link.h"

#include "base/feedback.h"
#include "library/device_record.h"
#include "settings/settings.h"

namespace tav {

const char* const kTimeoutMessage =
    "\nTimeout-Fehler bei Datenübertragung !!\n\nMögliche Fehler:\n\n"
    "Brenner nicht eingeschaltet.\n"
    "Brenner an der falschen Schnittstelle oder\n"
    "gar nicht angeschlossen.\n"
    "Falsche Port-Adresse in den PREFS.\n"
    "Kabel defekt oder viel zu lang.\n"
    "Ein Druckerumschalter falsch geschaltet ?\n"
    "Baustein im Sockel vergessen !!";

const char* const kHardwareTimerMessage = "Fehler Hardwaretimer\n\nProgrammierung abgebrochen";

namespace {
constexpr uint8_t kHandshakeBit = 0x80;
constexpr uint8_t kStrobeBit = 0x01;
// Status reads per handshake wait once the board is lost: a board that
// answers at all answers within a few reads.
constexpr uint32_t kLostBoardPolls = 200;
}  // namespace

ProgrammerLink::ProgrammerLink(PortIo& io, const Settings& settings, const DeviceRecord& device,
                               Feedback& feedback)
    : io_(io), settings_(settings), device_(device), feedback_(feedback) {}

uint32_t ProgrammerLink::TimeoutCount() const {
  // A count of 0 would make the decrement wrap and the wait last four billion
  // reads; the settings loader never lets it through, but a hand-made record might.
  return settings_.TimeOut == 0 ? 1 : settings_.TimeOut;
}

void ProgrammerLink::BeginOperation() {
  inOperation_ = true;
  boardLost_ = false;
}

bool ProgrammerLink::WaitForHandshake(uint16_t statusPort, bool level, uint8_t& status, uint32_t polls) {
  uint32_t counter = polls;
  for (;;) {
    status = io_.In(statusPort);
    // The counter is tested before the bit: the last permitted read never
    // ends the wait, exactly as the board's timing was calibrated.
    if (--counter == 0) return false;
    if (((status & kHandshakeBit) != 0) == level) return true;
  }
}

void ProgrammerLink::ShowTimeout() { feedback_.ShowInfo(kTimeoutMessage); }

int ProgrammerLink::WriteRegister(uint8_t reg, uint8_t value) {
  ++writeCount_;
  // Read the addresses at every call: the settings dialog may move the port.
  const auto dataPort = static_cast<uint16_t>(settings_.PortAdress);
  const auto statusPort = static_cast<uint16_t>(settings_.StatusPort);
  const auto controlPort = static_cast<uint16_t>(settings_.ControlPort);

  io_.Out(dataPort, value);
  ControlCopy = reg;
  io_.Out(controlPort, ControlCopy);

  const bool quiet = inOperation_ && boardLost_;
  const uint32_t polls = quiet && TimeoutCount() > kLostBoardPolls ? kLostBoardPolls : TimeoutCount();
  uint8_t status = 0;
  bool answered = WaitForHandshake(statusPort, true, status, polls);
  if (answered) {
    ControlCopy |= kStrobeBit;
    io_.Out(controlPort, ControlCopy);
    answered = WaitForHandshake(statusPort, false, status, polls);
  }
  if (!answered) {
    if (!quiet) ShowTimeout();
    if (inOperation_) boardLost_ = true;
    ++failedWrites_;
    return kHandshakeTimeout;
  }
  // Only a complete transaction replaces LastStatus; after a failure the
  // read-back decodes the previous one.
  LastStatus = status;
  return kSuccess;
}

uint8_t ProgrammerLink::ReadDataByte() {
  WriteRegister(kRegLines, LineLatch);
  const uint8_t low = DecodeStatusNibble(LastStatus);
  WriteRegister(kRegSupply, SupplyLatch);
  const uint8_t high = DecodeStatusNibble(LastStatus);
  return static_cast<uint8_t>(low | (high << 4));
}

int ProgrammerLink::DetectProgrammer() {
  inOperation_ = false;
  boardLost_ = false;
  ModeLatch = 0;
  LineLatch = 0;
  SupplyLatch = 0;

  ControlCopy = kStrobeBit;  // register 0, strobe set: an idle board drops bit 7
  io_.Out(static_cast<uint16_t>(settings_.ControlPort), ControlCopy);
  uint8_t status = 0;
  if (!WaitForHandshake(static_cast<uint16_t>(settings_.StatusPort), false, status, TimeoutCount())) {
    ShowTimeout();
    return kHandshakeTimeout;
  }

  if (WriteRegister(kRegTest12, 0x80) != kSuccess) return kLatchTestFailed;
  if (WriteRegister(kRegTest14, 0x80) != kSuccess) return kLatchTestFailed;

  WriteRegister(kRegAddressLow, 0);
  WriteRegister(kRegAddressHigh, 0);
  WriteRegister(kRegMode, ModeLatch);
  WriteRegister(kRegSupply, SupplyLatch);
  WriteRegister(kRegLines, LineLatch);
  WriteRegister(kRegData, 0);

  // Two complementary patterns prove every data line can carry both levels.
  if (ReadDataByte() != 0x00) return kLatchTestFailed;
  WriteRegister(kRegData, 0xAA);
  WriteRegister(kRegData, 0xAA);
  if (ReadDataByte() != 0xAA) return kLatchTestFailed;
  WriteRegister(kRegData, 0x55);
  if (ReadDataByte() != 0x55) return kLatchTestFailed;

  WriteRegister(kRegData, 0);
  return kSuccess;
}

}  // namespace tav
