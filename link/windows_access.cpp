#include "link/windows_access.h"

#include <functional>

#include "base/feedback.h"
#include "base/result_codes.h"
#include "link/port_access.h"

namespace tav {

namespace {

constexpr const char* kNoServiceManager =
    "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern installiert "
    "werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach "
    "ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n";
constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";

// The service is named after the driver file without its extension.
std::string ServiceName() {
  const std::string file = kGiveioFile;
  return file.substr(0, file.rfind('.'));
}

std::string DriverPath(const std::string& directory) {
  if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) return directory + kGiveioFile;
  return directory + "\\" + kGiveioFile;
}

}  // namespace

OsIdentity IdentifyOperatingSystem(const OsVersion& version) {
  struct Row {
    uint32_t platform, major, minor;
    const char* name;
    int code;
  };
  static constexpr Row kRows[] = {
      {1, 4, 0, "Microsoft® Windows 95(TM) ", 1},    {1, 4, 10, "Microsoft® Windows 98(TM) ", 2},
      {1, 4, 90, "Microsoft® Windows ME(TM) ", 3},   {2, 3, 51, "Microsoft® Windows NT3.51(TM) ", 4},
      {2, 4, 0, "Microsoft® Windows NT4.00(TM) ", 5}, {2, 5, 0, "Microsoft® Windows 2000(TM) ", 6},
      {2, 5, 1, "Microsoft® Windows XP(TM) ", 7},     {2, 5, 2, "Microsoft® Windows Server 2003(TM) ", 8},
  };
  OsIdentity os;
  for (const Row& row : kRows) {
    if (row.platform != version.platform || row.major != version.major || row.minor != version.minor) continue;
    // Only these two whole texts have friendlier names; " C " inside a
    // longer text stays as it is.
    std::string pack = version.servicePack;
    if (row.code == 1 && pack == " C ") pack = "OSR2";
    if (row.code == 2 && pack == " A ") pack = "Second Edition";
    os.OsName = row.name + pack;
    os.OsCode = row.code;
    break;
  }
  return os;
}

const char* PortLibraryFile(bool process64) { return process64 ? "inpoutx64.dll" : "inpout32.dll"; }

namespace {

// The service manager may hand a kernel driver's path back in the NT form
// "\??\C:\..."; Windows compares paths without regard to the case of
// their ASCII letters.
bool SameDriverPath(std::string registered, std::string wanted) {
  if (registered.rfind(R"(\??\)", 0) == 0) registered.erase(0, 4);
  if (registered.size() != wanted.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(registered[i]) != lower(wanted[i])) return false;
  }
  return true;
}

std::string StalePathText(const std::string& registered, const std::string& wanted) {
  return "Der Treiber 'giveio.sys' ist als Dienst mit einem anderen Pfad eingetragen:\n" + registered +
         "\nGebraucht wird:\n" + wanted + "\n";
}

// Steps a to e of the giveio setup. Returns what went wrong, for the message
// that ends in demonstration mode, or "" when the device opened.
// `noManager` tells that the service manager could not be opened.
std::string SetupGiveio(WindowsPlatform& platform, int osCode, const std::function<void(const std::string&)>& debug,
                        bool& noManager) {
  if (platform.OpenDevice(kGiveioDevice)) return "";
  const std::string service = ServiceName();
  const std::string path = DriverPath(platform.WorkingDirectory());
  noManager = !platform.OpenServiceManager();
  if (noManager) {
    // A service left behind with another path (a first start from another
    // folder) cannot be mended without the rights; say which path it is.
    const std::string registered = platform.RegisteredDriverPath(service);
    if (!registered.empty() && !SameDriverPath(registered, path)) {
      return StalePathText(registered, path) +
             "\nDieses Programm bitte einmal als Administrator starten;\ndanach ist der Eintrag berichtigt.\n";
    }
    return kNoServiceManager;
  }
  const uint32_t startType = osCode >= 7 ? kServiceSystemStart : kServiceAutoStart;
  const int created = platform.CreateDriverService(service, service, startType, path);
  if (created == 0) debug("'giveio.sys' Driver installed !");
  if (created == kErrorServiceNotActive) debug("Driver installed but not started !\nWe will try to do this now.");
  // An existing service is the normal case of a later start; only its path
  // needs a look, since a service registered from another folder would
  // otherwise never load again.
  if (created == kErrorServiceExists) {
    const std::string registered = platform.RegisteredDriverPath(service);
    if (!registered.empty() && !SameDriverPath(registered, path)) {
      const int changed = platform.ChangeDriverPath(service, path);
      if (changed != 0) {
        return StalePathText(registered, path) + "Der Eintrag konnte nicht berichtigt werden (Fehler " +
               std::to_string(changed) + ").\n";
      }
      debug("'giveio.sys' Driver path changed from\n" + registered + "\nto\n" + path);
    }
  }

  const int started = platform.StartDriverService(service);
  if (started == kErrorServiceAlreadyRunning) debug("'giveio.sys' Driver already started !");
  if (started == kErrorServiceNotActive) debug("'giveio.sys' Driver has not been started !");
  if (started == 0) debug("'giveio.sys' Driver started !");

  if (platform.OpenDevice(kGiveioDevice)) return "";
  return kNotLoaded;
}

// What the port library's file gave, in one line for the message.
std::string LibraryReport(const std::string& file, const PortLibrary& library, bool process64) {
  const std::string name = "'" + file + "': ";
  if (library.loadError == kErrorModuleNotFound) return name + "nicht gefunden.\n";
  if (library.loadError == kErrorBadExeFormat) {
    return name + "gefunden, passt aber nicht zu diesem " + (process64 ? "64" : "32") + "-Bit-Programm.\n";
  }
  if (library.loadError != 0) {
    return name + "kann nicht geladen werden (Fehler " + std::to_string(library.loadError) + ").\n";
  }
  if (!library.missingFunction.empty()) {
    return name + "gefunden, aber ohne die Funktion " + library.missingFunction + " (keine InpOut-Bibliothek?).\n";
  }
  return name +
         "gefunden, aber ihr Treiber ist nicht geöffnet\n(das Programm einmal als Administrator starten,\n"
         "dann richtet sie ihn ein).\n";
}

std::string WhatToInstall(bool windows64, const std::string& file) {
  std::string text = "Nötig ist ";
  if (!windows64) text += "'giveio.sys' im Arbeitsordner oder ";
  return text + "die Portbibliothek InpOut ('" + file +
         "', www.highrez.co.uk)\nneben dem Programm oder im Arbeitsordner; beim ersten Start\n"
         "als Administrator starten, damit der Treiber eingerichtet wird.\n";
}

}  // namespace

WindowsAccessResult SetupWindowsPortAccess(WindowsPlatform& platform, bool debugNT, Feedback& feedback) {
  WindowsAccessResult out;
  auto debug = [&](const std::string& text) {
    if (debugNT) feedback.ShowPlainMessage(text);
  };
  auto refuse = [&](const std::string& text) {
    feedback.ShowPlainMessage(text + kPortDemoNote);
    out.DemoMode = 1;
    out.result = kNoPortAccess;
  };
  // Without a known system there is no telling whether the in and out
  // instructions are allowed; on the NT family they would end the process.
  OsVersion version;
  if (!platform.GetVersion(version)) {
    refuse("Windows-Version nicht lesbar !\n");
    return out;
  }
  out.os = IdentifyOperatingSystem(version);

  // The platform decides, even for a version the table does not know: a
  // newer NT still needs the driver.
  if (version.platform == 2) {
    const bool windows64 = platform.IsWindows64();
    bool noManager = false;
    // giveio is a 32-bit driver: 64-bit Windows never loads it.
    std::string giveio = windows64 ? std::string("'giveio.sys': lädt unter 64-Bit-Windows nicht.\n")
                                   : SetupGiveio(platform, out.os.OsCode, debug, noManager);
    if (!giveio.empty()) {
      const bool process64 = platform.IsProcess64();
      const std::string file = PortLibraryFile(process64);
      PortLibrary library = platform.OpenPortLibrary(file);
      if (library.io && library.driverOpen) {
        debug("'" + file + "' loaded, its driver is open !");
        out.library = std::move(library.io);
        out.libraryFile = file;
      } else {
        refuse(kNoPortAccessTitle + giveio + LibraryReport(file, library, process64) + "\n" +
               WhatToInstall(windows64, file));
        // Without the service manager the setup ends here, the name unshown.
        if (noManager) return out;
      }
    }
  } else if (version.platform != 1) {
    refuse("Operating System nicht erkannt !\n");
    out.os = OsIdentity{};
  }
  if (debugNT) feedback.ShowPlainMessage(out.os.OsName);
  return out;
}

void RaiseWindowsPriority(WindowsPlatform& platform, int osCode) {
  if (osCode >= 4 && osCode <= 8) {
    platform.SetPriority(kHighPriorityClass, kThreadPriorityHighest);
  } else {
    platform.SetPriority(kRealtimePriorityClass, kThreadPriorityTimeCritical);
  }
}

void RestoreWindowsPriority(WindowsPlatform& platform) { platform.SetPriority(kNormalPriorityClass, kThreadPriorityNormal); }

}  // namespace tav
