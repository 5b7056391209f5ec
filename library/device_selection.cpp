// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/device_selection.h"

#include "library/device_library.h"
#include "base/result_codes.h"
#include "settings/settings.h"

namespace tav {

namespace {

SelectionEntry Placeholder(const char* text) {
  SelectionEntry entry;
  entry.Text = text;
  entry.Placeholder = true;
  return entry;
}

int SelectablePosition(const SelectionList& list, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < list.Entries.size() ? static_cast<int>(index) : -1;
}

}  // namespace

int FillManufacturerList(DeviceLibrary& library, SelectionList& manufacturers) {
  Settings& settings = library.LibrarySettings();
  manufacturers.Entries.clear();
  int32_t lastIndex = -1;
  if (library.OpenLibrary() == kSuccess) {
    std::string name;
    while (library.NextManufacturerName(name) == kSuccess) {
      SelectionEntry entry;
      entry.Text = name;
      manufacturers.Entries.push_back(entry);
      ++lastIndex;
    }
    if (lastIndex < settings.ManufIndex) settings.ManufIndex = 0;
    library.CloseLibrary();
  }
  if (lastIndex == -1) manufacturers.Entries.push_back(Placeholder("Keine Hersteller"));
  manufacturers.Selected = SelectablePosition(manufacturers, settings.ManufIndex);
  return lastIndex == -1 ? kEndOfList : kSuccess;
}

int FillDeviceList(DeviceLibrary& library, SelectionList& devices) {
  Settings& settings = library.LibrarySettings();
  devices.Entries.clear();
  devices.Selected = -1;
  if (library.OpenLibrary() == kSuccess) {
    // A missing manufacturer has shown its message and leaves the file at
    // its end, so the loop below ends at once.
    library.SeekManufacturer();
    int32_t activeLine = -1;
    for (;;) {
      const int result = library.NextDevice();
      if (result == kEndOfList) break;
      ++activeLine;
      if (result != kSuccess) continue;  // a line that does not parse is left out
      SelectionEntry entry;
      entry.Text = library.Device().DeviceName;
      entry.LockBitCount = library.Device().LockBitCount;
      entry.Erasable = library.Device().IsFlash();
      entry.LibraryIndex = activeLine;
      devices.Entries.push_back(entry);
    }
    library.CloseLibrary();
  }
  if (devices.Entries.empty()) {
    settings.DeviceIndex = 0;
    devices.Entries.push_back(Placeholder("Keine Bausteine"));
    devices.Selected = 0;
    return kEndOfList;
  }
  // DeviceIndex counts active lines as LoadSelectedDevice does, so that a
  // line left out of the list cannot shift the selection onto another part.
  // With a library whose lines all parse, entry position and DeviceIndex
  // are the same.
  for (size_t i = 0; i < devices.Entries.size(); ++i) {
    if (devices.Entries[i].LibraryIndex == settings.DeviceIndex) devices.Selected = static_cast<int>(i);
  }
  if (devices.Selected < 0) {
    devices.Selected = 0;
    settings.DeviceIndex = devices.Entries[0].LibraryIndex;
  }
  return kSuccess;
}

int OnManufacturerChanged(DeviceLibrary& library, int position, SelectionList& devices) {
  library.LibrarySettings().ManufIndex = position;
  return FillDeviceList(library, devices);
}

int OnDeviceChanged(DeviceLibrary& library, int position, SelectionList& devices) {
  Settings& settings = library.LibrarySettings();
  const int selected = SelectablePosition(devices, position);
  devices.Selected = selected;
  if (selected >= 0 && !devices.Entries[static_cast<size_t>(selected)].Placeholder) {
    settings.DeviceIndex = devices.Entries[static_cast<size_t>(selected)].LibraryIndex;
  } else {
    // A placeholder names no device; LoadSelectedDevice then says why.
    settings.DeviceIndex = position;
  }
  return library.LoadSelectedDevice();
}

DeviceControls UpdateDeviceControls(const SelectionList& devices, const DeviceControls& current) {
  DeviceControls controls = current;
  const int selected = SelectablePosition(devices, devices.Selected);
  if (selected < 0) {
    // No device chosen: nothing may be erased and no lock bit applies.
    return DeviceControls{};
  }
  const SelectionEntry& entry = devices.Entries[static_cast<size_t>(selected)];
  controls.EraseEnabled = entry.Erasable;
  const int count = entry.LockBitCount;
  if (count <= 3) {
    controls.Lock1Enabled = count >= 1;
    controls.Lock2Enabled = count >= 2;
    controls.Lock3Enabled = count >= 3;
  }
  return controls;
}

int DeviceListModel::StartUp() {
  devices_ = SelectionList{};  // without a manufacturer the device list stays empty
  if (FillManufacturerList(library_, manufacturers_) == kSuccess) FillDeviceList(library_, devices_);
  const int result = library_.LoadSelectedDevice();
  UpdateControls();
  return result;
}

int DeviceListModel::SelectManufacturer(int position) {
  if (SelectablePosition(manufacturers_, position) < 0) return kEndOfList;
  manufacturers_.Selected = position;
  const int result = OnManufacturerChanged(library_, position, devices_);
  UpdateControls();
  return result;
}

int DeviceListModel::SelectDevice(int position) {
  if (SelectablePosition(devices_, position) < 0) return kEndOfList;
  const int result = OnDeviceChanged(library_, position, devices_);
  UpdateControls();
  return result;
}

const DeviceControls& DeviceListModel::UpdateControls() {
  controls_ = UpdateDeviceControls(devices_, controls_);
  return controls_;
}

}  // namespace tav
