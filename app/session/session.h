// One run of the program, for every front end: the one Settings,
// DeviceRecord and ProgramImage, the device library, the port (real or
// simulated), the ProgrammerLink and DemoMode, owned here and handed to the
// core by reference. The session runs the start-up (settings, port access,
// the board search and the fall-back to demonstration mode, the selected
// device), each command inside the command frame, the calibration and the
// shutdown. The front end brings its Feedback, its dialogs (as hooks) and
// what it shows of the results; it holds no logic of its own about them.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "app/session/session_options.h"
#include "files/program_image.h"
#include "library/device_library.h"
#include "library/device_record.h"
#include "link/calibration.h"
#include "link/port_access.h"
#include "link/programmer_link.h"
#include "link/tracing_port.h"
#include "operations/command_frame.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {

// The device library a run uses: in `configDirectory` when one is named;
// else in the working directory when it holds one, as the window always did;
// else in the first of `fallbacks` that holds one. When none has it, the
// working directory's (missing) file, so that the message names the place
// where the user would put it.
std::string FindLibrary(const std::string& configDirectory, const std::vector<std::string>& fallbacks);

class Session {
public:
  // `feedback` follows this session's MessageBeap setting from now on.
  Session(Feedback& feedback, SessionOptions options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // --- Start-up and shutdown ------------------------------------------------
  // The whole start-up: LoadSettings, then StartHardware.
  int Start();
  // Loads the settings (their messages appear here) and remembers them as
  // loaded, for the command line's saving rule.
  void LoadSettings();
  // DemoMode 0, port access, the board search and the fall-back to
  // demonstration mode, the selected device. Returns 0, also in
  // demonstration mode; nonzero only when the simulator or the trace could
  // not be set up (message shown), and then no board is searched.
  int StartHardware();
  // Keeps the simulated chip and saves the settings (see alwaysSaveAtClose).
  // Returns `status`, or kFileFailed when a successful run could not keep
  // the chip.
  int Close(int status);

  // A simulated socket takes a chip of the current device (see
  // session_ports.cpp); the command frame does it before every operation,
  // a window also at start-up. 0, or kFileFailed after the message when
  // the chip-state file cannot be read (then demonstration mode).
  int FitSimulatedChip();

  // After the settings dialog: a changed port address gets its port access
  // set up again (messages as at start-up; a failure means demonstration
  // mode). The board search calls it between its attempts.
  void FollowPortAddress();

  // --- Commands ---------------------------------------------------------------
  // One programmer command inside the command frame; the front end brings
  // its marker and its dialogs and control states.
  // `notes` (optional) add a heading to the socket prompt and report it.
  int RunCommand(Command command, BusyMarker& busy, CommandFrameHooks& hooks, PromptNotes* notes = nullptr);
  // Production runs on the simulated board: a new blank chip of the device,
  // with the faults given for chip `number` (1-based), takes the socket's
  // place. On a real board the user swaps the chip: nothing happens.
  void InsertFreshChip(uint32_t number);
  // On the simulated board: shows what the last command did to the board's
  // rules and the chip, and forgets the board's broken rules. Returns
  // `status`, or kSimulatedRuleBroken for a success that harmed something.
  int CheckSimulatedHarm(int status);
  // Times the register writes of this board. Refused in demonstration mode
  // (message shown, kDemoModeRefused) and while another command runs (kBusy).
  int Calibrate(BusyMarker& busy, WriteTiming& timing);

  // --- Program files ----------------------------------------------------------
  // Makes `path` the current program file, as the file dialogs do: its full
  // path, its name for display and its directory for the next dialog. A
  // directory, or a path without a file name, is refused with the file-open
  // message (kFileFailed), and the current file stays.
  int UseProgramFile(const std::string& path);
  // Loads `path` into `image` without touching the settings, for any size up
  // to the whole image; `format` (when given) learns the recognised format.
  // 0, or 3 after the message.
  int LoadFileAlone(const std::string& path, ProgramImage& image, int32_t* format = nullptr);
  // Writes bytes 0 .. size - 1 of `image` to `path` in format `format`,
  // with this session's line length and blank-cell setting. 0, or 4 after
  // the message.
  int SaveImageAs(const std::string& path, int format, uint32_t size, const ProgramImage& image);

  // --- State --------------------------------------------------------------------
  const SessionOptions& Options() const { return options_; }
  Settings& CurrentSettings() { return settings_; }
  Feedback& UserFeedback() { return feedback_; }
  DeviceRecord& Device() { return device_; }
  ProgramImage& Image() { return image_; }
  DeviceLibrary& Library() { return library_; }
  ProgrammerLink& Link() { return *link_; }
  int DemoMode() const { return demoMode_; }
  // 0 when the board answered at start-up; else the last detection's result,
  // or kDemoModeRefused when port access failed and no search ran.
  int BoardResult() const;
  // Which backend serves the port, for the user.
  std::string BoardDescription() const;
  // Where the settings live (the working directory or the configDirectory).
  std::string WorkingDirectory() const;
  // The device library in use, found by FindLibrary at LoadSettings.
  std::string LibraryPath() const;
  // The board's time: the simulated board's own clock, else the system's.
  uint64_t NowNs() const;

private:
  // session_ports.cpp: the port the link talks to.
  int OpenPort();
  PortIo* OpenPortAccess();
  int OpenSimulator();
  int OpenTrace(PortIo*& io);
  int SaveChipState(int status);

  void SearchBoard();

  Feedback& feedback_;
  SessionOptions options_;

  Settings settings_;
  std::string settingsAsLoaded_;
  DeviceRecord device_;
  ProgramImage image_;
  DeviceLibrary library_;

  // The port: the real one, or the simulated board with its chip; an inert
  // one while neither is open, so that the link always has a port.
  std::unique_ptr<PortIo> inertPort_;
  PortAccess access_;
  std::unique_ptr<sim::SimBoard> board_;
  std::shared_ptr<sim::SimulatedChip> chip_;
  bool chipStateUsable_ = false;
  bool otherPartReported_ = false;
  const sim::SimulatedChip* harmToldFor_ = nullptr;  // whose complaints CheckSimulatedHarm has shown
  std::ofstream traceFile_;
  std::unique_ptr<TracingPort> tracer_;
  std::unique_ptr<ProgrammerLink> link_;

  // Until the start-up has looked for the board, no command may reach it.
  int demoMode_ = 1;
  int detectResult_ = 0;
  int32_t portOpenedFor_ = 0;  // the address port access was set up for
};

}  // namespace tav
