// SPDX-License-Identifier: GPL-2.0-or-later
// Version records on Windows: the system's own version functions.
#ifdef _WIN32

#include <windows.h>

#include "app/version/version_info.h"

namespace tav {

namespace {

class Win32VersionSource : public VersionRecordSource {
public:
  uint32_t RecordSize(const std::string& file) override {
    DWORD ignored = 0;
    return GetFileVersionInfoSizeA(file.c_str(), &ignored);
  }
  bool ReadRecord(const std::string& file, std::vector<uint8_t>& record) override {
    return GetFileVersionInfoA(file.c_str(), 0, DWORD(record.size()), record.data()) != 0;
  }
  bool QueryValue(const std::vector<uint8_t>& record, const std::string& path, std::string& value) override {
    void* data = nullptr;
    UINT length = 0;
    // VerQueryValueA takes a non-const block although it only reads it.
    if (!VerQueryValueA(const_cast<uint8_t*>(record.data()), path.c_str(), &data, &length) || data == nullptr) {
      return false;
    }
    if (path.rfind("\\StringFileInfo\\", 0) == 0) {
      // Text: the length counts characters, the terminating zero included.
      value.assign(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), length));
    } else {
      value.assign(static_cast<const char*>(data), length);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<VersionRecordSource> MakeSystemVersionSource() { return std::make_unique<Win32VersionSource>(); }

// The ANSI name, as the ANSI version functions above take it back.
std::string OwnProgramFile() {
  char buffer[4 * MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, DWORD(sizeof buffer));
  return length == 0 || length >= sizeof buffer ? std::string("tavrolith-cli.exe") : std::string(buffer, length);
}

}  // namespace tav

#endif  // _WIN32
