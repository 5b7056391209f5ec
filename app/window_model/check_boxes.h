// SPDX-License-Identifier: GPL-2.0-or-later
// The seven check boxes of the main window: the four options and the three
// lock bits. The settings are the boxes' state: a window shows what
// CheckBoxesFor says and passes clicks to ClickCheckBox.
#pragma once

#include <array>

#include "library/device_selection.h"
#include "settings/settings.h"

namespace tav {

enum class CheckBox { Verify, IDCheck, FFSave, TestChecksum, Lock1, Lock2, Lock3 };

struct CheckBoxState {
  CheckBox Box;
  const char* Caption;
  bool Checked = false;
  bool Enabled = false;
};

// In the order of the enumeration.
using CheckBoxStates = std::array<CheckBoxState, 7>;

// Checked: the settings. Enabled: while the window takes input, the option
// boxes always and the lock boxes as the selected device allows (`device`,
// from UpdateDeviceControls); during a command none.
CheckBoxStates CheckBoxesFor(const Settings& settings, const DeviceControls& device, bool inputEnabled = true);

// A click on `box`: the box toggles and its setting follows, with the lock
// bits' rule that a higher bit brings the lower ones and a lower one cannot
// be cleared under a higher one. A click on a disabled box changes nothing.
// Returns the boxes afterwards.
CheckBoxStates ClickCheckBox(CheckBox box, Settings& settings, const DeviceControls& device,
                             bool inputEnabled = true);

}  // namespace tav
