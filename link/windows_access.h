// The Windows way to the parallel port, as logic without the operating
// system: identify the system from its version information, and on the NT
// family open the giveio device, installing and starting the driver through
// the Service Control Manager when the device cannot be opened. Where giveio
// cannot serve (64-bit Windows never loads it; or the driver does not load)
// the InpOut port library takes over when the user has it. The system calls
// sit behind WindowsPlatform, so that every outcome can be played through
// with a scripted platform on any host; windows_port.cpp supplies the real
// one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/port_io.h"

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
inline constexpr int kErrorModuleNotFound = 126;  // ERROR_MOD_NOT_FOUND from LoadLibraryW
inline constexpr int kErrorBadExeFormat = 193;    // ERROR_BAD_EXE_FORMAT: a DLL of the other architecture

inline constexpr const char* kGiveioDevice = "\\\\.\\giveio";
inline constexpr const char* kGiveioFile = "giveio.sys";

// The InpOut port library: one file per process architecture (a 32-bit
// process uses inpout32.dll on 64-bit Windows too; it brings its own
// 64-bit driver).
const char* PortLibraryFile(bool process64);

// What loading the port library found.
struct PortLibrary {
  int loadError = 0;            // 0, or the system error of LoadLibraryW
  std::string missingFunction;  // a needed function the file does not export
  bool driverOpen = false;      // what IsInpOutDriverOpen answered
  std::unique_ptr<PortIo> io;   // set when loaded with every function
};

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
  // CreateServiceW for a kernel driver with normal error control; the new
  // service handle is closed at once. 0 or the system error number. Paths
  // are UTF-8 here and wide at the system, so folders with umlauts work.
  virtual int CreateDriverService(const std::string& name, const std::string& displayName, uint32_t startType,
                                  const std::string& binaryPath) = 0;
  // OpenServiceA, StartServiceA without arguments, CloseServiceHandle.
  // 0 or the system error number.
  virtual int StartDriverService(const std::string& name) = 0;
  // The driver path the service `name` is registered with, read with the
  // rights every user has; empty when there is no such service.
  virtual std::string RegisteredDriverPath(const std::string& name) = 0;
  // ChangeServiceConfigW of the path alone, through the opened manager.
  // 0 or the system error number.
  virtual int ChangeDriverPath(const std::string& name, const std::string& binaryPath) = 0;
  // True on 64-bit Windows, also for a 32-bit process running there.
  virtual bool IsWindows64() = 0;
  // True when this process is a 64-bit one.
  virtual bool IsProcess64() = 0;
  // LoadLibraryW of `file` and its functions.
  virtual PortLibrary OpenPortLibrary(const std::string& file) = 0;
  // The current working directory, with or without a trailing separator.
  virtual std::string WorkingDirectory() = 0;
  // SetPriorityClass and SetThreadPriority on the current process and thread.
  virtual void SetPriority(uint32_t processClass, int threadPriority) = 0;
};

struct WindowsAccessResult {
  int result = 0;  // 0, or kNoPortAccess when no access could be obtained
  int DemoMode = 0;
  OsIdentity os;
  std::unique_ptr<PortIo> library;  // the port library's ports, when they serve
  std::string libraryFile;          // its file name, when it serves
};

// Identifies the system and obtains port access: the in and out instructions
// (DOS family, or NT with giveio), else the port library, else demonstration
// mode with a message naming both. Reports every outcome with
// ShowPlainMessage (the installation steps and OsName only when `debugNT`).
WindowsAccessResult SetupWindowsPortAccess(WindowsPlatform& platform, bool debugNT, Feedback& feedback);

// The NT family (OsCode 4..8) gets the high class, everything else the
// realtime class; restoring always returns to normal.
void RaiseWindowsPriority(WindowsPlatform& platform, int osCode);
void RestoreWindowsPriority(WindowsPlatform& platform);

}  // namespace tav
