// SPDX-License-Identifier: GPL-2.0-or-later
#ifdef _WIN32

#include "link/windows_port.h"

#include <windows.h>

#include "base/feedback.h"
#include "link/port_access.h"
#include "settings/paths.h"
#include "settings/settings.h"

namespace tav {

static_assert(kServiceSystemStart == SERVICE_SYSTEM_START && kServiceAutoStart == SERVICE_AUTO_START);
static_assert(kNormalPriorityClass == NORMAL_PRIORITY_CLASS && kHighPriorityClass == HIGH_PRIORITY_CLASS &&
              kRealtimePriorityClass == REALTIME_PRIORITY_CLASS);
static_assert(kThreadPriorityNormal == THREAD_PRIORITY_NORMAL && kThreadPriorityHighest == THREAD_PRIORITY_HIGHEST &&
              kThreadPriorityTimeCritical == THREAD_PRIORITY_TIME_CRITICAL);
static_assert(kErrorServiceAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING &&
              kErrorServiceNotActive == ERROR_SERVICE_NOT_ACTIVE && kErrorServiceExists == ERROR_SERVICE_EXISTS);
static_assert(sizeof(OSVERSIONINFOA) == 148);

void WindowsPort::Out(uint16_t address, uint8_t value) {
  __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(address));
}

uint8_t WindowsPort::In(uint16_t address) {
  uint8_t value;
  __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(address));
  return value;
}

bool Win32Platform::GetVersion(OsVersion& version) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  // Deprecated because newer systems report themselves as older ones to
  // unmanifested programs; the table of known systems ends long before that.
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  version.platform = info.dwPlatformId;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.servicePack = info.szCSDVersion;
  return true;
}

bool Win32Platform::OpenDevice(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool Win32Platform::OpenServiceManager() {
  if (serviceManager_ == nullptr) serviceManager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  return serviceManager_ != nullptr;
}

int Win32Platform::CreateDriverService(const std::string& name, const std::string& displayName, uint32_t startType,
                                       const std::string& binaryPath) {
  if (serviceManager_ == nullptr) return ERROR_INVALID_HANDLE;
  SC_HANDLE service = CreateServiceA(static_cast<SC_HANDLE>(serviceManager_), name.c_str(), displayName.c_str(),
                                     SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, startType, SERVICE_ERROR_NORMAL,
                                     binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service == nullptr) return int(GetLastError());
  CloseServiceHandle(service);
  return 0;
}

int Win32Platform::StartDriverService(const std::string& name) {
  if (serviceManager_ == nullptr) return ERROR_INVALID_HANDLE;
  SC_HANDLE service = OpenServiceA(static_cast<SC_HANDLE>(serviceManager_), name.c_str(), SERVICE_ALL_ACCESS);
  if (service == nullptr) return int(GetLastError());
  const int result = StartServiceA(service, 0, nullptr) ? 0 : int(GetLastError());
  CloseServiceHandle(service);
  return result;
}

std::string Win32Platform::WorkingDirectory() { return CurrentDirectory(); }

void Win32Platform::SetPriority(uint32_t processClass, int threadPriority) {
  SetPriorityClass(GetCurrentProcess(), processClass);
  SetThreadPriority(GetCurrentThread(), threadPriority);
}

int SetupPortAccess(const std::string&, const Settings& settings, Feedback& feedback, PortAccess& access,
                    const PortAccessEnvironment&) {
  access = PortAccess{};
  // The platform keeps an opened service manager handle unreleased: it
  // stays open until the process ends.
  Win32Platform platform;
  const WindowsAccessResult result = SetupWindowsPortAccess(platform, settings.DebugNT == 1, feedback);
  access.DemoMode = result.DemoMode;
  if (result.DemoMode == 0) {
    access.io = std::make_unique<WindowsPort>();
    access.description = "Portbefehle (" + (result.os.OsName.empty() ? std::string("Windows") : result.os.OsName) + ")";
  }
  return result.result;
}

// The system version does not change during a run, so asking again gives
// the OsCode the port setup saw.
void RaisePriority() {
  Win32Platform platform;
  OsVersion version;
  const int code = platform.GetVersion(version) ? IdentifyOperatingSystem(version).OsCode : 0;
  RaiseWindowsPriority(platform, code);
}

void RestorePriority() {
  Win32Platform platform;
  RestoreWindowsPriority(platform);
}

std::string AccessErrorText(int error) { return "Fehler " + std::to_string(error); }

}  // namespace tav

#endif  // _WIN32
