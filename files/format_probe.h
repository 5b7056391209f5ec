// SPDX-License-Identifier: GPL-2.0-or-later
// What the format recognisers of the table look at: the first lines of a
// file that hold anything, one at a time, and on request the line after the
// one examined. Empty lines (nothing but blanks and the line end) are passed
// over, as an editor or a converter may put one before the first record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "files/input_file.h"

namespace tav {

class FormatProbe {
public:
  explicit FormatProbe(InputFile& file) : file_(file) {}

  // Takes the next line that is not empty for examination; false at the end
  // of the file.
  bool Advance();
  // How many lines have been read, following lines included; empty lines
  // do not count.
  int Examined() const { return examined_; }

  std::string_view Line() const { return line_; }
  // The character at `pos` of the line under examination, '\0' beyond it.
  char At(size_t pos) const { return pos < line_.size() ? line_[pos] : '\0'; }
  // The character at `pos` ('\0' beyond its end) of the line after the one
  // under examination; false when the file ends before it. That line is
  // read once, whichever recogniser asks first, and is not examined itself.
  bool Following(size_t pos, char& c);

private:
  // The next line that is not empty, copied: the file's line buffer is
  // reused by the next read.
  bool NextLine(std::string& into);

  InputFile& file_;
  std::string line_;
  std::string following_;
  bool followingRead_ = false;
  bool hasFollowing_ = false;
  int examined_ = 0;
};

}  // namespace tav
