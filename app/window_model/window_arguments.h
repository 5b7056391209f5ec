// SPDX-License-Identifier: GPL-2.0-or-later
// The window's command line, the same for every toolkit: the simulated
// board and its faults, the register-write trace, and the hidden options of
// the documentation's screenshots and of tests.
#pragma once

#include <string>
#include <vector>

#include "app/session/session_options.h"

namespace tav {

struct WindowArguments {
  SessionOptions session;
  std::string screenshot;  // --screenshot FILE: save a picture and quit
  bool busy = false;       // --busy: with the busy window
  bool settings = false;   // --settings: with the settings dialog
  bool help = false;       // -h, --help: the text is in `error`, nothing runs
  bool version = false;    // --version: show the version, nothing runs
  // --busy-marker-dir DIR: the folder of the machine-wide busy marker, so
  // that tests can run copies of the program beside a real run.
  std::string busyMarkerDirectory;
};

// The options a user sees in --help.
std::string WindowHelpText(const std::string& program);

// Parses the arguments (without the program's name); "--option VALUE" and
// "--option=VALUE" both work. False and `error` set for an unknown option,
// a missing value or an unknown fault, for --help (`help` set, the help
// text in `error`) and for --version (`version` set). Needs no toolkit, so
// that help and version work without a display.
bool ParseWindowArguments(const std::vector<std::string>& arguments, WindowArguments& parsed, std::string& error);

}  // namespace tav
