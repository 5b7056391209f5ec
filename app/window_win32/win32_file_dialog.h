// SPDX-License-Identifier: GPL-2.0-or-later
// The common open and save dialogs for the window's FileDialogSetup. The
// filter index the dialog reports is the filter position the save and open
// steps take.
#pragma once

#include <windows.h>

#include <string>

#include "app/window_model/window_view.h"

namespace tav::win32 {

// The filters as the common dialogs take them: "text\0pattern\0...\0\0".
std::wstring CommonDialogFilter(const std::vector<FileFilter>& filters);

// Shows the dialog owned by `owner`; true and `choice` filled on OK.
bool ChooseFileWithCommonDialog(HWND owner, const FileDialogSetup& setup, FileChoice& choice);

}  // namespace tav::win32
