// SPDX-License-Identifier: GPL-2.0-or-later
#include "link/tracing_port.h"

#include <cstdio>

namespace tav {

void TracingPort::Out(uint16_t address, uint8_t value) {
  inner_.Out(address, value);
  if (address == base_) {
    data_ = value;
    return;
  }
  if (address != base_ + 2) return;
  // A write is the register number with the strobe clear followed by the
  // same number with the strobe set. Detection sets the strobe without a
  // preceding number; that is no register write and stays out.
  const bool strobeGiven = (value & 1) != 0 && lastControl_ >= 0 && (lastControl_ & 1) == 0 &&
                           (lastControl_ & 0x0E) == (value & 0x0E);
  lastControl_ = value;
  if (!strobeGiven) return;
  char line[8];
  std::snprintf(line, sizeof line, "%02X %02X\n", unsigned(value & 0x0E), unsigned(data_));
  sink_ << line;
}

}  // namespace tav
