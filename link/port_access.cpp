// SPDX-License-Identifier: GPL-2.0-or-later
// The Linux side of port access and priority; the Windows side lives in
// windows_port.cpp.
#ifndef _WIN32

#include "link/port_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

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

constexpr const char* kPortGroup = "lp";

// Says what is missing, for this user: joining the group, logging in again
// after joining it, or (already in it) the rights of the device file.
std::string WhatIsMissing(const GroupMembership& member) {
  std::string group;
  if (!member.listed) {
    group = " - Mitgliedschaft in der Gruppe lp (Zugriff über /dev/parportN;\n"
            "   sudo usermod -aG lp " + member.user + ", danach neu anmelden), oder\n";
  } else if (!member.active) {
    group = " - Zugriff über /dev/parportN: " + member.user + " ist in der Gruppe lp, die laufende\n"
            "   Sitzung aber noch nicht; bitte abmelden und neu anmelden, oder\n";
  } else {
    group = " - Zugriff über /dev/parportN (" + member.user + " ist in der Gruppe lp;\n"
            "   gehört das Gerät der Gruppe lp?), oder\n";
  }
  return "Nötig ist eines von beiden:\n" + group + " - root-Rechte bzw. CAP_SYS_RAWIO (direkter Portzugriff).\n";
}

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

  const GroupMembershipFunction lookup =
      environment.groupMembership != nullptr ? environment.groupMembership : SystemGroupMembership;
  feedback.ShowPlainMessage(kNoPortAccessTitle + report + "\n" + WhatIsMissing(lookup(kPortGroup)) + kPortDemoNote);
  access.DemoMode = 1;
  return kNoPortAccess;
}

GroupMembership SystemGroupMembership(const char* groupName) {
  GroupMembership member;
  // getpwuid_r and getgrnam_r keep no static state, unlike their plain forms.
  std::vector<char> userText(16384);
  passwd userEntry{};
  passwd* user = nullptr;
  if (getpwuid_r(getuid(), &userEntry, userText.data(), userText.size(), &user) == 0 && user != nullptr) {
    member.user = user->pw_name;
  }
  if (member.user.empty()) {
    const char* name = std::getenv("USER");
    member.user = name != nullptr && *name != '\0' ? name : "BENUTZER";
  }
  std::vector<char> groupText(16384);
  group groupEntry{};
  group* found = nullptr;
  if (getgrnam_r(groupName, &groupEntry, groupText.data(), groupText.size(), &found) != 0 || found == nullptr) {
    return member;
  }
  const gid_t wanted = found->gr_gid;
  if (user != nullptr) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    while (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) groups.resize(size_t(count) + 64);
    groups.resize(size_t(count));
    member.listed = std::find(groups.begin(), groups.end(), wanted) != groups.end();
  }
  std::vector<gid_t> session(size_t(std::max(getgroups(0, nullptr), 0)));
  const int sessionCount = getgroups(int(session.size()), session.data());
  session.resize(size_t(std::max(sessionCount, 0)));
  member.active = getegid() == wanted || std::find(session.begin(), session.end(), wanted) != session.end();
  return member;
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
