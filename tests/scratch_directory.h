// SPDX-License-Identifier: GPL-2.0-or-later
// A fresh, private directory for one test, removed with its contents
// afterwards. ctest runs the tests of one program as parallel processes, so a
// fixed directory name would let two tests trample on each other's files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tav::test {

namespace fs = std::filesystem;

// The whole file as bytes.
inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class ScratchDirectory {
public:
  // A random name made with create_directory, which fails rather than
  // reuse a directory that exists: mkdtemp without POSIX. Private to the
  // user, as mkdtemp's would be.
  explicit ScratchDirectory(const std::string& prefix = "tav") {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !error && path_.empty(); ++attempt) {
      const fs::path candidate = base / (prefix + "_" + std::to_string(random()));
      if (!fs::create_directory(candidate, error)) continue;
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
      path_ = candidate;
    }
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    // A test may have taken write permission away to provoke a failure.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    if (Valid()) fs::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool Valid() const { return !path_.empty(); }
  const fs::path& Path() const { return path_; }
  // The path as the program's UTF-8 text with a trailing '/', ready to have
  // a file name appended.
  std::string Slash() const { return reinterpret_cast<const char*>(path_.u8string().c_str()) + std::string("/"); }

private:
  fs::path path_;
};

}  // namespace tav::test
