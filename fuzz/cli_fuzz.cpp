// SPDX-License-Identifier: GPL-2.0-or-later
// The command line's values: the input, split at NUL bytes, is the argument
// list after the program name. Parsing never crashes; it goes on (-1), ends
// after help (0) or refuses with a usage error (2) and a message; what it
// lets through is usable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_options.h"
#include "fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"tavrolith-cli"};
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (size > 0) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::FILE* out = std::fopen("/dev/null", "w");
  std::FILE* err = std::tmpfile();
  if (out == nullptr || err == nullptr) __builtin_trap();
  tav::CliOptions options;
  const int status = tav::ParseCliOptions(static_cast<int>(words.size()), argv.data(), options, out, err, "");
  const long errorBytes = std::ftell(err);
  std::fclose(out);
  std::fclose(err);

  if (status == tav::kUsageError) {
    if (errorBytes <= 0) tav::fuzz::Fail("usage error without a message");
  } else if (status == -1) {
    uint16_t address = 0;
    if (options.command.empty()) tav::fuzz::Fail("accepted without a command");
    if (!options.format.empty() && tav::ResolveFormat(options.format) == nullptr) {
      tav::fuzz::Fail("accepted an unknown format");
    }
    if (!options.port.empty() && options.port[0] != '/' && !tav::ParsePortAddress(options.port, address)) {
      tav::fuzz::Fail("accepted an unusable port");
    }
    if (options.lock && (*options.lock < 0 || *options.lock > 3)) tav::fuzz::Fail("accepted a lock level");
    if (options.size && (*options.size < 1 || *options.size > 65536)) tav::fuzz::Fail("accepted a size");
  } else if (status != 0) {
    tav::fuzz::Fail("refusal that is not a usage error");
  }
  return 0;
}
