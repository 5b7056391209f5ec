// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli.h"

int main(int argc, char** argv) { return tav::RunCli(argc, argv, stdout, stderr); }
