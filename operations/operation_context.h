// SPDX-License-Identifier: GPL-2.0-or-later
// Everything a device operation works on: the link to the board, the current
// device, the program image, the settings and the user. One instance of each
// is owned by the application and passed by reference.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tav {

class ProgrammerLink;
struct DeviceRecord;
struct ProgramImage;
struct Settings;
class Feedback;

// What a caller that runs commands one after another (a production run)
// adds to the socket prompt and learns about it.
struct PromptNotes {
  std::string heading;              // shown above the socket prompt when not empty
  std::function<void()> confirmed;  // called when the prompt was answered OK, before power-up
  bool declined = false;            // the socket prompt was answered Cancel
  bool cancelled = false;           // the operation ended with CancelRequested set
};

struct OperationContext {
  ProgrammerLink& link;
  DeviceRecord& device;
  ProgramImage& image;
  Settings& settings;
  Feedback& feedback;
  // Programming errors answered with Retry (go on) in the last burn: the
  // program sequence must not call such a run free of errors.
  uint32_t passedOverErrors = 0;
  PromptNotes* notes = nullptr;
};

}  // namespace tav
