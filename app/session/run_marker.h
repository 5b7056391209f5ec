// SPDX-License-Identifier: GPL-2.0-or-later
// Which marker keeps two commands apart. A real port is one per machine, so
// every copy of the program shares one marker. A simulated board belongs to
// its own run: what runs may share is only a chip-state file, so such runs
// exclude each other through a lock beside that file, and a run with a fresh
// chip shares nothing at all.
#pragma once

#include <memory>
#include <string>

#include "app/session/session_options.h"
#include "operations/command_frame.h"

namespace tav {

struct RunMarker {
  std::unique_ptr<BusyMarker> marker;
  std::string path;  // the lock file, for messages; empty when nothing is shared
};

// `machineDirectory`: the machine-wide marker's folder; empty =
// MachineBusyDirectory().
RunMarker MakeRunMarker(const SessionOptions& options, const std::string& machineDirectory);

}  // namespace tav
