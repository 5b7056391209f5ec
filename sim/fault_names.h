// SPDX-License-Identifier: GPL-2.0-or-later
// The names of the simulated faults, as the front ends take them from their
// command lines: one parser, so that the window and the command line offer
// the same faults under the same names.
#pragma once

#include <string>

#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {

// One --chip-fault or --board-fault entry; false for an unknown one.
bool ApplyChipFault(const std::string& text, sim::ChipFaults& faults);
bool ApplyBoardFault(const std::string& text, sim::BoardFaults& faults);

}  // namespace tav
