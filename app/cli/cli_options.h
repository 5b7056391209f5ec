// SPDX-License-Identifier: GPL-2.0-or-later
// The parsed command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/session/batch_run.h"
#include "app/session/session_options.h"
#include "base/result_codes.h"
#include "sim/fault_names.h"

namespace tav {

struct FileFormatInfo;

struct CliOptions {
  std::string command;             // the subcommand
  std::vector<std::string> files;  // FILE, IN and OUT for convert, PATTERN for devices, config's words
  std::string format;              // --format, as given
  std::optional<uint32_t> size;    // convert --size
  bool save = false;               // calibrate --save

  // batch: the production run, and its serial options as typed.
  BatchOptions batch;
  std::string serialAt, serialStart, serialStep, serialFormat;

  // Device choice: a name, or a list position.
  std::string manufacturer;
  std::string device;

  // The check boxes; nothing = keep the stored setting.
  std::optional<int> verify, idCheck, ffSave, testChecksum;
  std::optional<int> lock;  // 0..3: the highest lock bit to program

  bool assumeYes = false;
  std::string onError = "cancel";
  bool quiet = false;
  bool verbose = false;
  std::string trace;
  std::string configDir;  // --config-dir

  // Ports and the simulator.
  std::string port;  // I/O address or ppdev device
  bool simulate = false;
  SimulatorOptions simulator;
};

// Parses argv. Returns -1 to go on, 0 after --help or --version,
// kUsageError after a usage error (the message is on `err`). `versionFile`
// is the program file whose version record --version shows.
int ParseCliOptions(int argc, char** argv, CliOptions& options, std::FILE* out, std::FILE* err,
                    const std::string& versionFile);

// "0xD010", "888" (read as the settings dialog reads its port text: "0x"
// hexadecimal, otherwise decimal) or a path. True and `address` set for an
// address the settings accept; false and `address` untouched otherwise.
bool ParsePortAddress(const std::string& text, uint16_t& address);

// Names of devices, manufacturers and settings match without regard to case.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// A --format value: a number 1..9 or a key; nullptr for anything else.
const FileFormatInfo* ResolveFormat(const std::string& text);


}  // namespace tav
