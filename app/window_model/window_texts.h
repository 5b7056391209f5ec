// SPDX-License-Identifier: GPL-2.0-or-later
// What the window says about itself beyond the message boxes: its title,
// which shows demonstration mode for as long as it lasts, and the status
// line after "Auslesen", which says where the file went and in what format.
#pragma once

#include <string>

#include "settings/settings.h"

namespace tav {

// "Brastel" and the version text; in demonstration mode a note behind them,
// so that the mode is seen after its one message at start-up. The title
// still begins with "Brastel" and a blank, which is what other copies look
// for.
std::string WindowTitle(const std::string& versionText, int demoMode);

// The status line once "Auslesen" has written the program file of `settings`.
std::string SavedFileStatus(const Settings& settings);

}  // namespace tav
