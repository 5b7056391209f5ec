// SPDX-License-Identifier: GPL-2.0-or-later
// One run of the command line: the options turned into the run's settings
// and device choice, one command on the Session, and its results printed.
// Options apply to this run only; the config command alone stores settings.
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
  // Options into the run's settings (cli_session.cpp).
  void ApplySettingOptions();
  int SelectDevice(const std::string& device);
  void SuggestDevices(const std::string& device);
  int RunCommand();
  // The one line -q leaves, and what explains a failure.
  void Finish(int status);

  // Commands on the board (cli_device_commands.cpp).
  int CommandDetect();
  int CommandCalibrate();
  int CommandOperation(Command command);
  int CommandBatch();
  void InstallInterruptHandler();
  void ReportVerbose();

  // Commands on files and the library (cli_file_commands.cpp).
  int CommandDevices();
  int CommandInfo();
  int CommandConvert();

  // The stored settings (cli_config.cpp).
  int CommandConfig();

  const CliOptions& options_;
  std::FILE* out_;
  std::FILE* err_;
  const CliEnvironment& environment_;

  CliFeedback feedback_;
  Session session_;
  Settings& settings_;
  DeviceRecord& device_;
  DeviceLibrary& library_;
  std::string finalLine_;  // the result in one line, for -q and the end of every run
};

}  // namespace tav
