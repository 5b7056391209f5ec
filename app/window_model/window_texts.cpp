// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_model/window_texts.h"

#include "files/program_files.h"

namespace tav {

std::string WindowTitle(const std::string& versionText, int demoMode) {
  std::string title = "Brastel " + versionText;
  if (demoMode > 0) title += " (Demomodus)";
  return title;
}

std::string SavedFileStatus(const Settings& settings) {
  const FileFormatInfo* format = FindFileFormat(settings.DataFormat);
  return "Gespeichert als " + std::string(format ? format->name : "BIN") + ": " + settings.ProgramFilePath;
}

}  // namespace tav
