// SPDX-License-Identifier: GPL-2.0-or-later
// The current program file as the file dialogs set it.
#pragma once

#include <string>

#include "settings/settings.h"

namespace tav {

// `path` becomes ProgramFilePath; its name and extension the shown
// ProgramFileName; its drive and directory the DataDirectory the next file
// dialog opens in.
void UseProgramFile(Settings& settings, const std::string& path);

}  // namespace tav
