// SPDX-License-Identifier: GPL-2.0-or-later
// The steps every device operation shares: the socket prompt, the opening of
// the frame (outputs to rest, prompt, cancel button, status line, power-up,
// signature check) and small helpers for the burning and reading loops.
// Each operation adds only its own work and its own closing message.
#pragma once

#include <cstdint>
#include <string>

#include "operations/operation_context.h"

namespace tav {

// printf-style formatting for the message texts, so that "%lu (0x%lX)" and
// friends render exactly as the texts are written.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// How one operation opens the frame.
struct FrameOpening {
  std::string promptText;         // the operation's text behind the title line
  const char* status = nullptr;   // status line text; nullptr leaves it (and skips the repaint)
  bool enableCancel = true;       // the erase cannot be cancelled once it runs
};

enum class FrameStart {
  Ready,              // powered up, signature (if checked) matched
  PromptCancelled,    // nothing was powered
  SignatureMismatch,  // the report was shown and the socket is powered down again
  BoardLost,          // the board stopped answering; powered down as far as it still takes it
};

// Outputs to rest, socket prompt, cancel button, status line, power-up and,
// with the ID check on, the signature check.
FrameStart OpenFrame(OperationContext& ctx, const FrameOpening& opening);

// The extra high address bits of the erase, program and lock-bit paths.
uint8_t ProgramAddressBits(const DeviceRecord& device);

// The last image address a burning or comparing loop may touch: the file
// loader keeps HighestAddress inside the device, but the loops must never
// index past the image even when handed an image that was not loaded.
uint32_t LastImageAddress(const ProgramImage& image);

// Moves a reading loop on to address `next`: one counter step for 20-pin
// parts, the address registers (without extra bits) for all others.
void StepReadAddress(OperationContext& ctx, uint32_t next);

// Shows the hardware-timer failure of a timed pulse.
void ShowTimerFailure(OperationContext& ctx);

// `count` programming pulses of ProgPulseTime each (strobe low, pulse train,
// strobe high) as the EPROM parts take them for a byte or a lock bit. A
// failed pulse train raises the strobe, powers the socket down, shows the
// hardware-timer message and returns kTimerFailed.
int EpromPulses(OperationContext& ctx, uint32_t count);

}  // namespace tav
