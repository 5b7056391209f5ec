// SPDX-License-Identifier: GPL-2.0-or-later
// A PortIo in front of a real port that writes the register-write trace the
// simulated board writes: one line "RR VV" (upper-case hex) per register
// write, taken at the moment the strobe is given, after the board has
// accepted the register number.
#pragma once

#include <cstdint>
#include <ostream>

#include "link/port_io.h"

namespace tav {

class TracingPort : public PortIo {
public:
  TracingPort(PortIo& inner, uint16_t base, std::ostream& sink) : inner_(inner), base_(base), sink_(sink) {}

  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override { return inner_.In(address); }

private:
  PortIo& inner_;
  uint16_t base_;
  std::ostream& sink_;
  uint8_t data_ = 0;
  int lastControl_ = -1;  // unknown until the first control write
};

}  // namespace tav
