// A program file opened for reading, either as raw bytes or as text lines.
// Text mode turns CR LF into LF on every platform, so the fixed character
// positions of the hex records are the same for DOS and Unix line ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class InputFile {
public:
  // A line holds at most this many characters including its LF; the rest of
  // a longer line arrives as the next line.
  static constexpr size_t kMaxLine = 2047;

  InputFile() = default;
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // 0, or the errno of the failed open.
  int Open(const std::string& path, bool textMode);
  void Close();

  // The next line, its LF included when it fits. False at the end of the
  // file and after a read error (see Failed).
  bool ReadLine(std::string_view& line);

  // Binary access: the length of the file, and up to `size` bytes from the
  // current position. Length returns false when the length cannot be known.
  bool Length(uint64_t& length);
  size_t Read(uint8_t* dest, size_t size);

  bool Failed() const { return failed_; }
  int ErrorNumber() const { return error_; }

private:
  int Get();   // next byte or EOF
  int Peek();  // next byte without taking it, or EOF
  bool Refill();

  std::FILE* file_ = nullptr;
  bool text_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  char line_[kMaxLine + 1] = {};
};

}  // namespace tav
