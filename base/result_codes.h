// Result codes of the hardware layer and the device operations (0 = success).
// Some numbers are reused by operations with a meaning of their own; the
// names here say which use is meant.
#pragma once

namespace tav {

inline constexpr int kSuccess = 0;
inline constexpr int kFileFailed = 3;          // program file could not be loaded
inline constexpr int kNotBlank = 4;            // blank check: non-blank cells, all answered Retry
inline constexpr int kReadFailed = 4;          // read device / file writers: failed or cancelled
inline constexpr int kBlankCheckCancelled = 5; // blank check: cancelled or signature mismatch
inline constexpr int kVerifyFailed = 6;        // verify: a cell differed or cancelled
inline constexpr int kOperationFailed = 7;     // erase/program/verify: refused, cancelled or failed
inline constexpr int kNoPortAccess = 7;        // SetupPortAccess: no port access (Windows: no service manager)
inline constexpr int kLatchTestFailed = 8;     // DetectProgrammer: registers 12/14 or latch test
inline constexpr int kTimerFailed = 9;         // a register write failed inside a timed pulse
inline constexpr int kHandshakeTimeout = 10;   // WriteRegister / DetectProgrammer
inline constexpr int kLibraryUnusable = 13;    // device library cannot be used
inline constexpr int kSignatureMismatch = 14;  // CheckSignature, erase
inline constexpr int kEndOfList = 15;          // device library: end of group or file
inline constexpr int kInvalidField = 17;       // device library: invalid field value
inline constexpr int kLockWithoutEffect = 22;  // lock bits read back unprotected

}  // namespace tav
