// SPDX-License-Identifier: GPL-2.0-or-later
// A production run: one program file into chip after chip, each through the
// same command frame and program sequence as a single "Brennen", each with
// its own serial number when asked, each logged. The run holds the busy
// marker from its first chip to its last, and the socket is powered only
// while a chip's operation runs, never while the user swaps chips.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "operations/serial_number.h"

namespace tav {

class Session;
class BusyMarker;
class CommandFrameHooks;

struct BatchSerial {
  uint32_t address = 0;
  SerialFormat format;
  uint64_t start = 1;  // the first number, unless the serial file holds the next one
  uint64_t step = 1;
  std::string file;    // keeps the next number across runs; empty = none
};

struct BatchOptions {
  std::optional<uint32_t> count;  // nothing: until the user ends the run
  bool stopOnError = false;       // otherwise a failed chip is logged and the run goes on
  std::optional<BatchSerial> serial;
  std::string logPath;            // empty = no log
};

// One chip's outcome.
struct BatchChip {
  uint32_t number = 0;
  std::optional<uint64_t> serial;
  uint32_t crc = 0;  // of the device's memory as burnt, serial included
  int result = 0;
  bool cancelled = false;
  double seconds = 0;
};

struct BatchSummary {
  uint32_t good = 0, failed = 0, cancelled = 0;
  std::optional<uint64_t> firstSerial, lastSerial;
  bool endedByUser = false;  // the user ended the run at a chip's prompt
  int status = 0;            // 0 only when every chip was good and the run was complete
};

// The German text of a chip's result for the log and the result line.
std::string ChipResultText(const BatchChip& chip);
// "Baustein 3: gut (Seriennummer 1002, CRC-32 1A2B3C4D)".
std::string ChipResultLine(const BatchChip& chip);
// The closing summary: chips good, failed, cancelled, and the serials used.
std::string BatchSummaryText(const BatchSummary& summary);

// Runs the production run of the current program file. Everything that
// makes the run impossible is refused before the first chip, with a message
// (serial outside the device or over program data, numbers that do not fit
// their format, a serial file or log that cannot be used). `chipDone` sees
// each chip after it was logged. Returns summary.status: 0 when every chip
// was good; else the first failed chip's result, the refusal, or
// kOperationFailed when the run was ended early or ended without a chip.
int RunBatch(Session& session, const BatchOptions& options, BusyMarker& busy, CommandFrameHooks& hooks,
             BatchSummary& summary, const std::function<void(const BatchChip&)>& chipDone = {});

}  // namespace tav
