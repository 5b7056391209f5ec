// SPDX-License-Identifier: GPL-2.0-or-later
// The command-line front end, callable in-process: main() only forwards to
// RunCli, so tests run every command with their own streams and a fake port
// environment.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/version/version_info.h"
#include "link/port_access.h"

namespace tav {

struct CliEnvironment {
  PortAccessEnvironment ports;       // where the real-port lookup looks
  std::FILE* in = stdin;             // answers to prompts when it is a terminal
  bool installInterruptHandler = true;  // Ctrl+C as "Abbrechen"
  // Raise SIGINT in the process at this progress pump (1-based; 0 = never),
  // so that tests press Ctrl+C at a known moment of an operation.
  uint64_t raiseInterruptAtPump = 0;
  // Where the machine-wide busy marker lives; empty = MachineBusyDirectory().
  // Tests use a folder of their own, so as not to meet a real run.
  std::string busyMarkerDirectory;
  // The program file whose version record --version shows.
  std::string versionFile = OwnProgramFile();
};

// Runs one command line. Returns the exit status: the result code of the
// command (0 = success), 1 in demonstration mode, 2 for usage errors.
int RunCli(int argc, char** argv, std::FILE* out, std::FILE* err, const CliEnvironment& environment = {});

}  // namespace tav
