#include "app/cli/cli.h"

int main(int argc, char** argv) { return tav::RunCli(argc, argv, stdout, stderr); }
