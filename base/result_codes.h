// SPDX-License-Identifier: GPL-2.0-or-later
// Every result code of the program (0 = success), with its meaning. Some
// numbers are reused by different steps with a meaning of their own; the
// names say which use is meant. Callers test only for success or for the
// named code they handle, never for a bare number.
#pragma once

namespace tav {

inline constexpr int kSuccess = 0;
inline constexpr int kDemoModeRefused = 1;     // command frame: the program runs in demonstration mode
inline constexpr int kUsageError = 2;          // command line: the arguments could not be used
inline constexpr int kFileFailed = 3;          // program file could not be loaded (message shown)
inline constexpr int kDialogCancelled = 3;     // command frame: a file dialog of the preparation was cancelled
inline constexpr int kNotBlank = 4;            // blank check: non-blank cells, all answered Retry
inline constexpr int kReadFailed = 4;          // read device: failed or cancelled
inline constexpr int kWriteFailed = 4;         // program file writers: refused or a write failed (message shown)
inline constexpr int kBlankCheckCancelled = 5; // blank check: cancelled or signature mismatch
inline constexpr int kVerifyFailed = 6;        // verify: a cell differed or cancelled
inline constexpr int kOperationFailed = 7;     // erase/program/verify: refused, cancelled or failed
inline constexpr int kNoPortAccess = 7;        // port access setup: no access, demonstration mode follows
inline constexpr int kBusy = 7;                // command frame: another command is running
inline constexpr int kLatchTestFailed = 8;     // DetectProgrammer: registers 12/14 or latch test
inline constexpr int kTimerFailed = 9;         // a register write failed inside a timed pulse
inline constexpr int kHandshakeTimeout = 10;   // WriteRegister / DetectProgrammer
inline constexpr int kLibraryUnusable = 13;    // device library cannot be used
inline constexpr int kSignatureMismatch = 14;  // CheckSignature, erase
inline constexpr int kEndOfList = 15;          // device library: end of group or file
inline constexpr int kInvalidField = 17;       // device library: invalid field value
inline constexpr int kLockWithoutEffect = 22;  // lock bits read back unprotected
inline constexpr int kSimulatedRuleBroken = 23; // simulator: an electrical rule broken or the chip harmed
inline constexpr int kBatchRefused = 24;       // production run: serial numbers, serial file or log unusable

}  // namespace tav
