// SPDX-License-Identifier: GPL-2.0-or-later
// Port access through the Linux parallel-port device (ppdev). The kernel
// owns the port; we claim it and ask the driver, one ioctl per byte, to
// write the data and control registers and to read the status register.
// This needs no root: membership of the group that owns /dev/parportN
// (usually lp) is enough, which is why it is preferred over direct I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/port_io.h"

namespace tav {

class PpdevPort : public PortIo {
public:
  // `base` is the address the programmer link uses for the data register;
  // base + 1 and base + 2 map to status and control. The driver does not
  // care about the number; it only tells the three registers apart.
  explicit PpdevPort(uint16_t base) : base_(base) {}
  ~PpdevPort() override;
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  // Opens and claims `device`. 0 on success, else the errno of the step
  // that failed (FailedStep() says which: "open" or "claim").
  int Open(const std::string& device);
  const char* FailedStep() const { return failedStep_; }
  const std::string& Device() const { return device_; }

  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override;

private:
  uint16_t base_;
  int fd_ = -1;
  bool claimed_ = false;
  std::string device_;
  const char* failedStep_ = "";
};

// The first number of a kernel "base-addr" entry (decimal numbers separated
// by a tab), or nothing when the text does not start with one.
std::optional<uint32_t> ParseBaseAddr(const std::string& text);

// The /dev/parportN whose base-addr entry under `procRoot` (normally
// /proc/sys/dev/parport) names `base` and whose device file exists under
// `devRoot`; empty when there is none. Unreadable or meaningless entries
// count as no match.
std::string FindPpdevForBase(uint16_t base, const std::string& procRoot = "/proc/sys/dev/parport",
                             const std::string& devRoot = "/dev");

}  // namespace tav
