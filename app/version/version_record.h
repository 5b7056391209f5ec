// SPDX-License-Identifier: GPL-2.0-or-later
// The version record in the layout Windows keeps in a program's resources
// (VS_VERSIONINFO: nested blocks of length, value length, type, UTF-16 key,
// value and children, each aligned to four bytes). Linux programs carry the
// same record in an ELF section, so that one reader serves both systems.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav {

struct VersionRecordValues {
  uint16_t numbers[4] = {0, 0, 0, 0};  // file and product version
  uint16_t language = 0;
  uint16_t codePage = 0;
  std::vector<std::pair<std::string, std::string>> strings;  // key, value (ASCII)
};

std::vector<uint8_t> BuildVersionRecord(const VersionRecordValues& values);

// The value at a path such as "\\StringFileInfo\\040704b0\\FileVersion"
// (keys compared without regard to case, as Windows does); text values as
// UTF-8 without the terminating zero, binary values as their bytes. False
// for a missing path and for a damaged record.
bool QueryVersionRecord(const std::vector<uint8_t>& record, const std::string& path, std::string& value);

// Where Linux programs keep the record.
inline constexpr const char* kVersionSection = ".tv_version";

}  // namespace tav
