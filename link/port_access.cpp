// The Linux side of port access and priority; the Windows side lives in
// windows_port.cpp.
#ifndef _WIN32

#include "link/port_access.h"

#include <cerrno>
#include <cstdio>
#include <sched.h>
#include <sys/resource.h>

#include "base/feedback.h"
#include "base/result_codes.h"
#include "link/ppdev_port.h"
#include "settings/settings.h"

namespace tav {

namespace {

std::string Hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", unsigned(value));
  return text;
}

constexpr const char* kWhatIsMissing =
    "Nötig ist eines von beiden:\n"
    " - Mitgliedschaft in der Gruppe lp (Zugriff über /dev/parportN;\n"
    "   sudo usermod -aG lp BENUTZER, danach neu anmelden), oder\n"
    " - root-Rechte bzw. CAP_SYS_RAWIO (direkter Portzugriff).\n";

}  // namespace

std::string AccessErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "Zugriff verweigert";
    case ENOENT: return "Gerät existiert nicht";
    case EBUSY: return "wird von einem anderen Programm benutzt";
    case ENXIO:
    case ENODEV: return "Gerät nicht vorhanden";
    case ENOSYS: return "auf diesem System nicht möglich";
    case ENOTTY: return "keine Parallelschnittstelle";
    default: return "Fehler " + std::to_string(error);
  }
}

int SetupPortAccess(const std::string& device, const Settings& settings, Feedback& feedback, PortAccess& access,
                    const PortAccessEnvironment& environment) {
  access = PortAccess{};
  const uint16_t base = uint16_t(settings.PortAdress);
  std::string report;

  const std::string ppdev = device.empty() ? FindPpdevForBase(base, environment.procRoot, environment.devRoot) : device;
  if (!ppdev.empty()) {
    auto port = std::make_unique<PpdevPort>(base);
    const int error = port->Open(ppdev);
    if (error == 0) {
      access.description = "ppdev " + ppdev + " (" + Hex(base) + ")";
      access.io = std::move(port);
      return 0;
    }
    report += ppdev + ": " + AccessErrorText(error) + "\n";
  } else {
    report += "Kein /dev/parportN mit der Adresse " + Hex(base) + " gefunden\n(Kernelmodule parport_pc und ppdev geladen?).\n";
  }

  // A named device is a deliberate choice; do not go behind the user's back
  // to another port.
  if (device.empty()) {
    auto port = std::make_unique<DirectPort>(base, environment.ioperm);
    const int error = port->Open();
    if (error == 0) {
      access.description = "direkter Portzugriff " + Hex(base);
      access.io = std::move(port);
      return 0;
    }
    report += "Direkter Portzugriff auf " + Hex(base) + ": " + AccessErrorText(error) + "\n";
  }

  feedback.ShowPlainMessage(kNoPortAccessTitle + report + "\n" + kWhatIsMissing + kPortDemoNote);
  access.DemoMode = 1;
  return kNoPortAccess;
}

void RaisePriority() {
  // Half-way up the real-time range: above every ordinary process, below
  // the kernel's own threaded interrupts and watchdogs.
  sched_param param{};
  param.sched_priority = (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
  if (sched_setscheduler(0, SCHED_FIFO, &param) == 0) return;
  for (int nice = -20; nice < 0; ++nice) {
    if (setpriority(PRIO_PROCESS, 0, nice) == 0) return;
  }
}

void RestorePriority() {
  sched_param param{};
  param.sched_priority = 0;
  sched_setscheduler(0, SCHED_OTHER, &param);
  setpriority(PRIO_PROCESS, 0, 0);
}

}  // namespace tav

#endif  // !_WIN32
