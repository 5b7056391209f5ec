// One run of the command line: the settings, the device library and the
// current device, the program image, the board (real or simulated) and the
// link to it, owned here and handed to the core by reference.
#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/cli/cli.h"
#include "app/cli/cli_feedback.h"
#include "app/cli/cli_options.h"
#include "app/cli/tracing_port.h"
#include "files/program_image.h"
#include "library/device_library.h"
#include "library/device_record.h"
#include "link/port_access.h"
#include "link/programmer_link.h"
#include "operations/command_frame.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace tav {

class CliSession {
public:
  CliSession(const CliOptions& options, std::FILE* out, std::FILE* err, const CliEnvironment& environment);
  int Run();

private:
  // Setup (cli_session.cpp).
  void ApplySettingOptions();
  int SelectDevice();
  int OpenHardware();
  int SearchBoard();
  int CloseHardware(int status);
  void UseProgramFile(const std::string& path);
  std::string WorkingDirectory() const;

  // Commands on the board (cli_device_commands.cpp).
  int CommandDetect();
  int CommandCalibrate();
  int CommandOperation(Command command);

  // Commands on files and the library (cli_file_commands.cpp).
  int CommandDevices();
  int CommandInfo();
  int CommandConvert();

  const CliOptions& options_;
  std::FILE* out_;
  std::FILE* err_;
  const CliEnvironment& environment_;

  Settings settings_;
  DeviceRecord device_;
  ProgramImage image_;
  CliFeedback feedback_;
  DeviceLibrary library_;

  // The board.
  PortAccess access_;
  std::unique_ptr<PortIo> inertPort_;
  std::unique_ptr<sim::SimBoard> board_;
  std::shared_ptr<sim::SimulatedChip> chip_;
  bool chipStateUsable_ = false;
  std::ofstream traceFile_;
  std::unique_ptr<TracingPort> tracer_;
  std::unique_ptr<ProgrammerLink> link_;
  int demoMode_ = 0;
  int detectResult_ = 0;
};

}  // namespace tav
