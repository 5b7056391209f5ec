// SPDX-License-Identifier: GPL-2.0-or-later
// The device library "8789LIST.CSV": manufacturer headers and 23-field device
// lines, read in one pass per use. DeviceLibrary walks the file and parses
// the selected line into the one current DeviceRecord.
#pragma once

#include <cstdio>
#include <string>

#include "library/device_record.h"

namespace tav {

class Feedback;
struct Settings;

class DeviceLibrary {
public:
  DeviceLibrary(Settings& settings, DeviceRecord& device, Feedback& feedback);
  ~DeviceLibrary();
  DeviceLibrary(const DeviceLibrary&) = delete;
  DeviceLibrary& operator=(const DeviceLibrary&) = delete;

  // All return 0 on success; 13 = library unusable, 15 = end of group or
  // file, 17 = a field held an invalid value (message shown).
  int OpenLibrary();
  void CloseLibrary();
  int SeekManufacturer();
  int NextManufacturerName(std::string& name);
  int NextDevice();
  // `line` is the line as read, with its '\n'.
  int ParseDeviceLine(const std::string& line);
  int LoadSelectedDevice();

  // The path set by SetLibraryPath; without one, the directory of
  // settings.SettingsFilePath + "8789LIST.CSV".
  std::string LibraryFilePath() const;
  // The front end's lookup may find the library elsewhere (a sample library
  // installed with the program). Empty = next to the settings again.
  void SetLibraryPath(const std::string& path) { libraryPath_ = path; }

  Settings& LibrarySettings() { return settings_; }
  const DeviceRecord& Device() const { return device_; }

private:
  std::string libraryPath_;
  // Reads one line; false at the end of the file or when nothing is open.
  bool ReadLine(std::string& line);
  int Refuse(const std::string& text);

  Settings& settings_;
  DeviceRecord& device_;
  Feedback& feedback_;
  std::FILE* file_ = nullptr;
};

}  // namespace tav
