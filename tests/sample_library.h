// SPDX-License-Identifier: GPL-2.0-or-later
// The devices of the sample library in data/, for tests that run every
// device or a named one through the simulator.
#pragma once

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "library/device_library.h"
#include "settings/settings.h"
#include "tests/support/scripted_feedback.h"

namespace tav::test {

// The devices of the sample library, loaded as the application loads them:
// each shown manufacturer's devices by position, until a position is empty.
inline std::vector<DeviceRecord> SampleLibraryDevices() {
  Settings settings;
  settings.SettingsFilePath = TAVROLITH_SOURCE_DIR "/data/QUENVALD.INI";  // the library lies beside it
  DeviceRecord device;
  ScriptedFeedback feedback(settings.MessageBeap);
  DeviceLibrary library(settings, device, feedback);
  std::vector<DeviceRecord> devices;
  for (settings.ManufIndex = 0;; ++settings.ManufIndex) {
    for (settings.DeviceIndex = 0; library.LoadSelectedDevice() == kSuccess; ++settings.DeviceIndex) {
      devices.push_back(device);
    }
    if (settings.DeviceIndex == 0) return devices;
  }
}

inline DeviceRecord LibraryDevice(const std::string& name) {
  for (const auto& d : SampleLibraryDevices()) {
    if (d.DeviceName == name) return d;
  }
  ADD_FAILURE() << name << " not in the sample library";
  return DeviceRecord{};
}

}  // namespace tav::test
