// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli.h"

#include "app/cli/cli_options.h"
#include "app/cli/cli_session.h"

namespace tav {

int RunCli(int argc, char** argv, std::FILE* out, std::FILE* err, const CliEnvironment& environment) {
  CliOptions options;
  const int status = ParseCliOptions(argc, argv, options, out, err, environment.versionFile);
  if (status >= 0) return status;
  CliSession session(options, out, err, environment);
  const int result = session.Run();
  std::fflush(out);
  std::fflush(err);
  return result;
}

}  // namespace tav
