// One run of the command line: the options turned into settings and a
// device choice, one command on the Session, and its results printed.
#pragma once

#include <cstdio>
#include <string>

#include "app/cli/cli.h"
#include "app/cli/cli_feedback.h"
#include "app/cli/cli_options.h"
#include "app/session/session.h"

namespace tav {

class CliSession {
public:
  CliSession(const CliOptions& options, std::FILE* out, std::FILE* err, const CliEnvironment& environment);
  int Run();

private:
  // Options into settings (cli_session.cpp).
  void ApplySettingOptions();
  int SelectDevice();

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

  CliFeedback feedback_;
  Session session_;
  Settings& settings_;
  DeviceRecord& device_;
  DeviceLibrary& library_;
};

}  // namespace tav
