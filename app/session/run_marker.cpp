// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/session/run_marker.h"

namespace tav {

namespace {

// The chip-state file itself is replaced by a rename at every save, which
// would drop a lock held on it; the lock lives in a file beside it.
class ChipStateMarker : public LockFileBusyMarker {
public:
  explicit ChipStateMarker(const std::string& chipState) : LockFileBusyMarker(AtPath{}, chipState + ".lock") {}
};

// A fresh simulated chip lives only in this process; the window's own
// indicator already keeps a second command of this run out.
class UnsharedMarker : public BusyMarker {
public:
  int IsBusy() override { return kSuccess; }
  int Acquire() override { return kSuccess; }
  void Release() override {}
};

}  // namespace

RunMarker MakeRunMarker(const SessionOptions& options, const std::string& machineDirectory) {
  RunMarker run;
  if (!options.simulator) {
    auto machine = std::make_unique<MachineBusyMarker>(machineDirectory.empty() ? MachineBusyDirectory()
                                                                                : machineDirectory);
    run.path = machine->Path();
    run.marker = std::move(machine);
  } else if (!options.simulator->chipState.empty()) {
    auto shared = std::make_unique<ChipStateMarker>(options.simulator->chipState);
    run.path = shared->Path();
    run.marker = std::move(shared);
  } else {
    run.marker = std::make_unique<UnsharedMarker>();
  }
  return run;
}

}  // namespace tav
