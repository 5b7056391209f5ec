// SPDX-License-Identifier: GPL-2.0-or-later
// A chip that only watches: it records every set of pins the board shows it
// and never drives the data lines. Tests use it to see what a sequence did
// to the socket, write by write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/socket_chip.h"

namespace tav::sim {

class PinRecorderChip : public SocketChip {
public:
  struct Sample {
    SocketPins pins;
    uint64_t nowNs = 0;
  };

  explicit PinRecorderChip(uint8_t package = 40, bool edgeVariant = false, uint32_t maxVppMillivolts = 21000)
      : package_(package), edgeVariant_(edgeVariant), maxVpp_(maxVppMillivolts) {}

  void OnPins(const SocketPins& pins, uint64_t nowNs) override;
  std::optional<uint8_t> DrivenData(const SocketPins& pins, uint64_t nowNs) override;
  uint8_t Package() const override { return package_; }
  bool EdgeVariant() const override { return edgeVariant_; }
  uint32_t MaxVppMillivolts() const override { return maxVpp_; }
  std::string Name() const override;

  const std::vector<Sample>& Samples() const { return samples_; }
  void Clear() { samples_.clear(); }

private:
  uint8_t package_;
  bool edgeVariant_;
  uint32_t maxVpp_;
  std::vector<Sample> samples_;
};

}  // namespace tav::sim
