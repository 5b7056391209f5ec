// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_desktop.h"

#include <windows.h>

#include "app/window_model/window_view.h"
#include "settings/native_path.h"

namespace tav::win32 {

namespace {

struct Search {
  std::wstring title;
  bool found = false;
};

BOOL CALLBACK CompareTitle(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t text[256];
  const int length = GetWindowTextW(window, text, 256);
  if (length >= 0 && size_t(length) == search->title.size() && lstrcmpiW(text, search->title.c_str()) == 0) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool TopLevelWindowExists(const std::string& title) {
  Search search{WidePath(title)};
  EnumWindows(CompareTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int DesktopBusyMarker::IsBusy() {
  if (TopLevelWindowExists(kBusyWindowTitle)) return kBusy;
  return machine_.IsBusy();
}

int DesktopBusyMarker::Acquire() {
  if (TopLevelWindowExists(kBusyWindowTitle)) return kBusy;
  return machine_.Acquire();
}

}  // namespace tav::win32
