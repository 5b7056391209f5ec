// SPDX-License-Identifier: GPL-2.0-or-later
// Version records of Linux programs: the record sits in the ELF section
// kVersionSection (attached by the build, see tavrolith_attach_version).
// A bare file name is looked for the way Windows looks for it: in the
// program's own directory first, then in the working directory; since Linux
// programs carry no ".exe", a name ending in it also finds the file without.
#pragma once

#ifndef _WIN32

#include <string>

#include "app/version/version_info.h"

namespace tav {

class ElfVersionSource : public VersionRecordSource {
public:
  // `programDirectory` empty: the directory of the running program.
  explicit ElfVersionSource(std::string programDirectory = "");

  uint32_t RecordSize(const std::string& file) override;
  bool ReadRecord(const std::string& file, std::vector<uint8_t>& record) override;
  bool QueryValue(const std::vector<uint8_t>& record, const std::string& path, std::string& value) override;

  // The file a name stands for, or "" when there is none.
  std::string Resolve(const std::string& file) const;

private:
  bool Section(const std::string& file, std::vector<uint8_t>& contents) const;

  std::string programDirectory_;
};

}  // namespace tav

#endif  // !_WIN32
