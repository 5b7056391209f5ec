// SPDX-License-Identifier: GPL-2.0-or-later
// The manufacturer and device lists of the main window, without a toolkit.
// The functions fill and change SelectionLists one step at a time (the
// command line uses them directly); DeviceListModel holds both lists and the
// controls that follow the selected device, for a window to bind its
// drop-down lists, erase button and lock boxes to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav {

class DeviceLibrary;

struct SelectionEntry {
  std::string Text;
  uint8_t LockBitCount = 0;  // the device list's entry data; 0 for placeholders
  bool Erasable = false;     // EraseTime of the device was not 0
  // Number of the device's active line within its manufacturer's group, the
  // number LoadSelectedDevice counts with DeviceIndex; -1 for placeholders.
  int32_t LibraryIndex = -1;
  bool Placeholder = false;
};

struct SelectionList {
  std::vector<SelectionEntry> Entries;
  int Selected = -1;  // position of the selected entry, -1 = none
};

struct DeviceControls {
  bool EraseEnabled = false;
  bool Lock1Enabled = false;
  bool Lock2Enabled = false;
  bool Lock3Enabled = false;
};

// Lists the active manufacturers; corrects ManufIndex when it lies beyond the
// list. Returns 0, or 15 when no manufacturer was listed ("Keine Hersteller").
int FillManufacturerList(DeviceLibrary& library, SelectionList& manufacturers);

// Lists the parsable devices of manufacturer ManufIndex, selecting the one
// DeviceIndex names (the first when it names none, DeviceIndex corrected).
// Returns 0, or 15 when no device was listed ("Keine Bausteine").
int FillDeviceList(DeviceLibrary& library, SelectionList& devices);

// The manufacturer list's selection changed to `position`.
int OnManufacturerChanged(DeviceLibrary& library, int position, SelectionList& devices);

// The device list's selection changed to `position`: DeviceIndex follows and
// the device is loaded; returns the result of LoadSelectedDevice.
int OnDeviceChanged(DeviceLibrary& library, int position, SelectionList& devices);

// Enabled states for the erase button and the lock boxes of the selected
// device. A lock-bit count outside 0..3 keeps the lock boxes of `current`.
DeviceControls UpdateDeviceControls(const SelectionList& devices, const DeviceControls& current);

class DeviceListModel {
public:
  explicit DeviceListModel(DeviceLibrary& library) : library_(library) {}

  // The window's start-up: the manufacturer list; the device list only when
  // a manufacturer was listed; then the selected device is loaded whatever
  // the lists held. Returns the result of LoadSelectedDevice.
  int StartUp();

  // A new selection in either list (positions counted from 0). Returns the
  // result of FillDeviceList or LoadSelectedDevice; a position outside the
  // list changes nothing and gives 15.
  int SelectManufacturer(int position);
  int SelectDevice(int position);

  // The controls follow the selected device again; the window calls this
  // when it enables its controls after a command.
  const DeviceControls& UpdateControls();

  const SelectionList& Manufacturers() const { return manufacturers_; }
  const SelectionList& Devices() const { return devices_; }
  const DeviceControls& Controls() const { return controls_; }

private:
  DeviceLibrary& library_;
  SelectionList manufacturers_;
  SelectionList devices_;
  DeviceControls controls_;
};

}  // namespace tav
