// SPDX-License-Identifier: GPL-2.0-or-later
// Port access by the processor's own in and out instructions, after the
// kernel has granted the three port addresses with ioperm(). That needs
// root or CAP_SYS_RAWIO and works only on x86; it is the fall-back when no
// ppdev device serves the configured address.
#pragma once

#include <cstdint>

#include "link/port_io.h"

namespace tav {

// Signature of ioperm(2); injectable so that a refusal can be tested
// without touching real ports.
using IopermFunction = int (*)(unsigned long from, unsigned long count, int turnOn);

class DirectPort : public PortIo {
public:
  // `ioperm` nullptr means the system call.
  explicit DirectPort(uint16_t base, IopermFunction ioperm = nullptr);
  ~DirectPort() override;
  DirectPort(const DirectPort&) = delete;
  DirectPort& operator=(const DirectPort&) = delete;

  // Asks for base .. base + 2. 0 on success, else the errno (EPERM without
  // the right, ENOSYS where the platform has no port instructions).
  int Open();

  // Addresses outside the granted three are ignored (In gives 0xFF): an
  // in or out instruction there would kill the process.
  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override;

private:
  bool Granted(uint16_t address) const { return granted_ && address >= base_ && address - base_ < 3; }

  uint16_t base_;
  IopermFunction ioperm_;
  bool granted_ = false;
};

}  // namespace tav
