// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/ini_file.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "settings/atomic_file.h"
#include "settings/native_path.h"

namespace tav {

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows editors save INI files as UTF-16 with a byte-order mark. Read byte
// by byte, such a file is a NUL after every character and no key is found;
// worse, the next save would write that back. It becomes UTF-8 with its
// signature here, so that the parser reads it and the save keeps every entry.
// A file without a UTF-16 mark is left as it is.
bool Utf16ToUtf8(std::string& bytes) {
  if (bytes.size() < 2) return false;
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  const bool little = b0 == 0xFF && b1 == 0xFE;
  if (!little && !(b0 == 0xFE && b1 == 0xFF)) return false;
  auto unit = [&](size_t i) -> uint32_t {
    const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
    const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
    return static_cast<uint32_t>(hi << 8 | lo);
  };
  std::string out = "\xEF\xBB\xBF";
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    // A lone surrogate has no UTF-8 form: the replacement character stands in.
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(out, code);
  }
  bytes = std::move(out);
  return true;
}

bool StartsWithByteOrderMark(const std::string& bytes) {
  return bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0 || bytes.rfind("\xEF\xBB\xBF", 0) == 0;
}

}  // namespace

IniFile::IniFile() : ini_(/*isUtf8=*/false, /*multiKey=*/false, /*multiLine=*/false) {
  // "key=value" without blanks, as the Windows profile functions write it.
  ini_.SetSpaces(false);
}

bool IniFile::Load(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(NativePath(path), error);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (error || status.type() != std::filesystem::file_type::regular) return false;
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  Utf16ToUtf8(bytes);
  // The parser stops at the first NUL byte; everything behind it would be
  // neither read nor written back. A blank keeps those entries alive.
  for (char& c : bytes) {
    if (c == '\0') c = ' ';
  }
  return ini_.LoadData(bytes) >= 0;
}

const char* IniFile::Find(const char* section, const char* key) const {
  return ini_.GetValue(section, key, nullptr);
}

bool IniFile::Write(const char* section, const char* key, const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  return ini_.SetValue(section, key, text.c_str()) >= 0;
}

bool IniFile::Remove(const char* section, const char* key) {
  ini_.Delete(section, key, false);
  return true;
}

bool IniFile::Save(const std::string& path) const {
  std::string content;
  // A file that came with a UTF-8 signature keeps it.
  if (ini_.Save(content, ini_.IsUnicode()) < 0) return false;
  // An entry whose name begins with the bytes of a byte-order mark, saved as
  // the first line, would make the next load take the whole file for UTF-16
  // (or drop the mark): every setting lost. The parser skips an empty line.
  if (!ini_.IsUnicode() && StartsWithByteOrderMark(content)) content.insert(0, SI_NEWLINE_A);
  return ReplaceFileContents(path, content);
}

}  // namespace tav
