// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/paths.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#include <direct.h>

#include "settings/native_path.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace tav {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

std::string WithTrailingSeparator(std::string dir) {
  if (!dir.empty() && !IsSeparator(dir.back())) dir += kSeparator;
  return dir;
}

}  // namespace

PathParts SplitPath(const std::string& path) {
  PathParts parts;
  std::string::size_type start = 0;
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    start = 2;
  }
#endif
  // Everything up to and including the last separator is the directory.
  std::string::size_type nameStart = start;
  for (std::string::size_type i = start; i < path.size(); ++i) {
    if (IsSeparator(path[i])) nameStart = i + 1;
  }
  parts.directory = path.substr(start, nameStart - start);
  // The extension starts at the last dot of the final component, so
  // "prog.tar.hex" keeps "prog.tar" as its name.
  const std::string rest = path.substr(nameStart);
  const auto dot = rest.rfind('.');
  if (dot == std::string::npos) {
    parts.name = rest;
  } else {
    parts.name = rest.substr(0, dot);
    parts.extension = rest.substr(dot);
  }
  return parts;
}

std::string JoinPath(const PathParts& parts) {
  std::string path = parts.drive;
#ifdef _WIN32
  if (!path.empty() && path.back() != ':') path += ':';
#endif
  path += WithTrailingSeparator(parts.directory);
  path += parts.name;
  if (!parts.extension.empty() && parts.extension.front() != '.') path += '.';
  path += parts.extension;
  return path;
}

std::string CurrentDirectory() {
#ifdef _WIN32
  // The wide call: the ANSI one would lose the umlauts of a folder's name.
  std::vector<wchar_t> buffer(256);
#else
  std::vector<char> buffer(256);
#endif
  for (;;) {
#ifdef _WIN32
    if (_wgetcwd(buffer.data(), static_cast<int>(buffer.size())) != nullptr) break;
#else
    if (getcwd(buffer.data(), buffer.size()) != nullptr) break;
#endif
    // A deleted or unreachable working directory: relative names still refer
    // to it, so an empty prefix is the honest answer.
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
#ifdef _WIN32
  return WithTrailingSeparator(Utf8FromWide(buffer.data()));
#else
  return WithTrailingSeparator(buffer.data());
#endif
}

std::string DefaultDataPath() {
#ifdef _WIN32
  return "C:\\";
#else
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return WithTrailingSeparator(home);
  // getpwuid_r keeps no static state, unlike getpwuid.
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return WithTrailingSeparator(found->pw_dir);
  }
  return "/";
#endif
}

std::string UserConfigDirectory() {
#ifdef _WIN32
  return std::string();
#else
  // The XDG rule: a relative value is invalid and is ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return WithTrailingSeparator(xdg) + "tavrolith/";
  const std::string home = DefaultDataPath();
  return home == "/" ? std::string() : home + ".config/tavrolith/";
#endif
}

std::string SettingsFolder(const std::string& named, const std::string& userFolder) {
  if (!named.empty()) return named;
  std::error_code error;
  if (userFolder.empty() || std::filesystem::exists("QUENVALD.INI", error)) return std::string();
  return userFolder;
}

}  // namespace tav
