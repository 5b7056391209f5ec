// SPDX-License-Identifier: GPL-2.0-or-later
// The only door to the hardware: byte output and input at 16-bit I/O port
// addresses. The programmer uses three consecutive addresses of a parallel
// port: base (data, written), base + 1 (status, read), base + 2 (control,
// written). Backends: direct I/O (ioperm), ppdev, Windows, and the simulator.
#pragma once

#include <cstdint>

namespace tav {

class PortIo {
public:
  virtual ~PortIo() = default;
  virtual void Out(uint16_t address, uint8_t value) = 0;
  virtual uint8_t In(uint16_t address) = 0;
};

}  // namespace tav
