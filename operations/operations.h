// SPDX-License-Identifier: GPL-2.0-or-later
// The device operations. Each runs inside the shared operation frame (outputs
// to rest, socket prompt, power-up, optional signature check, its own work,
// power-down) and reports its own results to the user; the return value is
// the result code (0 = success).
#pragma once

#include <cstdint>
#include <string>

#include "operations/operation_context.h"

namespace tav {

int SocketPrompt(OperationContext& ctx, const std::string& text);
int CheckSignature(OperationContext& ctx);

int BlankCheck(OperationContext& ctx);
int EraseDevice(OperationContext& ctx);
int EraseCycle(OperationContext& ctx);
int EraseCycleVcc65(OperationContext& ctx);
// EraseCycleVcc65 with VccProgCode raised to 6.5 V for its length and put
// back afterwards, whatever the result.
int EraseCycleAtVcc65(OperationContext& ctx);
int ReadDevice(OperationContext& ctx);
int ReadAllBytes(OperationContext& ctx);
int ProgramDevice(OperationContext& ctx);
int BurnEprom40(OperationContext& ctx);
int BurnEprom20(OperationContext& ctx);
int BurnFlash(OperationContext& ctx);
int VerifyDevice(OperationContext& ctx);
int CompareWithImage(OperationContext& ctx);
int ProgramLockBits(OperationContext& ctx);
int LockBitFlash(OperationContext& ctx, uint8_t modeCode);
int LockBitsByData(OperationContext& ctx);
int LockBitEprom(OperationContext& ctx, uint8_t modeCode);

// The program sequence of the "Brennen" command: ProgramDevice, the optional
// CompareWithImage, the optional lock bits, "Keine Fehler beim Prüfen", and
// PowerDown on every path. Both front ends call this.
int RunProgramSequence(OperationContext& ctx);

}  // namespace tav
