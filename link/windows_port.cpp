#ifdef _WIN32

#include "link/windows_port.h"

#include <windows.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include "base/feedback.h"
#include "link/port_access.h"
#include "settings/paths.h"
#include "settings/settings.h"

namespace tav {

void WindowsPort::Out(uint16_t address, uint8_t value) {
#if defined(_MSC_VER)
  __outbyte(address, value);
#else
  __asm__ __volatile__("outb %0, %1" : : "a"(value), "Nd"(address));
#endif
}

uint8_t WindowsPort::In(uint16_t address) {
#if defined(_MSC_VER)
  return __inbyte(address);
#else
  uint8_t value;
  __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(address));
  return value;
#endif
}

OsIdentity IdentifyOperatingSystem() {
  OsIdentity os;
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
  if (!GetVersionExA(&info)) return os;
  os.ok = true;
  os.Platform = int(info.dwPlatformId);
  const std::string pack = info.szCSDVersion;
  const DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
  struct Row { int platform; DWORD major, minor; const char* name; int code; };
  static const Row kRows[] = {
      {1, 4, 0, "Microsoft® Windows 95(TM) ", 1},         {1, 4, 10, "Microsoft® Windows 98(TM) ", 2},
      {1, 4, 90, "Microsoft® Windows ME(TM) ", 3},        {2, 3, 51, "Microsoft® Windows NT3.51(TM) ", 4},
      {2, 4, 0, "Microsoft® Windows NT4.00(TM) ", 5},      {2, 5, 0, "Microsoft® Windows 2000(TM) ", 6},
      {2, 5, 1, "Microsoft® Windows XP(TM) ", 7},          {2, 5, 2, "Microsoft® Windows Server 2003(TM) ", 8},
  };
  for (const Row& row : kRows) {
    if (row.platform != os.Platform || row.major != major || row.minor != minor) continue;
    std::string suffix = pack;
    if (row.code == 1 && pack == " C ") suffix = "OSR2";
    if (row.code == 2 && pack == " A ") suffix = "Second Edition";
    os.OsName = std::string(row.name) + suffix;
    os.OsCode = row.code;
  }
  return os;
}

namespace {

bool OpenGiveio() {
  HANDLE handle = CreateFileA("\\\\.\\giveio", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

int StartDriverService(SC_HANDLE manager, const char* service) {
  SC_HANDLE handle = OpenServiceA(manager, service, SERVICE_ALL_ACCESS);
  if (handle == nullptr) return int(GetLastError());
  const int result = StartServiceA(handle, 0, nullptr) ? 0 : int(GetLastError());
  CloseServiceHandle(handle);
  return result;
}

}  // namespace

int SetupPortAccess(const std::string&, const Settings& settings, Feedback& feedback, PortAccess& access,
                    const PortAccessEnvironment&) {
  access = PortAccess{};
  access.io = std::make_unique<WindowsPort>();
  access.description = "Portbefehle";
  const bool debug = settings.DebugNT == 1;
  const OsIdentity os = IdentifyOperatingSystem();
  if (!os.ok) return 0;
  if (os.Platform == 2) {
    if (!OpenGiveio()) {
      // The handle stays open for the rest of the run, as the driver
      // installation expects; the process end closes it.
      SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
      if (manager == nullptr) {
        feedback.ShowPlainMessage(
            "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern "
            "installiert werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator "
            "starten.\nDanach ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n");
        access.DemoMode = 1;
        access.io.reset();
        return kNoPortAccess;
      }
      const std::string driverPath = CurrentDirectory() + "giveio.sys";
      const DWORD startType = os.OsCode >= 7 ? SERVICE_SYSTEM_START : SERVICE_AUTO_START;
      SC_HANDLE service = CreateServiceA(manager, "giveio", "giveio", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, startType,
                                         SERVICE_ERROR_NORMAL, driverPath.c_str(), nullptr, nullptr, nullptr, nullptr,
                                         nullptr);
      const int created = service ? 0 : int(GetLastError());
      if (service) CloseServiceHandle(service);
      if (debug && created == 0) feedback.ShowPlainMessage("'giveio.sys' Driver installed !");
      if (debug && created == 1062) feedback.ShowPlainMessage("Driver installed but not started !\nWe will try to do this now.");
      const int started = StartDriverService(manager, "giveio");
      if (debug && started == 1056) feedback.ShowPlainMessage("'giveio.sys' Driver already started !");
      if (debug && started == 1062) feedback.ShowPlainMessage("'giveio.sys' Driver has not been started !");
      if (debug && started == 0) feedback.ShowPlainMessage("'giveio.sys' Driver started !");
      if (!OpenGiveio()) {
        feedback.ShowPlainMessage("'giveio.sys' Devicetreiber konnte nicht geladen werden\n");
        access.DemoMode = 1;
        access.io.reset();
      }
    }
  } else if (os.Platform != 1) {
    feedback.ShowPlainMessage("Operating System nicht erkannt !");
  }
  if (debug) feedback.ShowPlainMessage(os.OsName);
  return 0;
}

void RaisePriority() {
  const int code = IdentifyOperatingSystem().OsCode;
  if (code >= 4 && code <= 8) {
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  } else {
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }
}

void RestorePriority() {
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

std::string AccessErrorText(int error) { return "Fehler " + std::to_string(error); }

}  // namespace tav

#endif  // _WIN32
