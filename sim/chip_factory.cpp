// SPDX-License-Identifier: GPL-2.0-or-later
// MakeChip: the chip model a device record describes.
#include "sim/chip_eprom.h"
#include "sim/chip_flash.h"
#include "sim/chip_models.h"

namespace tav::sim {

std::shared_ptr<SimulatedChip> MakeChip(const DeviceRecord& device, int32_t timeBaseKorr, const ChipFaults& faults) {
  // The library marks electrically erasable parts by their erase time.
  if (device.IsFlash()) return std::make_shared<FlashChip>(device, timeBaseKorr, faults);
  return std::make_shared<EpromChip>(device, timeBaseKorr, faults);
}

}  // namespace tav::sim
