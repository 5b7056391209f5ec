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

#include <fstream>
#include <string>

#include "tests/scratch_directory.h"

namespace tav::test {

class LockedDirectory {
public:
  // `parent` must exist; the directory "locked" is made inside it with the
  // file `name` holding `content`.
  LockedDirectory(const fs::path& parent, const std::string& name, const std::string& content)
      : dir_(parent / "locked"), file_(dir_ / name) {
    fs::create_directory(dir_);
    if (!(std::ofstream(file_, std::ios::binary) << content)) return;
    // As root the child must reach the directory; the file is its own.
    if (geteuid() == 0) ::chmod(parent.c_str(), 0755);
    ok_ = geteuid() == 0 ? ::chown(file_.c_str(), kNobody, kNobody) == 0 : ::chmod(dir_.c_str(), 0555) == 0;
  }
  ~LockedDirectory() { ::chmod(dir_.c_str(), 0755); }
  LockedDirectory(const LockedDirectory&) = delete;
  LockedDirectory& operator=(const LockedDirectory&) = delete;

  bool Valid() const { return ok_; }
  const fs::path& Dir() const { return dir_; }
  const fs::path& File() const { return file_; }

  // Runs `body` where the directory is locked and returns what it returned
  // (0..254), or -1 when that could not be arranged. As root `body` runs in
  // a child process: its effects on memory stay there, only the files
  // show what it did.
  template <class Body>
  int Run(Body body) const {
    if (geteuid() != 0) return body();
    const pid_t pid = fork();
    if (pid == 0) _exit(setgid(kNobody) == 0 && setuid(kNobody) == 0 ? body() : 255);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
  }

private:
  static constexpr uid_t kNobody = 65534;
  fs::path dir_;
  fs::path file_;
  bool ok_ = false;
};

}  // namespace tav::test

#endif  // _WIN32
