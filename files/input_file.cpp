// SPDX-License-Identifier: GPL-2.0-or-later
#include "files/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/native_path.h"

namespace tav {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kChunk = 1 << 16;
}  // namespace

int InputFile::Open(const std::string& path, bool textMode) {
  content_.clear();
  Rewind(textMode);
  errno = 0;
  // Wide names on Windows, so that umlauts in a path reach the file.
  std::FILE* file = OpenFile(path, "rb");
  if (!file) return errno ? errno : ENOENT;
  int error = 0;
  // Read in pieces up to one byte beyond the limit: the length of a pipe is
  // known only at its end.
  while (content_.size() <= kMaxSize) {
    const size_t had = content_.size();
    content_.resize(had + kChunk);
    errno = 0;
    const size_t got = std::fread(content_.data() + had, 1, kChunk, file);
    content_.resize(had + got);
    if (got == kChunk) continue;
    if (std::ferror(file)) error = errno ? errno : EIO;
    break;
  }
  std::fclose(file);
  if (error == 0 && content_.size() > kMaxSize) error = EFBIG;
  if (error != 0) content_.clear();
  Rewind(textMode);
  return error;
}

void InputFile::Rewind(bool textMode) {
  text_ = textMode;
  pos_ = textMode && std::string_view(content_).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

bool InputFile::ReadLine(std::string_view& line) {
  size_t n = 0;
  const size_t end = content_.size();
  while (n < kMaxLine && pos_ < end) {
    char c = content_[pos_++];
    if (text_ && c == '\r') {
      // CR LF, a lone CR and the CR CR LF of some converters each end the
      // line once.
      while (pos_ < end && content_[pos_] == '\r') ++pos_;
      if (pos_ < end && content_[pos_] == '\n') ++pos_;
      c = '\n';
    }
    line_[n++] = c;
    if (c == '\n') break;
  }
  line = std::string_view(line_, n);
  return n > 0;
}

size_t InputFile::Read(uint8_t* dest, size_t size) {
  const size_t n = std::min(size, content_.size() - pos_);
  std::memcpy(dest, content_.data() + pos_, n);
  pos_ += n;
  return n;
}

}  // namespace tav
