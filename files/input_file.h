// SPDX-License-Identifier: GPL-2.0-or-later
// A program file, read whole into memory when it is opened: the format is
// recognised and the data read from the same bytes, so a pipe, a FIFO or a
// process substitution, which can be read only once, loads like a file.
// The content is then taken either as raw bytes or as text lines. Text mode
// ends a line at LF, at CR LF and at a lone CR (old Macintosh editors), and
// hands every line over ending in LF, so the fixed character positions of
// the hex records are the same whatever the line ends; a UTF-8 byte-order
// mark before the first line is not part of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav {

class InputFile {
public:
  // A line holds at most this many characters including its LF; the rest of
  // a longer line arrives as the next line.
  static constexpr size_t kMaxLine = 2047;
  // Larger files are refused with EFBIG: no program file comes near this
  // size, and a device that never ends (/dev/zero) must not fill the memory.
  static constexpr size_t kMaxSize = size_t(32) << 20;

  // Reads the whole file and starts reading it in the given mode. 0, or the
  // errno of the failed open or read.
  int Open(const std::string& path, bool textMode);
  // Back to the first byte, to be read in the given mode.
  void Rewind(bool textMode);

  // The next line, its LF included when it fits. False at the end.
  bool ReadLine(std::string_view& line);

  // Binary access: the whole length, and up to `size` bytes from the
  // current position.
  uint64_t Length() const { return content_.size(); }
  size_t Read(uint8_t* dest, size_t size);

private:
  std::string content_;
  size_t pos_ = 0;
  bool text_ = false;
  char line_[kMaxLine + 1] = {};
};

}  // namespace tav
