// SPDX-License-Identifier: GPL-2.0-or-later
#include "link/windows_access.h"

#include "base/feedback.h"
#include "base/result_codes.h"

namespace tav {

namespace {

constexpr const char* kNoServiceManager =
    "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern installiert "
    "werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach "
    "ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n";

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

WindowsAccessResult SetupWindowsPortAccess(WindowsPlatform& platform, bool debugNT, Feedback& feedback) {
  WindowsAccessResult out;
  OsVersion version;
  if (!platform.GetVersion(version)) return out;
  out.os = IdentifyOperatingSystem(version);
  auto debug = [&](const char* text) {
    if (debugNT) feedback.ShowPlainMessage(text);
  };

  // The platform decides, even for a version the table does not know: a
  // newer NT still needs the driver.
  if (version.platform == 2 && !platform.OpenDevice(kGiveioDevice)) {
    if (!platform.OpenServiceManager()) {
      feedback.ShowPlainMessage(kNoServiceManager);
      out.DemoMode = 1;
      out.result = kNoPortAccess;
      return out;
    }
    const std::string service = ServiceName();
    const uint32_t startType = out.os.OsCode >= 7 ? kServiceSystemStart : kServiceAutoStart;
    const int created = platform.CreateDriverService(service, service, startType, DriverPath(platform.WorkingDirectory()));
    // Any other failure, an existing service above all, is the normal case
    // of a later start and needs no word.
    if (created == 0) debug("'giveio.sys' Driver installed !");
    if (created == kErrorServiceNotActive) debug("Driver installed but not started !\nWe will try to do this now.");

    const int started = platform.StartDriverService(service);
    if (started == kErrorServiceAlreadyRunning) debug("'giveio.sys' Driver already started !");
    if (started == kErrorServiceNotActive) debug("'giveio.sys' Driver has not been started !");
    if (started == 0) debug("'giveio.sys' Driver started !");

    if (!platform.OpenDevice(kGiveioDevice)) {
      feedback.ShowPlainMessage("'giveio.sys' Devicetreiber konnte nicht geladen werden\n");
      out.DemoMode = 1;
    }
  } else if (version.platform != 1 && version.platform != 2) {
    feedback.ShowPlainMessage("Operating System nicht erkannt !");
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
