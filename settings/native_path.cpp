// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/native_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tav {

#ifdef _WIN32

std::wstring WidePath(const std::string& path) {
  if (path.empty()) return std::wstring();
  for (const UINT codePage : {UINT(CP_UTF8), UINT(CP_ACP)}) {
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int size = static_cast<int>(path.size());
    const int n = MultiByteToWideChar(codePage, flags, path.data(), size, nullptr, 0);
    if (n <= 0) continue;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, path.data(), size, wide.data(), n);
    return wide;
  }
  return std::wstring();
}

std::string Utf8FromWide(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

// A wide path never makes std::filesystem convert (and throw on bad UTF-8).
std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(WidePath(path)); }

std::string Utf8Path(const std::filesystem::path& path) { return Utf8FromWide(path.wstring()); }

std::FILE* OpenFile(const std::string& path, const char* mode) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));  // ASCII letters only
  return _wfopen(WidePath(path).c_str(), wideMode.c_str());
}

#else

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

#endif

}  // namespace tav
