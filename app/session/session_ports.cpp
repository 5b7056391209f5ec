// The port the session's link talks to: the real port through port access,
// or the simulated board with a chip of the selected device, either of them
// optionally traced.
#include <filesystem>

#include "app/session/session.h"
#include "base/feedback.h"
#include "settings/native_path.h"

namespace tav {

int Session::OpenPort() {
  PortIo* io = nullptr;
  if (options_.simulator) {
    const int result = OpenSimulator();
    if (result != 0) return result;
    io = board_.get();
  } else if (options_.portStandIn) {
    access_.io = options_.portStandIn();
    io = access_.io.get();
  } else {
    io = OpenPortAccess();
  }
  if (io == nullptr) {
    io = inertPort_.get();
  } else {
    const int result = OpenTrace(io);
    if (result != 0) return result;
  }
  link_ = std::make_unique<ProgrammerLink>(*io, settings_, device_, feedback_);
  return 0;
}

PortIo* Session::OpenPortAccess() {
  access_ = PortAccess{};
  SetupPortAccess(options_.ppdevDevice, settings_, feedback_, access_, options_.ports);
  portOpenedFor_ = settings_.PortAdress;
  demoMode_ = access_.DemoMode;
  return access_.io.get();
}

// Port access serves only the address it was set up for (ppdev picks the
// parport of that address, ioperm opens just its three ports), so a
// corrected address is set up again, with the messages of the start-up.
// A named ppdev device does not depend on the address; the simulated board
// answers where it sits.
void Session::FollowPortAddress() {
  if (options_.simulator || !options_.ppdevDevice.empty() || settings_.PortAdress == portOpenedFor_) return;
  if (tracer_) tracer_.reset();
  PortIo* io = OpenPortAccess();
  if (io == nullptr) {
    io = inertPort_.get();
  } else if (traceFile_.is_open()) {
    tracer_ = std::make_unique<TracingPort>(*io, uint16_t(settings_.PortAdress), traceFile_);
    io = tracer_.get();
  }
  link_ = std::make_unique<ProgrammerLink>(*io, settings_, device_, feedback_);
}

// The board starts with an empty socket: the chip follows the device the
// user selects (FitSimulatedChip), so that loading the device here would
// only show a broken library's message a second time.
int Session::OpenSimulator() {
  const SimulatorOptions& simulator = *options_.simulator;
  board_ = std::make_unique<sim::SimBoard>(
      uint16_t(simulator.boardAddress != 0 ? simulator.boardAddress : settings_.PortAdress));
  const uint32_t microseconds =
      simulator.writeMicroseconds != 0 ? simulator.writeMicroseconds : uint32_t(settings_.TimeBaseKorr);
  board_->SetWriteDurationNs(uint64_t(microseconds) * 1000);
  board_->SetRealtime(simulator.realtime);
  board_->Faults() = simulator.boardFaults;
  return 0;
}

// The socket holds a chip of the current device: the one of the chip-state
// file when the file belongs to that device, else a blank one. The chip
// that leaves the socket keeps its state in the file first. A file of
// another device is left as it is and said once; one that cannot be read
// at all means the simulator cannot be used (demonstration mode).
int Session::FitSimulatedChip() {
  if (!board_ || device_.DeviceName.empty() || (chip_ && chip_->Name() == device_.DeviceName)) return 0;
  const std::string& path = options_.simulator->chipState;
  if (chip_ && chipStateUsable_ && !path.empty() && !chip_->SaveState(path)) {
    feedback_.ShowPlainMessage("Chip-Zustand '" + path + "' kann nicht gespeichert werden.");
  }
  chip_ = sim::MakeChip(device_, settings_.TimeBaseKorr, options_.simulator->chipFaults);
  chipStateUsable_ = true;
  std::error_code noFile;
  if (!path.empty() && std::filesystem::exists(NativePath(path), noFile) && !chip_->LoadState(path)) {
    chipStateUsable_ = false;
    if (chip_->StateOfOtherPart().empty()) {
      feedback_.ShowPlainMessage("Chip-Zustand '" + path + "' kann nicht geladen werden:\n" + chip_->StateError());
      board_->RemoveChip();
      chip_.reset();
      demoMode_ = 1;
      return kFileFailed;
    }
    if (!otherPartReported_) {
      feedback_.ShowPlainMessage("Chip-Zustand '" + path + "' gehört zu einem " + chip_->StateOfOtherPart() +
                                 ".\nIm Sockel steckt jetzt ein leerer " + device_.DeviceName +
                                 "; die Datei bleibt unverändert.");
      otherPartReported_ = true;
    }
  }
  board_->InsertChip(chip_);
  return 0;
}

int Session::OpenTrace(PortIo*& io) {
  if (options_.tracePath.empty()) return 0;
  traceFile_.open(options_.tracePath, std::ios::binary | std::ios::trunc);
  if (!traceFile_) {
    feedback_.ShowPlainMessage("Trace-Datei '" + options_.tracePath + "' kann nicht angelegt werden.");
    return kFileFailed;
  }
  // The simulated board records its own trace; a real port is watched from
  // outside and gives the same lines.
  if (board_) {
    board_->SetTraceSink(&traceFile_);
  } else {
    tracer_ = std::make_unique<TracingPort>(*io, uint16_t(settings_.PortAdress), traceFile_);
    io = tracer_.get();
  }
  return 0;
}

int Session::CheckSimulatedHarm(int status) {
  // On real hardware a broken sequencing rule can destroy a chip without a
  // word; the simulator sees it, so the run must not end as a success.
  if (board_ && chip_) {
    // A chip's own complaints are told once, also when a production run
    // checked it before the session closes.
    static const std::vector<std::string> kNone;
    const bool told = harmToldFor_ == chip_.get();
    harmToldFor_ = chip_.get();
    for (const std::string& line :
         sim::HarmReport(*board_, told ? kNone : chip_->Complaints(), !told && chip_->Damaged())) {
      feedback_.ShowPlainMessage(line);
      if (status == 0) status = kSimulatedRuleBroken;
    }
    board_->ClearViolations();
  }
  return status;
}

void Session::InsertFreshChip(uint32_t number) {
  if (!board_ || !options_.simulator) return;
  const SimulatorOptions& simulator = *options_.simulator;
  const auto own = simulator.batchChipFaults.find(number);
  chip_ = sim::MakeChip(device_, settings_.TimeBaseKorr,
                        own != simulator.batchChipFaults.end() ? own->second : simulator.chipFaults);
  harmToldFor_ = nullptr;  // the new chip may live where the old one did
  chipStateUsable_ = true;  // the last chip of the run stays in the state file
  board_->InsertChip(chip_);
}

int Session::SaveChipState(int status) {
  if (board_) board_->SetTraceSink(nullptr);
  status = CheckSimulatedHarm(status);
  const std::string& path = options_.simulator ? options_.simulator->chipState : std::string();
  if (chip_ && chipStateUsable_ && !path.empty() && !chip_->SaveState(path)) {
    feedback_.ShowPlainMessage("Chip-Zustand '" + path + "' kann nicht gespeichert werden.");
    if (status == 0) status = kFileFailed;
  }
  return status;
}

}  // namespace tav
