#include "files/record_line.h"

namespace tav {

namespace {
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

void RecordLine::Cut() {
  size_t end = text_.find_first_of("\r\n ");
  if (end != std::string_view::npos) text_ = text_.substr(0, end);
}

uint32_t RecordLine::Hex(size_t pos, size_t width) const {
  uint32_t value = 0;
  for (size_t i = pos; i < pos + width && i < text_.size(); ++i) {
    int digit = DigitValue(text_[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t RecordLine::SummedHex(size_t pos, size_t width) {
  uint32_t value = Hex(pos, width);
  for (size_t shift = 0; shift < width * 4; shift += 8) sum_ += (value >> shift) & 0xFF;
  return value;
}

}  // namespace tav
