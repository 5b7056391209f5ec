// The parsed command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/session/session_options.h"
#include "base/result_codes.h"

namespace tav {

struct FileFormatInfo;

struct CliOptions {
  std::string command;             // the subcommand
  std::vector<std::string> files;  // FILE, or IN and OUT for convert
  std::string format;              // --format, as given
  std::optional<uint32_t> size;    // convert --size
  bool save = false;               // calibrate --save

  // Device choice: a name, or a list position.
  std::string manufacturer;
  std::string device;

  // The check boxes; nothing = keep the stored setting.
  std::optional<int> verify, idCheck, ffSave, testChecksum;
  std::optional<int> lock;  // 0..3: the highest lock bit to program

  bool assumeYes = false;
  std::string onError = "cancel";
  bool quiet = false;
  std::string trace;

  // Ports and the simulator.
  std::string port;  // I/O address or ppdev device
  bool simulate = false;
  SimulatorOptions simulator;
};

// Parses argv. Returns -1 to go on, 0 after --help, kUsageError after a
// usage error (the message is on `err`).
int ParseCliOptions(int argc, char** argv, CliOptions& options, std::FILE* out, std::FILE* err);

// "0x378", "888" (automatic base as in the settings dialog) or a path. True
// and `address` set for a usable address; false and `address` untouched for
// anything that is not a number.
bool ParsePortAddress(const std::string& text, uint16_t& address);

// A --format value: a number 1..9 or a key; nullptr for anything else.
const FileFormatInfo* ResolveFormat(const std::string& text);

// One --chip-fault or --board-fault entry; false for an unknown one.
bool ApplyChipFault(const std::string& text, sim::ChipFaults& faults);
bool ApplyBoardFault(const std::string& text, sim::BoardFaults& faults);

}  // namespace tav
