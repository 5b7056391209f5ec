// SPDX-License-Identifier: GPL-2.0-or-later
// One application's worth of state around a board, fresh for every test: the
// settings, device, image, feedback, link and operation context that the
// application owns. SimRig puts the simulated board there with a simulated
// chip of the device in its socket.
#pragma once

#include <gtest/gtest.h>

#include "files/program_image.h"
#include "link/programmer_link.h"
#include "operations/operations.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"
#include "tests/support/scripted_feedback.h"

namespace tav::test {

template <class Board>
struct BoardRig {
  explicit BoardRig(const DeviceRecord& d) : device(d) { settings.MessageBeap = 0; }

  // The image holds exactly `bytes` from address 0 on.
  void LoadImage(const std::vector<uint8_t>& bytes) {
    image.PrepareForLoad();
    image.HighestAddress = 0;
    for (uint32_t a = 0; a < bytes.size(); ++a) image.Store(a, bytes[a]);
  }

  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{settings.MessageBeap};
  Board board;
  ProgrammerLink link{board, settings, device, feedback};
  OperationContext ctx{link, device, image, settings, feedback};
};

struct SimRig : BoardRig<sim::SimBoard> {
  explicit SimRig(const DeviceRecord& d, const sim::ChipFaults& faults = {})
      : BoardRig(d), chip(sim::MakeChip(device, settings.TimeBaseKorr, faults)) {
    board.InsertChip(chip);
  }

  // Runs one operation and checks what must hold after every operation: the
  // socket at rest, and at most 99 message pumps per progress loop (the
  // program sequence runs two loops, the burn and the compare).
  int Run(int (*operation)(OperationContext&)) {
    const uint64_t pumpsBefore = feedback.TotalPumps();
    const int result = operation(ctx);
    EXPECT_TRUE(board.SocketAtRest());
    EXPECT_LE(feedback.TotalPumps() - pumpsBefore, (operation == RunProgramSequence ? 2u : 1u) * 99u);
    return result;
  }

  // No electrical rule broken, nothing the chip complained about, no damage.
  void ExpectNoElectricalFault() const {
    for (const auto& v : board.Violations()) ADD_FAILURE() << "write " << v.writeIndex << ": " << v.rule;
    for (const auto& c : chip->Complaints()) ADD_FAILURE() << "chip: " << c;
    EXPECT_FALSE(chip->Damaged());
  }

  std::shared_ptr<sim::SimulatedChip> chip;
};

}  // namespace tav::test
