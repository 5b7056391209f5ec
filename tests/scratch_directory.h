// SPDX-License-Identifier: GPL-2.0-or-later
// A fresh, private directory for one test, removed with its contents
// afterwards. ctest runs the tests of one program as parallel processes, so a
// fixed directory name would let two tests trample on each other's files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tav::test {

class ScratchDirectory {
public:
  // A random name made with create_directory, which fails rather than
  // reuse a directory that exists: mkdtemp without POSIX. Private to the
  // user, as mkdtemp's would be.
  explicit ScratchDirectory(const std::string& prefix = "tav") {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !error; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "_%08x", static_cast<unsigned>(random()));
      const fs::path candidate = base / (prefix + suffix);
      if (fs::create_directory(candidate, error)) {
        fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
        path_ = candidate;
        return;
      }
    }
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    std::error_code ignored;
    // A test may have taken write permission away to provoke a failure.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }
  // The path as the program's UTF-8 text with a trailing '/', ready to have
  // a file name appended.
  std::string Slash() const {
    const std::u8string text = path_.u8string();
    return std::string(text.begin(), text.end()) + "/";
  }

private:
  std::filesystem::path path_;
};

}  // namespace tav::test
