// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_model/file_dialogs.h"

#include <cctype>

#include "settings/paths.h"
#include "settings/program_file.h"

namespace tav {

namespace {

int PositionWithin(int position, size_t count) {
  return position >= 1 && static_cast<size_t>(position) <= count ? position : 1;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string FilterString(const std::vector<FileFilter>& filters) {
  std::string text;
  for (const FileFilter& filter : filters) text += std::string(filter.Text) + "|" + filter.Pattern + "|";
  return text + "|";
}

FileDialogSetup SaveDialogSetup(const Settings& settings) {
  FileDialogSetup setup;
  setup.Filters.assign(kSaveFilters.begin(), kSaveFilters.end());
  setup.Preselected = PositionWithin(settings.DataFormat + 1, kSaveFilters.size());
  setup.InitialDirectory = settings.DataDirectory;
  setup.InitialName = SplitPath(settings.ProgramFileName).name;
  setup.DefaultExtension = "hex";
  setup.ConfirmOverwrite = true;
  return setup;
}

FileDialogSetup OpenDialogSetup(const Settings& settings) {
  FileDialogSetup setup;
  setup.Filters.assign(kOpenFilters.begin(), kOpenFilters.end());
  setup.Preselected = PositionWithin(settings.ReadFilter, kOpenFilters.size());
  setup.InitialDirectory = settings.DataDirectory;
  setup.ExistingOnly = true;
  return setup;
}

void ApplySaveDialog(Settings& settings, const std::string& path, int position) {
  const int format = PositionWithin(position, kSaveFilters.size()) - 1;
  PathParts parts = SplitPath(path);
  const std::string extension = Lower(parts.extension);
  if (format == 1 && extension != ".bin") parts.extension = ".bin";
  if (format > 1 && extension != ".hex") parts.extension = ".hex";
  // "*.* Alle Dateien" keeps the typed name and writes BIN.
  settings.DataFormat = format == 0 ? 1 : format;
  UseProgramFile(settings, JoinPath(parts));
}

void ApplyOpenDialog(Settings& settings, const std::string& path, int position) {
  settings.ReadFilter = PositionWithin(position, kOpenFilters.size());
  UseProgramFile(settings, path);
}

}  // namespace tav
