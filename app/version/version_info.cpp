// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/version/version_info.h"

#include <cstdio>

namespace tav {

VersionInfo::VersionInfo() : ownSource_(MakeSystemVersionSource()), source_(*ownSource_) {}

VersionInfo::VersionInfo(VersionRecordSource& source) : source_(source) {}

bool VersionInfo::Open(const std::string& file) {
  Close();
  const uint32_t size = source_.RecordSize(file);
  if (size == 0) return false;
  record_.assign(size, 0);
  if (!source_.ReadRecord(file, record_)) {
    Close();
    return false;
  }
  std::string table;
  // A table shorter than one entry is as good as none.
  if (!source_.QueryValue(record_, "\\VarFileInfo\\Translation", table) || table.size() < 4) {
    Close();
    return false;
  }
  auto word = [&](size_t at) { return uint32_t(uint8_t(table[at])) | uint32_t(uint8_t(table[at + 1])) << 8; };
  translation_ = word(0) << 16 | word(2);
  open_ = true;
  return true;
}

void VersionInfo::Close() {
  record_.clear();
  record_.shrink_to_fit();
  open_ = false;
  translation_ = 0;
}

std::string VersionInfo::QueryString(const std::string& key, uint32_t translation) const {
  if (!open_) return "";
  if (translation == 0) translation = translation_;
  char block[32];
  std::snprintf(block, sizeof block, "%08lx", static_cast<unsigned long>(translation));
  std::string value;
  if (!source_.QueryValue(record_, "\\StringFileInfo\\" + std::string(block) + "\\" + key, value)) return "";
  return value;
}

std::string VersionText(const VersionInfo& info) {
  const std::string s = info.QueryString("FileVersion");
  auto at = [&](size_t position) { return position < s.size() ? std::string(1, s[position]) : std::string(); };
  if (at(1) == ",") return "V" + at(0) + "." + at(3) + at(6);
  return "V" + at(0) + at(1) + "." + at(4) + at(7);
}

}  // namespace tav
