// SPDX-License-Identifier: GPL-2.0-or-later
// What the tests of files on disk share: writing whole files, a file size
// limit that makes writes fail half-way, and a fixture with a private
// directory and the records a load or save works on.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>

#include "files/program_files.h"
#include "tests/scratch_directory.h"
#include "tests/support/scripted_feedback.h"

namespace tav::test {

inline void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The number of entries in `dir`, to show that no temporary file is left.
inline size_t EntriesIn(const fs::path& dir) { return std::ranges::distance(fs::directory_iterator(dir)); }

// While it lives, files this process writes cannot grow beyond `bytes`: a
// write fails half-way as on a full disk, also for root. SIGXFSZ, which
// would end the process, is ignored meanwhile. Windows has no such limit:
// there the object is never Active() and its tests are POSIX only.
#ifdef _WIN32
struct FileSizeLimit {
  explicit FileSizeLimit(unsigned long long) {}
  bool Active() const { return false; }
};
#else
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    const rlimit small{bytes, saved_.rlim_max};
    active_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FileSizeLimit() {
    if (active_) setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, handler_);
  }
  bool Active() const { return active_; }

private:
  void (*handler_)(int);
  rlimit saved_{};
  bool active_ = false;
};
#endif

// A fresh directory with "prog.hex" as the program file, the values a load
// or save takes (a 64 KiB device to begin with) and a feedback whose
// messages beep.
class ProgramFileTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(scratch.Valid()); }
  int LoadFile() { return LoadProgramFile(path, sizeBytes, testChecksum, image, dataFormat, feedback); }
  int SaveFile(const ProgramImage& from) {
    return SaveImageToFile(path, dataFormat, sizeBytes, hexLineLen, ffSave, from, feedback);
  }

  ScratchDirectory scratch{"tav_files"};
  const fs::path& dir = scratch.Path();
  std::string path = (dir / "prog.hex").string();
  uint32_t sizeBytes = ProgramImage::kSize;
  int32_t dataFormat = 1;
  uint32_t hexLineLen = 32;
  bool ffSave = false;
  bool testChecksum = true;
  ProgramImage image;
  int messageBeap = 1;
  ScriptedFeedback feedback{messageBeap};
};

}  // namespace tav::test
