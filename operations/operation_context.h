// SPDX-License-Identifier: GPL-2.0-or-later
// Everything a device operation works on: the link to the board, the current
// device, the program image, the settings and the user. One instance of each
// is owned by the application and passed by reference.
#pragma once

namespace tav {

class ProgrammerLink;
struct DeviceRecord;
struct ProgramImage;
struct Settings;
class Feedback;

struct OperationContext {
  ProgrammerLink& link;
  DeviceRecord& device;
  ProgramImage& image;
  Settings& settings;
  Feedback& feedback;
  // Programming errors answered with Retry (go on) in the last burn: the
  // program sequence must not call such a run free of errors.
  uint32_t passedOverErrors = 0;
};

}  // namespace tav
