// A fresh, private directory for one test, removed with its contents
// afterwards. ctest runs the tests of one program as parallel processes, so a
// fixed directory name would let two tests trample on each other's files.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tav::test {

class ScratchDirectory {
public:
  explicit ScratchDirectory(const std::string& prefix = "tav") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
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
  // The path with a trailing '/', ready to have a file name appended.
  std::string Slash() const { return path_.string() + "/"; }

private:
  std::filesystem::path path_;
};

}  // namespace tav::test
