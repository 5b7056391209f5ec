// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop as every copy of the program sees it: top-level windows
// looked up by their whole title, and the busy marker made of such a window.
#pragma once

#include <string>

#include "operations/command_frame.h"

namespace tav::win32 {

// True when a top-level window of any process on this desktop has exactly
// this title, compared without regard to case.
bool TopLevelWindowExists(const std::string& title);

// A running command as the desktop shows it: the busy window
// ("Quenvaldokraft") of this or another copy, or the marker of `machine`
// held by another program (the command line). Held, it holds `machine`;
// the busy window itself is the window's to create.
class DesktopBusyMarker : public BusyMarker {
public:
  explicit DesktopBusyMarker(BusyMarker& machine) : machine_(machine) {}
  int IsBusy() override;
  int Acquire() override;
  void Release() override { machine_.Release(); }

private:
  BusyMarker& machine_;
};

}  // namespace tav::win32
