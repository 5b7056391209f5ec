// SPDX-License-Identifier: GPL-2.0-or-later
// The names of the simulated faults, as the front ends take them from their
// command lines: one parser, so that the window and the command line offer
// the same faults under the same names.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {

// One --chip-fault or --board-fault entry; false for an unknown one.
bool ApplyChipFault(const std::string& text, sim::ChipFaults& faults);
bool ApplyBoardFault(const std::string& text, sim::BoardFaults& faults);

// Every --chip-fault entry of a command line: "F" for every chip, "F@N" for
// chip N of a production run only (N from 1), which also has the faults of
// every chip. Returns the first unknown entry, or "" when all were known.
std::string ApplyChipFaults(const std::vector<std::string>& texts, sim::ChipFaults& every,
                            std::map<uint32_t, sim::ChipFaults>& byChip);

}  // namespace tav
