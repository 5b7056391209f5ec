// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_text.h"

#include "settings/native_path.h"

namespace tav::win32 {

std::string WindowText(HWND window) {
  std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
  return Utf8FromWide(text);
}

}  // namespace tav::win32
