// SPDX-License-Identifier: GPL-2.0-or-later
// "Einstellungen" as a modal dialog from the resources: filled from the
// settings' dialog model, and on OK checked and applied by it. A refused
// field gets its message, the focus, and the dialog stays open.
#pragma once

#include <windows.h>

#include <functional>

#include "settings/settings.h"

namespace tav::win32 {

// `shown` (optional) is called with the dialog once it is filled, before
// the user sees it: tests drive the real dialog from there. True when the
// dialog was confirmed and the values applied.
bool RunSettingsDialog(HINSTANCE instance, HWND owner, Settings& settings,
                       const std::function<void(HWND)>& shown = {});

}  // namespace tav::win32
