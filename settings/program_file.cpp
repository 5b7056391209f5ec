// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/program_file.h"

#include "settings/paths.h"

namespace tav {

void UseProgramFile(Settings& settings, const std::string& path) {
  const PathParts parts = SplitPath(path);
  settings.ProgramFilePath = path;
  settings.ProgramFileName = parts.name + parts.extension;
  settings.DataDirectory = parts.drive + parts.directory;
}

}  // namespace tav
