// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows way to the parallel port, as logic without the operating
// system: identify the system from its version information, and on the NT
// family open the giveio device, installing and starting the driver through
// the Service Control Manager when the device cannot be opened. The system
// calls sit behind WindowsPlatform, so that every outcome can be played
// through with a scripted platform on any host; windows_port.cpp supplies
// the real one.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

class Feedback;

// What GetVersionExA reports.
struct OsVersion {
  uint32_t platform = 0;  // 1 = DOS-based family, 2 = NT family
  uint32_t major = 0;
  uint32_t minor = 0;
  std::string servicePack;
};

struct OsIdentity {
  int OsCode = 0;      // 1..8 for the known systems; 0 = not recognised
  std::string OsName;  // shown only in debug mode
};

OsIdentity IdentifyOperatingSystem(const OsVersion& version);

// The Win32 values, repeated here so that the logic and its tests do not
// need <windows.h>; windows_port.cpp checks them against the real header.
inline constexpr uint32_t kServiceSystemStart = 1;  // SERVICE_SYSTEM_START
inline constexpr uint32_t kServiceAutoStart = 2;    // SERVICE_AUTO_START
inline constexpr uint32_t kNormalPriorityClass = 0x20;
inline constexpr uint32_t kHighPriorityClass = 0x80;
inline constexpr uint32_t kRealtimePriorityClass = 0x100;
inline constexpr int kThreadPriorityNormal = 0;
inline constexpr int kThreadPriorityHighest = 2;
inline constexpr int kThreadPriorityTimeCritical = 15;
inline constexpr int kErrorServiceAlreadyRunning = 1056;  // ERROR_SERVICE_ALREADY_RUNNING
inline constexpr int kErrorServiceExists = 1073;          // ERROR_SERVICE_EXISTS
// 1062 is ERROR_SERVICE_NOT_ACTIVE; the driver setup reads it as "installed
// but not started" after CreateServiceA and "not started" after StartServiceA.
inline constexpr int kErrorServiceNotActive = 1062;

inline constexpr const char* kGiveioDevice = "\\\\.\\giveio";
inline constexpr const char* kGiveioFile = "giveio.sys";

// The operating-system calls the port setup and the priority change need.
class WindowsPlatform {
public:
  virtual ~WindowsPlatform() = default;
  // GetVersionExA with the 148-byte structure; false when it fails.
  virtual bool GetVersion(OsVersion& version) = 0;
  // CreateFileA for reading, no sharing, existing only; the handle is
  // closed at once. True when the device opened.
  virtual bool OpenDevice(const std::string& path) = 0;
  // OpenSCManagerA with all access; the handle is kept for the rest of the
  // run. False when the manager cannot be opened (no administrator rights).
  virtual bool OpenServiceManager() = 0;
  // CreateServiceA for a kernel driver with normal error control; the new
  // service handle is closed at once. 0 or the system error number.
  virtual int CreateDriverService(const std::string& name, const std::string& displayName, uint32_t startType,
                                  const std::string& binaryPath) = 0;
  // OpenServiceA, StartServiceA without arguments, CloseServiceHandle.
  // 0 or the system error number.
  virtual int StartDriverService(const std::string& name) = 0;
  // The current working directory, with or without a trailing separator.
  virtual std::string WorkingDirectory() = 0;
  // SetPriorityClass and SetThreadPriority on the current process and thread.
  virtual void SetPriority(uint32_t processClass, int threadPriority) = 0;
};

struct WindowsAccessResult {
  int result = 0;  // 0, or kNoPortAccess when the service manager cannot be opened
  int DemoMode = 0;
  OsIdentity os;
};

// Identifies the system and obtains port access; reports every outcome with
// ShowPlainMessage (the installation steps and OsName only when `debugNT`).
WindowsAccessResult SetupWindowsPortAccess(WindowsPlatform& platform, bool debugNT, Feedback& feedback);

// The NT family (OsCode 4..8) gets the high class, everything else the
// realtime class; restoring always returns to normal.
void RaiseWindowsPriority(WindowsPlatform& platform, int osCode);
void RestoreWindowsPriority(WindowsPlatform& platform);

}  // namespace tav
