// SPDX-License-Identifier: GPL-2.0-or-later
// A private scratch directory for one fuzz input, removed again with
// everything in it: libFuzzer ends the process without running exit
// handlers, so nothing may be left behind for later runs. In /dev/shm where
// it exists, as the files are rewritten for every input.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tav::fuzz {

class ScratchDirectory {
public:
  ScratchDirectory() {
    char pattern[] = "/dev/shm/tavfuzzXXXXXX";
    char fallback[] = "/tmp/tavfuzzXXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) made = mkdtemp(fallback);
    if (made == nullptr) __builtin_trap();
    path_ = std::string(made) + "/";
  }
  ~ScratchDirectory() {
    if (DIR* dir = opendir(path_.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") std::remove((path_ + name).c_str());
      }
      closedir(dir);
    }
    rmdir(path_.c_str());
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& Path() const { return path_; }

  // Writes `size` bytes to the file `name` in this directory; its path.
  std::string Write(const std::string& name, const void* data, size_t size) const {
    const std::string path = path_ + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) __builtin_trap();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
    std::fclose(file);
    return path;
  }

private:
  std::string path_;
};

// Stops the run as a finding; the message says which property broke.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

}  // namespace tav::fuzz
