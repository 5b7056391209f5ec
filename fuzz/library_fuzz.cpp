// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzzes the device library: arbitrary bytes as one device line, then the
// same bytes as a whole library file walked by the list functions and
// LoadSelectedDevice. Any accepted device must hold values in range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "tests/support/scripted_feedback.h"
#include "library/device_library.h"
#include "library/device_selection.h"
#include "library/library_text.h"
#include "settings/settings.h"

namespace {

void CheckAccepted(const tav::DeviceRecord& device) {
  const bool sane = (device.Package == 20 || device.Package == 40) &&
                    device.SizeBytes >= 1 && device.SizeBytes <= 65536 && device.LockBitCount <= 3 &&
                    tav::IsValidUtf8(device.DeviceName);
  if (!sane) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  int beep = 0;
  tav::Settings settings;
  tav::DeviceRecord device;
  tav::ScriptedFeedback feedback(beep);
  tav::DeviceLibrary library(settings, device, feedback);
  const tav::fuzz::ScratchDirectory scratch;
  settings.SettingsFilePath = scratch.Path() + "QUENVALD.INI";
  settings.TimeBaseKorr = size > 0 ? 1 + data[0] % 100 : 85;

  if (library.ParseDeviceLine(bytes) == 0) CheckAccepted(device);

  std::FILE* file = std::fopen(library.LibraryFilePath().c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);

  tav::SelectionList manufacturers, devices;
  tav::FillManufacturerList(library, manufacturers);
  for (const tav::SelectionEntry& entry : manufacturers.Entries) {
    if (!tav::IsValidUtf8(entry.Text)) __builtin_trap();
  }
  settings.ManufIndex = size > 1 ? data[1] % 4 : 0;
  settings.DeviceIndex = size > 2 ? data[2] % 8 : 0;
  tav::FillDeviceList(library, devices);
  if (devices.Entries.empty()) __builtin_trap();
  if (library.LoadSelectedDevice() == 0) CheckAccepted(device);
  return 0;
}
