// SPDX-License-Identifier: GPL-2.0-or-later
// The board's answers: a port whose status bytes are the simulated board's
// answers with bits flipped by the fuzzer, through detection and one
// operation on a device of the library. Header bytes pick the device, the
// operation, the options and the progress step at which the user cancels
// (so every run ends soon); the rest flips status bits, one byte a read,
// until it runs out and the board answers truly again. Whatever the board
// said, the operation must end with the socket at rest, without a broken
// electrical rule.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "files/program_image.h"
#include "fuzz/fuzz_scratch.h"
#include "library/device_library.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/command_frame.h"
#include "operations/operation_context.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"
#include "tests/support/scripted_feedback.h"

namespace {

// Every device of the sample library: flash and EPROM, 20 and 40 pins.
const std::vector<tav::DeviceRecord>& LibraryDevices() {
  static const std::vector<tav::DeviceRecord> devices = [] {
    tav::Settings settings;
    settings.SettingsFilePath = TAVROLITH_SOURCE_DIR "/data/QUENVALD.INI";
    tav::DeviceRecord device;
    tav::ScriptedFeedback feedback(settings.MessageBeap);
    tav::DeviceLibrary library(settings, device, feedback);
    std::vector<tav::DeviceRecord> all;
    for (settings.ManufIndex = 0;; ++settings.ManufIndex) {
      for (settings.DeviceIndex = 0; library.LoadSelectedDevice() == tav::kSuccess; ++settings.DeviceIndex) {
        all.push_back(device);
      }
      if (settings.DeviceIndex == 0) break;
    }
    if (all.empty()) __builtin_trap();
    return all;
  }();
  return devices;
}

// The simulated board behind a port that flips the status bits it returns.
class FlippingPort : public tav::PortIo {
public:
  FlippingPort(tav::sim::SimBoard& board, const uint8_t* flips, size_t count)
      : board_(board), flips_(flips), count_(count) {}
  void Out(uint16_t address, uint8_t value) override { board_.Out(address, value); }
  uint8_t In(uint16_t address) override {
    const uint8_t flip = next_ < count_ ? flips_[next_++] : 0;
    return board_.In(address) ^ flip;
  }

private:
  tav::sim::SimBoard& board_;
  const uint8_t* flips_;
  size_t count_;
  size_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 4;
  if (size < kHeader) return 0;
  const std::vector<tav::DeviceRecord>& devices = LibraryDevices();
  tav::DeviceRecord device = devices[data[0] % devices.size()];

  tav::Settings settings;
  settings.MessageBeap = 0;
  settings.TimeOut = 4;  // a few polls: a board that does not answer is given up at once
  settings.TimeBaseKorr = 100;
  settings.Verify = data[3] & 1;
  settings.IDCheck = (data[3] >> 1) & 1;
  settings.Lock1 = (data[3] >> 2) & 1;
  settings.Lock2 = (data[3] >> 3) & 1;
  settings.Lock3 = (data[3] >> 4) & 1;

  tav::ProgramImage image;
  image.PrepareForLoad();
  for (uint32_t a = 0; a < device.SizeBytes; ++a) image.Store(a, static_cast<uint8_t>(a * 7 ^ a >> 8));

  tav::sim::SimBoard board;
  board.SetWriteDurationNs(100000);
  const std::shared_ptr<tav::sim::SimulatedChip> chip = tav::sim::MakeChip(device, settings.TimeBaseKorr, {});
  board.InsertChip(chip);
  FlippingPort port(board, data + kHeader, size - kHeader);
  tav::ScriptedFeedback feedback(settings.MessageBeap);
  feedback.CancelAtPump(1 + data[2] % 4);
  tav::ProgrammerLink link(port, settings, device, feedback);
  tav::OperationContext ctx{link, device, image, settings, feedback};

  if (link.DetectProgrammer() == tav::kSuccess) {
    // Every command; the signature check and the lock bits run inside them
    // as the IDCheck and Lock settings ask.
    tav::RunOperation(static_cast<tav::Command>(data[1] % 5), ctx);
  }
  if (!board.SocketAtRest()) tav::fuzz::Fail("socket not at rest after the operation");
  if (!board.Violations().empty()) tav::fuzz::Fail(board.Violations().front().rule.c_str());
  return 0;
}
