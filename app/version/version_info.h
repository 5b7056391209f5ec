// SPDX-License-Identifier: GPL-2.0-or-later
// The version record of a program file and the short version text of the
// window title ("1, 3, 9, 0" becomes "V1.39"). The record is read through
// VersionRecordSource: the Win32 version functions on Windows, an ELF
// section holding the same record on Linux (version_record.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tav {

// The three platform operations a version record needs.
class VersionRecordSource {
public:
  virtual ~VersionRecordSource() = default;
  // GetFileVersionInfoSizeA: the size of the file's record, 0 when there is none.
  virtual uint32_t RecordSize(const std::string& file) = 0;
  // GetFileVersionInfoA into `record` (already of the size above).
  virtual bool ReadRecord(const std::string& file, std::vector<uint8_t>& record) = 0;
  // VerQueryValueA: the value at `path`; text values without their
  // terminating zero, binary values as their bytes.
  virtual bool QueryValue(const std::vector<uint8_t>& record, const std::string& path, std::string& value) = 0;
};

// The platform's own source (Win32 on Windows, ELF sections elsewhere).
std::unique_ptr<VersionRecordSource> MakeSystemVersionSource();

// The running program's own file, as that source names it: whatever the
// program was renamed to, its record is found.
std::string OwnProgramFile();

class VersionInfo {
public:
  VersionInfo();  // reads through MakeSystemVersionSource()
  explicit VersionInfo(VersionRecordSource& source);
  ~VersionInfo() { Close(); }
  VersionInfo(const VersionInfo&) = delete;
  VersionInfo& operator=(const VersionInfo&) = delete;

  // The file name goes to the source unchanged; a bare name is searched
  // for as the platform does (the program's own directory first).
  bool Open(const std::string& file);
  void Close();
  bool IsOpen() const { return open_; }
  // Language in the upper 16 bits, code page in the lower; 0 when closed.
  uint32_t Translation() const { return translation_; }
  // "" when nothing is open or the key is missing; translation 0 means the
  // one found by Open.
  std::string QueryString(const std::string& key, uint32_t translation = 0) const;

private:
  std::unique_ptr<VersionRecordSource> ownSource_;
  VersionRecordSource& source_;
  std::vector<uint8_t> record_;
  bool open_ = false;
  uint32_t translation_ = 0;
};

// "V" and the first number, ".", the second and third numbers, read at the
// character positions of the form "a, b, c, d"; other forms are not
// rendered sensibly. An empty or missing FileVersion gives "V.".
std::string VersionText(const VersionInfo& info);

}  // namespace tav
