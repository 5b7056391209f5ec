// SPDX-License-Identifier: GPL-2.0-or-later
// Paths are UTF-8 text inside the program. POSIX file functions take them as
// they are; Windows' narrow functions would read them in the ANSI code page
// and miss every file whose name has an umlaut, so there every path goes
// through the wide functions.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace tav {

// `path` for the file streams and std::filesystem.
std::filesystem::path NativePath(const std::string& path);

// A path from std::filesystem back as the program's UTF-8 text. On Windows
// path::string() would convert to the ANSI code page, and throw for a name
// that code page cannot spell.
std::string Utf8Path(const std::filesystem::path& path);

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& path, const char* mode);

#ifdef _WIN32
// UTF-8 to UTF-16. A text that is not valid UTF-8 came from an ANSI function
// (an old settings file) and is taken in the ANSI code page.
std::wstring WidePath(const std::string& path);
// UTF-16 from a wide function back to the program's UTF-8.
std::string Utf8FromWide(const std::wstring& wide);
#endif

}  // namespace tav
