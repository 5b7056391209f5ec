// SPDX-License-Identifier: GPL-2.0-or-later
// Where a writer's bytes go. Each call is one write of one line (or of the
// whole binary image), so a failure can be pinned to the line it hit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tav {

class OutputFile {
public:
  virtual ~OutputFile() = default;
  // True when all bytes were written.
  virtual bool Write(std::string_view bytes) = 0;
  // The errno of the last failed write.
  virtual int ErrorNumber() const = 0;
};

// Collects the bytes in memory; optionally fails from the n-th write on
// (1-based) with a given error, as a full disk would.
class MemoryOutputFile : public OutputFile {
public:
  bool Write(std::string_view bytes) override;
  int ErrorNumber() const override { return failError_; }
  void FailFromWrite(uint32_t n, int error) {
    failFrom_ = n;
    failError_ = error;
  }

  std::string bytes;
  uint32_t writes = 0;  // successful and failed calls

private:
  uint32_t failFrom_ = 0;
  int failError_ = 0;
};

}  // namespace tav
