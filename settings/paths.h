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

}  // namespace tav
