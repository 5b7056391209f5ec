// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's two file dialogs without a toolkit: the save dialog of
// "Auslesen", which also chooses the format, and the open dialog of "Neue
// Datei". A window shows a dialog as its setup describes and reports the
// confirmed path and filter position (counted from 1) back.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace tav {

struct FileFilter {
  const char* Text;
  const char* Pattern;
};

// Position n names DataFormat n - 1; position 1 writes BIN under the typed name.
inline constexpr std::array<FileFilter, 10> kSaveFilters = {{
    {"*.* Alle Dateien", "*.*"},
    {"*.BIN Binär", "*.bin"},
    {"*.HEX Intel8", "*.hex"},
    {"*.HEX Intel32", "*.hex"},
    {"*.HEX IntelMCS", "*.hex"},
    {"*.HEX Motorola S1 Exorciser", "*.hex"},
    {"*.HEX Motorola S2 Exormax", "*.hex"},
    {"*.HEX Motorola S3 32Bit", "*.hex"},
    {"*.HEX MOS Technology", "*.hex"},
    {"*.HEX Tektronix", "*.hex"},
}};

// Only narrows what the dialog lists; the file's content decides how it is read.
inline constexpr std::array<FileFilter, 5> kOpenFilters = {{
    {"*.* Alle Dateien", "*.*"},
    {"*.BIN Binär-Dateien", "*.bin"},
    {"*.HEX Hex-Dateien", "*.hex"},
    {"*.IHX SDCC Intel Hex", "*.ihx"},
    {"*.S19 SDCC Motorola Hex", "*.s19"},
}};

struct FileDialogSetup {
  std::vector<FileFilter> Filters;
  int Preselected = 1;           // filter position, counted from 1
  std::string InitialDirectory;
  std::string InitialName;       // without extension; empty for the open dialog
  std::string DefaultExtension;  // added to a name typed without one; empty = none
  bool ConfirmOverwrite = false; // save: ask before replacing a file
  bool ExistingOnly = false;     // open: only files that exist
};

// The filters as one "text|pattern|...||" string, for toolkits that take them so.
std::string FilterString(const std::vector<FileFilter>& filters);

FileDialogSetup SaveDialogSetup(const Settings& settings);
FileDialogSetup OpenDialogSetup(const Settings& settings);

// The save dialog was confirmed: DataFormat follows the filter, the extension
// is made to fit the format ("bin" or "hex", one that fits stays as typed),
// and the program file, its shown name and the dialogs' directory follow the
// path. A position outside the list counts as "*.* Alle Dateien".
void ApplySaveDialog(Settings& settings, const std::string& path, int position);

// The open dialog was confirmed: ReadFilter, the program file, its shown name
// and the dialogs' directory follow. A position outside the list counts as 1.
void ApplyOpenDialog(Settings& settings, const std::string& path, int position);

}  // namespace tav
