// SPDX-License-Identifier: GPL-2.0-or-later
// A directory in which no new file may be made, holding a file that may be
// written: what a save meets in a shared or protected folder. Root may
// write anywhere, so a test that runs as root runs the save in a child
// process that has given root up for the user "nobody".
#pragma once

#ifndef _WIN32

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tav::test {

class LockedDirectory {
public:
  static constexpr uid_t kNobody = 65534;

  // `parent` must exist; the directory "locked" is made inside it with the
  // file `name` holding `content`.
  LockedDirectory(const std::filesystem::path& parent, const std::string& name, const std::string& content)
      : dir_(parent / "locked"), file_(dir_ / name) {
    std::filesystem::create_directory(dir_);
    std::FILE* f = std::fopen(file_.c_str(), "wb");
    if (!f) return;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    if (geteuid() == 0) {
      // The child must reach the directory; the file is its own.
      ::chmod(parent.c_str(), 0755);
      ok_ = ::chown(file_.c_str(), kNobody, kNobody) == 0;
    } else {
      ok_ = ::chmod(dir_.c_str(), 0555) == 0;
    }
  }
  ~LockedDirectory() { ::chmod(dir_.c_str(), 0755); }
  LockedDirectory(const LockedDirectory&) = delete;
  LockedDirectory& operator=(const LockedDirectory&) = delete;

  bool Valid() const { return ok_; }
  const std::filesystem::path& Dir() const { return dir_; }
  const std::filesystem::path& File() const { return file_; }

  // Runs `body` where the directory is locked and returns what it returned
  // (0..254), or -1 when that could not be arranged. As root `body` runs in
  // a child process: its effects on memory stay there, only the files
  // show what it did.
  template <class Body>
  int Run(Body body) const {
    if (geteuid() != 0) return body();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(255);
      _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
  }

private:
  std::filesystem::path dir_;
  std::filesystem::path file_;
  bool ok_ = false;
};

}  // namespace tav::test

#endif  // _WIN32
