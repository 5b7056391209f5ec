// Port access on Windows: the in and out instructions themselves, allowed on
// the DOS-based family always and on 32-bit NT only after the giveio driver
// has been opened once by this process (SetupPortAccess installs and starts
// it when needed, by the logic of windows_access.h); elsewhere the port
// library's functions.
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <string>

#include "link/port_io.h"
#include "link/windows_access.h"

namespace tav {

class WindowsPort : public PortIo {
public:
  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override;
};

// The real system calls behind WindowsPlatform.
class Win32Platform : public WindowsPlatform {
public:
  bool GetVersion(OsVersion& version) override;
  bool OpenDevice(const std::string& path) override;
  bool OpenServiceManager() override;
  int CreateDriverService(const std::string& name, const std::string& displayName, uint32_t startType,
                          const std::string& binaryPath) override;
  int StartDriverService(const std::string& name) override;
  std::string RegisteredDriverPath(const std::string& name) override;
  int ChangeDriverPath(const std::string& name, const std::string& binaryPath) override;
  bool IsWindows64() override;
  bool IsProcess64() override;
  PortLibrary OpenPortLibrary(const std::string& file) override;
  std::string WorkingDirectory() override;
  void SetPriority(uint32_t processClass, int threadPriority) override;

private:
  // Kept for the rest of the run once opened (never closed here: the driver
  // setup happens once, and the process end releases the handle).
  void* serviceManager_ = nullptr;
};

}  // namespace tav

#endif  // _WIN32
