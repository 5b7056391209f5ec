// Obtaining access to the parallel port before the board is searched for,
// and the priority raise around every device operation (the pulse timing
// counts register writes, so the process must not be pushed aside).
//
// Linux: ppdev when a /dev/parportN serves the configured address (or is
// named), else direct I/O by ioperm, else a German message saying what is
// missing and demonstration mode. Windows: the giveio driver, installed as a
// kernel service when its device cannot be opened (windows_access.h holds
// that logic, windows_port.cpp the system calls); `device` and `environment`
// are not used there.
#pragma once

#include <memory>
#include <string>

#include "base/result_codes.h"
#include "link/direct_port.h"
#include "link/port_io.h"

namespace tav {

class Feedback;
struct Settings;

// The opening line and the closing note of the message that ends in
// demonstration mode for want of port access, on every system.
inline constexpr const char* kNoPortAccessTitle = "Kein Zugriff auf die Parallelschnittstelle !\n\n";
inline constexpr const char* kPortDemoNote = "\nProgramm läuft im Demomodus.";

struct PortAccess {
  std::unique_ptr<PortIo> io;  // null in demonstration mode
  std::string description;     // which backend serves the port, for the user
  int DemoMode = 0;            // 1 when no access could be obtained
};

// Where the Linux lookup looks and how ioperm is called; tests point these at
// a fake tree and a refusing function.
struct PortAccessEnvironment {
  std::string procRoot = "/proc/sys/dev/parport";
  std::string devRoot = "/dev";
  IopermFunction ioperm = nullptr;  // nullptr: the system call
};

// Sets up `access` for settings.PortAdress, or for the ppdev `device` when
// one is named. Returns 0, or kNoPortAccess when no access could be obtained; then the
// message has been shown (ShowPlainMessage) and access.DemoMode is 1.
int SetupPortAccess(const std::string& device, const Settings& settings, Feedback& feedback, PortAccess& access,
                    const PortAccessEnvironment& environment = {});

// Best effort; results are not examined. Linux: real-time scheduling when
// permitted, else the highest niceness allowed. Windows: the priority
// classes of RaiseWindowsPriority. RestorePriority always returns to normal.
void RaisePriority();
void RestorePriority();

// The German text for a failed open or ioperm, used in the access message.
std::string AccessErrorText(int error);

}  // namespace tav
