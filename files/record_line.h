// SPDX-License-Identifier: GPL-2.0-or-later
// One line of a hex file seen through its fixed-position fields. Every
// number is a slice of fixed width at a fixed character position; a
// character that is not a hex digit, or the end of the line, ends the number
// early. The running sum is the byte sum every format's checksum is made of.
#pragma once

#include <cstdint>
#include <string_view>

namespace tav {

class RecordLine {
public:
  explicit RecordLine(std::string_view text) : text_(text) {}

  size_t Length() const { return text_.size(); }
  // The character at `pos`, or '\0' beyond the end.
  char At(size_t pos) const { return pos < text_.size() ? text_[pos] : '\0'; }
  bool StartsWith(std::string_view prefix) const { return text_.starts_with(prefix); }

  // Ends the line at its first CR, LF or blank.
  void Cut();

  // The position of the first character among the `width` at `pos` that is
  // no hex digit, or npos. The line end (and the end of the text) ends the
  // search: a field cut short there is a matter of the line's length.
  size_t FirstNonHex(size_t pos, size_t width) const;
  static constexpr size_t npos = std::string_view::npos;

  // The slice of `width` digits at `pos`, read as a hexadecimal number.
  uint32_t Hex(size_t pos, size_t width) const;
  // The same, with each of its bytes (width / 2 of them) added to the sum.
  uint32_t SummedHex(size_t pos, size_t width);

  uint32_t Sum() const { return sum_; }
  void AddToSum(uint32_t value) { sum_ += value; }

private:
  std::string_view text_;
  uint32_t sum_ = 0;
};

}  // namespace tav
