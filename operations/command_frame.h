// The frame every programmer command runs in, for any front end: the
// demonstration and busy checks, the busy marker, loading the selected
// device (and for program and verify the program file), the priority raise
// around the operation, and the closing that puts the cancel state and the
// status line back to idle. The front end supplies its dialogs and control
// states through CommandFrameHooks and its marker through BusyMarker.
#pragma once

#include <string>

#include "base/result_codes.h"
#include "operations/operation_context.h"

namespace tav {

class DeviceLibrary;

enum class Command { BlankCheck, Read, Program, Verify, Erase };

inline constexpr const char* kDemoMessage = "Keine Aktionen des Brenners möglich !\n\nProgramm läuft im Demomodus.";
inline constexpr const char* kIdleStatus = "Warte auf Eingaben";

// The marker whose existence means that a command runs, visible to other
// copies of the program.
class BusyMarker {
public:
  virtual ~BusyMarker() = default;
  virtual int IsBusy() = 0;   // 0, or kBusy when another holder exists
  virtual int Acquire() = 0;  // 0, or kBusy when another holder was first
  virtual void Release() = 0;
};

// A BusyMarker made of an exclusive lock on "Quenvaldokraft.lock" in a
// directory (normally the working directory, where the settings live). The
// system drops the lock when the process ends, so a crash leaves no stale
// marker; the file itself stays.
class LockFileBusyMarker : public BusyMarker {
public:
  explicit LockFileBusyMarker(const std::string& directory);
  ~LockFileBusyMarker() override;
  LockFileBusyMarker(const LockFileBusyMarker&) = delete;
  LockFileBusyMarker& operator=(const LockFileBusyMarker&) = delete;

  int IsBusy() override;
  int Acquire() override;
  void Release() override;
  const std::string& Path() const { return path_; }

private:
  std::string path_;
  int fd_ = -1;             // >= 0 while held
  void* handle_ = nullptr;  // the open file on Windows
};

// What differs between front ends.
class CommandFrameHooks {
public:
  virtual ~CommandFrameHooks() = default;
  // "Brennen"/"Prüfen" with no program file named: the file chooser. 0, or
  // kDialogCancelled.
  virtual int ChooseProgramFile() { return kDialogCancelled; }
  // "Auslesen": the save dialog, which sets DataFormat and ProgramFilePath.
  // 0, or kDialogCancelled.
  virtual int PrepareRead() { return kSuccess; }
  virtual void DisableControls() {}
  virtual void EnableControls() {}
  virtual void RaisePriority();
  virtual void RestorePriority();
};

// Runs one command. Returns the operation's result, or the result of the
// step that kept it from running (kDemoModeRefused, kBusy, kDialogCancelled,
// 13 from the device library, 3 from the program file, also when it holds
// no data). The window ignores
// the value; the command line makes it its exit status.
int RunCommand(Command command, OperationContext& ctx, DeviceLibrary& library, int demoMode, BusyMarker& busy,
               CommandFrameHooks& hooks);

// The operation of a command alone (step 7 of the frame).
int RunOperation(Command command, OperationContext& ctx);

}  // namespace tav
