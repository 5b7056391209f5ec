// SPDX-License-Identifier: GPL-2.0-or-later
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

protected:
  // The marker file at `path` itself.
  struct AtPath {};
  LockFileBusyMarker(AtPath, const std::string& path) : path_(path) {}

  int fd_ = -1;             // >= 0 while held
  void* handle_ = nullptr;  // the open file on Windows

private:
  std::string path_;
};

// The folder every user and every copy of the program on this machine
// reaches: /run/lock where it exists, else the temporary folder; on Windows
// ProgramData.
std::string MachineBusyDirectory();

// The one marker of this machine, shared by the command line and the window
// wherever they were started: two copies started in different folders must
// not drive the same port at once. A lock on "tavrolith-busy.lock" in
// MachineBusyDirectory(), created writable for every user. The lock, not the
// file, is the marker: it goes with the process that held it, also after a
// crash, and a file left behind means nothing.
class MachineBusyMarker : public LockFileBusyMarker {
public:
  MachineBusyMarker();
  // Another folder, for tests that must not meet a real run on the machine.
  explicit MachineBusyMarker(const std::string& directory);
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
  // The format "Brennen"/"Prüfen" read the program file in; 0 = recognised
  // from its content, as the window always does.
  virtual int ProgramFileFormat() const { return 0; }
  // "Brennen"/"Prüfen" after the program file loaded, before anything else:
  // a production run puts its serial number into the image here. 0, or a
  // refusal (message shown) that ends the command before the socket prompt.
  virtual int PrepareImage() { return kSuccess; }
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
