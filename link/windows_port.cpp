#ifdef _WIN32

#include "link/windows_port.h"

#include <windows.h>

#include <type_traits>
#include <vector>

#include "base/feedback.h"
#include "link/inpout_api.h"
#include "link/port_access.h"
#include "settings/native_path.h"
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
static_assert(kErrorModuleNotFound == ERROR_MOD_NOT_FOUND && kErrorBadExeFormat == ERROR_BAD_EXE_FORMAT);
static_assert(sizeof(OSVERSIONINFOA) == 148);

namespace {

// IsWow64Process is missing from the kernel32 of the oldest systems, so it
// is looked up rather than imported.
using IsWow64Function = BOOL(WINAPI*)(HANDLE, PBOOL);
static_assert(std::is_same_v<IsWow64Function, decltype(&::IsWow64Process)>);

// A function of a loaded DLL as the pointer type checked against its
// declaration (through void (*)(), which any function pointer may pass).
template <typename Function>
Function TakeFunction(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The ports through the port library; the library stays loaded as long as
// its functions may be called.
class PortLibraryPort : public PortIo {
public:
  PortLibraryPort(HMODULE module, inpout::ReadFunction read, inpout::WriteFunction write)
      : module_(module), read_(read), write_(write) {}
  ~PortLibraryPort() override { FreeLibrary(module_); }
  PortLibraryPort(const PortLibraryPort&) = delete;
  PortLibraryPort& operator=(const PortLibraryPort&) = delete;

  void Out(uint16_t address, uint8_t value) override { write_(address, value); }
  uint8_t In(uint16_t address) override { return read_(address); }

private:
  HMODULE module_;
  inpout::ReadFunction read_;
  inpout::WriteFunction write_;
};

// Closes a service manager or service handle at the end of a scope.
struct ServiceHandle {
  SC_HANDLE handle;
  ~ServiceHandle() {
    if (handle != nullptr) CloseServiceHandle(handle);
  }
};

}  // namespace

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
  HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool Win32Platform::OpenServiceManager() {
  if (serviceManager_ == nullptr) serviceManager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  return serviceManager_ != nullptr;
}

int Win32Platform::CreateDriverService(const std::string& name, const std::string& displayName, uint32_t startType,
                                       const std::string& binaryPath) {
  if (serviceManager_ == nullptr) return ERROR_INVALID_HANDLE;
  SC_HANDLE service = CreateServiceW(static_cast<SC_HANDLE>(serviceManager_), WidePath(name).c_str(),
                                     WidePath(displayName).c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     startType, SERVICE_ERROR_NORMAL, WidePath(binaryPath).c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  if (service == nullptr) return int(GetLastError());
  CloseServiceHandle(service);
  return 0;
}

int Win32Platform::StartDriverService(const std::string& name) {
  if (serviceManager_ == nullptr) return ERROR_INVALID_HANDLE;
  const ServiceHandle service{
      OpenServiceW(static_cast<SC_HANDLE>(serviceManager_), WidePath(name).c_str(), SERVICE_ALL_ACCESS)};
  if (service.handle == nullptr) return int(GetLastError());
  return StartServiceW(service.handle, 0, nullptr) ? 0 : int(GetLastError());
}

std::string Win32Platform::RegisteredDriverPath(const std::string& name) {
  // Connecting and reading a service's settings is every user's right.
  const ServiceHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
  if (manager.handle == nullptr) return "";
  const ServiceHandle service{OpenServiceW(manager.handle, WidePath(name).c_str(), SERVICE_QUERY_CONFIG)};
  if (service.handle == nullptr) return "";
  DWORD needed = 0;
  QueryServiceConfigW(service.handle, nullptr, 0, &needed);
  if (needed == 0) return "";
  std::vector<QUERY_SERVICE_CONFIGW> buffer(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
  if (!QueryServiceConfigW(service.handle, buffer.data(), DWORD(buffer.size() * sizeof buffer[0]), &needed)) return "";
  const wchar_t* path = buffer[0].lpBinaryPathName;
  return path != nullptr ? Utf8FromWide(path) : "";
}

int Win32Platform::ChangeDriverPath(const std::string& name, const std::string& binaryPath) {
  if (serviceManager_ == nullptr) return ERROR_INVALID_HANDLE;
  const ServiceHandle service{
      OpenServiceW(static_cast<SC_HANDLE>(serviceManager_), WidePath(name).c_str(), SERVICE_CHANGE_CONFIG)};
  if (service.handle == nullptr) return int(GetLastError());
  return ChangeServiceConfigW(service.handle, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                              WidePath(binaryPath).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
             ? 0
             : int(GetLastError());
}

bool Win32Platform::IsProcess64() { return sizeof(void*) == 8; }

bool Win32Platform::IsWindows64() {
  if (IsProcess64()) return true;
  const auto isWow64 = TakeFunction<IsWow64Function>(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

PortLibrary Win32Platform::OpenPortLibrary(const std::string& file) {
  PortLibrary library;
  HMODULE module = LoadLibraryW(WidePath(file).c_str());
  if (module == nullptr) {
    library.loadError = int(GetLastError());
    return library;
  }
  const auto isDriverOpen = TakeFunction<inpout::IsDriverOpenFunction>(module, inpout::kIsDriverOpen);
  const auto read = TakeFunction<inpout::ReadFunction>(module, inpout::kRead);
  const auto write = TakeFunction<inpout::WriteFunction>(module, inpout::kWrite);
  library.missingFunction = isDriverOpen == nullptr ? inpout::kIsDriverOpen
                            : read == nullptr       ? inpout::kRead
                            : write == nullptr      ? inpout::kWrite
                                                    : "";
  if (!library.missingFunction.empty()) {
    FreeLibrary(module);
    return library;
  }
  library.driverOpen = isDriverOpen() != FALSE;
  library.io = std::make_unique<PortLibraryPort>(module, read, write);
  return library;
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
  WindowsAccessResult result = SetupWindowsPortAccess(platform, settings.DebugNT == 1, feedback);
  access.DemoMode = result.DemoMode;
  if (result.library) {
    access.io = std::move(result.library);
    access.description = "Portbibliothek " + result.libraryFile;
  } else if (result.DemoMode == 0) {
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
