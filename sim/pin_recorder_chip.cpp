// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/pin_recorder_chip.h"

namespace tav::sim {

void PinRecorderChip::OnPins(const SocketPins& pins, uint64_t nowNs) { samples_.push_back({pins, nowNs}); }

// It never drives: the data lines stay whatever register 10 puts on them.
std::optional<uint8_t> PinRecorderChip::DrivenData(const SocketPins&, uint64_t) { return std::nullopt; }

std::string PinRecorderChip::Name() const { return "Pin-Rekorder"; }

}  // namespace tav::sim
