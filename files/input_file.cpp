#include "files/input_file.h"

#include <cerrno>

#include "settings/native_path.h"

namespace tav {

namespace {
constexpr size_t kBufferSize = 1 << 16;
}

int InputFile::Open(const std::string& path, bool textMode) {
  Close();
  text_ = textMode;
  failed_ = false;
  error_ = 0;
  pos_ = end_ = 0;
  errno = 0;
  // Always binary underneath: the CR LF translation is done here so that it
  // is the same on every platform.
  file_ = OpenFile(path, "rb");
  if (!file_) return errno ? errno : ENOENT;
  buffer_.resize(kBufferSize);
  return 0;
}

void InputFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool InputFile::Refill() {
  if (!file_ || failed_) return false;
  errno = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  pos_ = 0;
  if (end_ == 0 && std::ferror(file_)) {
    failed_ = true;
    error_ = errno ? errno : EIO;
  }
  return end_ > 0;
}

int InputFile::Get() {
  if (pos_ == end_ && !Refill()) return EOF;
  return static_cast<unsigned char>(buffer_[pos_++]);
}

int InputFile::Peek() {
  if (pos_ == end_ && !Refill()) return EOF;
  return static_cast<unsigned char>(buffer_[pos_]);
}

bool InputFile::ReadLine(std::string_view& line) {
  size_t n = 0;
  while (n < kMaxLine) {
    int c = Get();
    if (c == EOF) break;
    if (text_ && c == '\r' && Peek() == '\n') c = Get();
    line_[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line = std::string_view(line_, n);
  return n > 0 && !failed_;
}

bool InputFile::Length(uint64_t& length) {
  if (!file_) return false;
  errno = 0;
  long here = std::ftell(file_);
  if (here < 0 || std::fseek(file_, 0, SEEK_END) != 0) {
    error_ = errno;
    return false;
  }
  long end = std::ftell(file_);
  if (end < 0 || std::fseek(file_, here, SEEK_SET) != 0) {
    error_ = errno;
    return false;
  }
  length = static_cast<uint64_t>(end - here);
  return true;
}

size_t InputFile::Read(uint8_t* dest, size_t size) {
  if (!file_) return 0;
  // Bytes already taken into the line buffer come first.
  size_t n = 0;
  while (n < size && pos_ < end_) dest[n++] = static_cast<uint8_t>(buffer_[pos_++]);
  errno = 0;
  n += std::fread(dest + n, 1, size - n, file_);
  if (n < size && std::ferror(file_)) {
    failed_ = true;
    error_ = errno ? errno : EIO;
  }
  return n;
}

}  // namespace tav
