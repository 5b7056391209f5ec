// SPDX-License-Identifier: GPL-2.0-or-later
// Control texts as the program's UTF-8, through the wide functions.
#pragma once

#include <windows.h>

#include <string>

namespace tav::win32 {

std::string WindowText(HWND window);
inline std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

}  // namespace tav::win32
