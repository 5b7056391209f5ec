// SPDX-License-Identifier: GPL-2.0-or-later
#include "operations/command_frame.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <unistd.h>
#endif

#include "base/feedback.h"
#include "files/program_files.h"
#include "library/device_library.h"
#include "link/port_access.h"
#include "operations/operations.h"
#include "settings/native_path.h"
#include "settings/settings.h"

namespace tav {

namespace {

bool EndsInSeparator(const std::string& directory) {
  return !directory.empty() && (directory.back() == '/' || directory.back() == '\\');
}

}  // namespace

LockFileBusyMarker::LockFileBusyMarker(const std::string& directory) {
  path_ = directory;
  if (!path_.empty() && !EndsInSeparator(path_)) path_ += '/';
  path_ += "Quenvaldokraft.lock";
}

LockFileBusyMarker::~LockFileBusyMarker() { Release(); }

#ifdef _WIN32
// Windows: a file opened without sharing; a second open fails while the
// first handle lives, also within one process, and the system closes it when
// the process ends. Reading is enough for that, and is all another user may
// do with the machine-wide file.
int LockFileBusyMarker::Acquire() {
  if (fd_ >= 0) return kSuccess;
  HANDLE handle = CreateFileW(WidePath(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? kBusy : kSuccess;
  handle_ = handle;
  fd_ = 0;
  return kSuccess;
}
#else
namespace {

// Opens the marker file, making it when it is missing. An existing file is
// opened without O_CREAT: in a sticky folder such as /tmp, Linux refuses
// O_CREAT on another user's file (fs.protected_regular), and a lock needs no
// more than reading. A new file is made writable for everyone, whatever the
// umask, so that every user's copy can open it.
int OpenMarkerFile(const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int made = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (made >= 0) {
      fchmod(made, 0666);
      return made;
    }
    if (errno != EEXIST) return -1;  // else another copy made it just now
  }
  return -1;
}

}  // namespace

int LockFileBusyMarker::Acquire() {
  if (fd_ >= 0) return kSuccess;
  const int fd = OpenMarkerFile(path_);
  // Where no marker file can be made (a read-only directory) the command
  // still runs; what is lost there is the exclusion, not the command.
  if (fd < 0) return kSuccess;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return kBusy;
  }
  fd_ = fd;
  return kSuccess;
}
#endif

int LockFileBusyMarker::IsBusy() {
  if (fd_ >= 0) return kSuccess;
  if (Acquire() != kSuccess) return kBusy;
  Release();
  return kSuccess;
}

void LockFileBusyMarker::Release() {
  if (fd_ < 0) return;
#ifdef _WIN32
  CloseHandle(static_cast<HANDLE>(handle_));
#else
  flock(fd_, LOCK_UN);
  close(fd_);
#endif
  fd_ = -1;
  handle_ = nullptr;
}

std::string MachineBusyDirectory() {
#ifdef _WIN32
  // ProgramData is the one folder every user of the machine can create files
  // in and open other users' files for reading, which is all the marker
  // needs; the temporary folder is per user there.
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return Utf8FromWide(std::wstring(buffer, length)) + "\\";
  const DWORD temporary = GetTempPathW(MAX_PATH, buffer);
  return temporary > 0 && temporary < MAX_PATH ? Utf8FromWide(std::wstring(buffer, temporary)) : std::string();
#else
  std::error_code error;
  if (std::filesystem::is_directory("/run/lock", error) && access("/run/lock", W_OK) == 0) return "/run/lock/";
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp/") : temporary.string() + "/";
#endif
}

MachineBusyMarker::MachineBusyMarker() : MachineBusyMarker(MachineBusyDirectory()) {}

MachineBusyMarker::MachineBusyMarker(const std::string& directory)
    : LockFileBusyMarker(AtPath{}, directory + (directory.empty() || EndsInSeparator(directory) ? "" : "/") +
                                       "tavrolith-busy.lock") {}


void CommandFrameHooks::RaisePriority() { tav::RaisePriority(); }
void CommandFrameHooks::RestorePriority() { tav::RestorePriority(); }

int RunOperation(Command command, OperationContext& ctx) {
  switch (command) {
    case Command::BlankCheck: return BlankCheck(ctx);
    case Command::Read: return ReadDevice(ctx);
    case Command::Program: return RunProgramSequence(ctx);
    case Command::Verify: return VerifyDevice(ctx);
    case Command::Erase: return EraseDevice(ctx);
  }
  return kDemoModeRefused;
}

namespace {

// Step 10: the cancel button off, the flag cleared, the status line idle.
void CloseCommand(Feedback& feedback) {
  feedback.EnableCancelButton(false);
  feedback.SetCancelRequested(0);
  feedback.SetStatus(kIdleStatus);
}

// A file that loaded without a single data byte (only end records, say):
// "Brennen" would erase a flash chip for nothing and both commands would
// report success for a check that never happened.
int RefuseEmptyProgram(Command command, OperationContext& ctx) {
  ctx.feedback.ShowInfo("Die Datei\n\n" + ctx.settings.ProgramFilePath +
                        "\n\nenthält keine Programmdaten !\n\nEs gibt nichts zu " +
                        (command == Command::Program ? "brennen." : "prüfen."));
  return kFileFailed;
}

// Everything between creating and destroying the marker (steps 3 to 10).
int RunMarked(Command command, OperationContext& ctx, DeviceLibrary& library, CommandFrameHooks& hooks) {
  const bool closes = command != Command::Erase;
  auto notRun = [&](int result) {
    if (closes) CloseCommand(ctx.feedback);
    return result;
  };
  if (command == Command::Read && hooks.PrepareRead() != kSuccess) return notRun(kDialogCancelled);
  int result = library.LoadSelectedDevice();
  if (result != kSuccess) return notRun(result);
  if (command == Command::Program || command == Command::Verify) {
    result = LoadProgramFile(ctx.settings.ProgramFilePath, ctx.device.SizeBytes, ctx.settings.TestChecksum == 1,
                             ctx.image, ctx.settings.DataFormat, ctx.feedback, hooks.ProgramFileFormat());
    if (result != kSuccess) return notRun(result);
    if (ctx.image.ByteCount == 0) return notRun(RefuseEmptyProgram(command, ctx));
    result = hooks.PrepareImage();
    if (result != kSuccess) return notRun(result);
  }
  hooks.DisableControls();
  hooks.RaisePriority();
  result = RunOperation(command, ctx);
  if (ctx.notes != nullptr) ctx.notes->cancelled = ctx.feedback.CancelRequested() != 0;
  hooks.RestorePriority();
  hooks.EnableControls();
  if (closes) CloseCommand(ctx.feedback);
  return result;
}

}  // namespace

int RunCommand(Command command, OperationContext& ctx, DeviceLibrary& library, int demoMode, BusyMarker& busy,
               CommandFrameHooks& hooks) {
  if (command == Command::Program || command == Command::Verify) {
    // Busy first, then the file chooser (which opens even in demonstration
    // mode), then the demonstration check.
    if (busy.IsBusy() != kSuccess) return kBusy;
    if (ctx.settings.ProgramFileName.empty() && hooks.ChooseProgramFile() != kSuccess) {
      if (busy.Acquire() != kSuccess) return kBusy;
      CloseCommand(ctx.feedback);
      busy.Release();
      return kDialogCancelled;
    }
    if (demoMode > 0) {
      ctx.feedback.ShowInfo(kDemoMessage);
      return kDemoModeRefused;
    }
  } else {
    if (demoMode > 0) {
      ctx.feedback.ShowInfo(kDemoMessage);
      return kDemoModeRefused;
    }
    if (busy.IsBusy() != kSuccess) return kBusy;
  }
  // Taking the marker is the real test: another copy may have started
  // between the check and now.
  if (busy.Acquire() != kSuccess) return kBusy;
  const int result = RunMarked(command, ctx, library, hooks);
  busy.Release();
  return result;
}

}  // namespace tav
