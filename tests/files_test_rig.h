// What the tests of files on disk share: reading and writing whole files, a
// file size limit that makes writes fail half-way, and a fixture with a
// private directory and the records a load or save works on.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "app/scripted_feedback.h"
#include "files/program_files.h"
#include "tests/scratch_directory.h"

namespace tav::test {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline size_t EntriesIn(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// While it lives, files this process writes cannot grow beyond `bytes`: a
// write fails half-way as on a full disk, also for root. SIGXFSZ, which
// would end the process, is ignored meanwhile.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FileSizeLimit() {
    if (active_) setrlimit(RLIMIT_FSIZE, &saved_);
    if (handler_ != SIG_ERR) std::signal(SIGXFSZ, handler_);
  }
  bool Active() const { return active_; }

private:
  rlimit saved_{};
  void (*handler_)(int) = SIG_ERR;
  bool active_ = false;
};

// A fresh directory with "prog.hex" as the program file, a 64 KiB device
// and a feedback whose messages beep.
class ProgramFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.Valid());
    settings.ProgramFilePath = (dir / "prog.hex").string();
    device.SizeBytes = ProgramImage::kSize;
  }

  ScratchDirectory scratch{"tav_files"};
  const std::filesystem::path& dir = scratch.Path();
  int beep = 1;
  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{beep};
};

}  // namespace tav::test
