// SPDX-License-Identifier: GPL-2.0-or-later
// Splitting and joining of file paths: drive, directory, name, extension.
// Windows rules on Windows (drive letters, '\\' and '/'), POSIX rules
// elsewhere (no drive, '/').
#pragma once

#include <string>

namespace tav {

struct PathParts {
  std::string drive;      // "C:" on Windows; always empty elsewhere
  std::string directory;  // with its trailing separator, or empty
  std::string name;       // without extension
  std::string extension;  // with its leading dot, or empty
};

PathParts SplitPath(const std::string& path);
std::string JoinPath(const PathParts& parts);

// The current working directory with a trailing separator.
std::string CurrentDirectory();

// Default for DataPath: "C:\\" on Windows, the user's home directory with a
// trailing '/' elsewhere.
std::string DefaultDataPath();

// The user's own folder for the settings on Linux: "$XDG_CONFIG_HOME/tavrolith/"
// when that is an absolute path, else "<home>/.config/tavrolith/"; empty on
// Windows, where the settings stay in the working directory, and without a
// home directory.
std::string UserConfigDirectory();

// The folder of QUENVALD.INI (with a trailing separator; empty for the working
// directory): `named` when given (--config-dir); the working directory when a
// QUENVALD.INI is there or `userFolder` is empty; else `userFolder`.
std::string SettingsFolder(const std::string& named, const std::string& userFolder);

}  // namespace tav
