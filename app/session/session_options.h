// What differs between front ends in a Session: when the settings are
// saved, whether start-up loads the device, what happens between failed
// board searches, and which port (real, named, simulated, traced) is used.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/port_access.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {

// The folders with the sample library when the working directory has none:
// the installed data directory, then the source tree's data/ (for a build
// that was never installed).
std::vector<std::string> DefaultLibraryFallbacks();

// The simulated board and the chip of the selected device in its socket.
struct SimulatorOptions {
  std::string chipState;            // keeps the chip between runs; empty = a fresh chip
  // Duration of one register write; 0 = TimeBaseKorr microseconds, the
  // time per write calibrated for the board the settings were made for.
  uint32_t writeMicroseconds = 85;
  // The board takes as long as real hardware: it sleeps for the simulated
  // time, so progress, cancelling and timing look as on a real board.
  bool realtime = false;
  // Where the board sits; 0 = at the port address of the settings at start.
  uint16_t boardAddress = 0;
  sim::ChipFaults chipFaults;
  // Production runs: the faults of chip N (1-based), besides chipFaults.
  std::map<uint32_t, sim::ChipFaults> batchChipFaults;
  sim::BoardFaults boardFaults;
};

struct SessionOptions {
  // The window writes the settings at every close. The command line writes
  // them only when the run changed one, so that a run that merely looks
  // (detect, info) leaves the file untouched.
  bool alwaysSaveAtClose = true;
  // The command line never writes the settings on its own (neither at close
  // nor at the fall-back to demonstration mode): its options apply to one
  // run, and only its config command stores anything.
  bool writeSettings = true;
  // The window needs the selected device right after start-up. The command
  // line loads it in each command's frame, and loading it twice would show a
  // broken library's message twice.
  bool loadDeviceAtStart = true;
  // Between two failed board searches at start-up: the window opens its
  // settings dialog so that the user can correct the port address and the
  // timing. Nothing (the command line) goes straight on.
  std::function<void()> betweenSearchAttempts;

  std::optional<SimulatorOptions> simulator;  // instead of the real port
  std::string ppdevDevice;                    // a named device instead of the lookup by PortAdress
  PortAccessEnvironment ports;
  // Takes the place of the port that port access would open, so that what
  // the session puts in front of a real port can be tried without one.
  std::function<std::unique_ptr<PortIo>()> portStandIn;
  std::string tracePath;  // register-write trace; empty = none

  // Where QUENVALD.INI and 8789LIST.CSV are: this folder for both when set;
  // otherwise the working directory, and for the library, when the working
  // directory has none, the first of `libraryFallbacks` that holds one.
  std::string configDirectory;
  std::vector<std::string> libraryFallbacks = DefaultLibraryFallbacks();
};

}  // namespace tav
