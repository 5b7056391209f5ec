// SPDX-License-Identifier: GPL-2.0-or-later
// The help texts of the command line, in German like the program's own
// messages: the overview, and for each command its use, the options that
// apply to it and its exit status. The manual page is written from them.
#pragma once

#include <cstdio>
#include <string>

namespace tav {

// True for the name of a command.
bool IsCommand(const std::string& name);

// `command` empty: the overview of all commands. Otherwise that command's
// help.
void PrintHelp(const std::string& command, std::FILE* out);

// The closing line of every usage error.
inline constexpr const char* kUsageHint = "Hilfe: tavrolith-cli --help, oder tavrolith-cli BEFEHL --help";

}  // namespace tav
