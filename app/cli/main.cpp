// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli.h"

int main(int argc, char** argv) {
  // A named environment: g++ 12 at -O3 takes the strings of a temporary
  // default argument, destroyed inline here, for uninitialised.
  const tav::CliEnvironment environment;
  return tav::RunCli(argc, argv, stdout, stderr, environment);
}
