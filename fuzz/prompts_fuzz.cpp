// SPDX-License-Identifier: GPL-2.0-or-later
// The answers typed at the command line's prompts: the first byte picks the
// question (OK/Cancel or Retry/Cancel) and the policy, the rest is typed on
// a pseudo-terminal. The answer is taken from the
// first typed line that starts with a known letter, however long the lines
// and whatever bytes they hold; Cancel when no line does.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/cli/console_feedback.h"
#include "fuzz/fuzz_scratch.h"

namespace {

// The typed bytes fit the terminal's buffer, so that typing never waits.
constexpr size_t kMaxTyped = 2048;

int Letter(char c) {
  switch (c) {
    case 'o': case 'O': case 'j': case 'J': case 'y': case 'Y': return tav::kOk;
    case 'w': case 'W': case 'r': case 'R': return tav::kRetry;
    case 'a': case 'A': case 'n': case 'N': case 'c': case 'C': return tav::kCancel;
    default: return 0;
  }
}

int ExpectedAnswer(const std::string& typed) {
  size_t at = 0;
  while (at < typed.size()) {
    if (const int answer = Letter(typed[at])) return answer;
    const size_t newline = typed.find('\n', at);
    at = newline == std::string::npos ? typed.size() : newline + 1;
  }
  return tav::kCancel;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxTyped + 1) return 0;
  const uint8_t choice = data[0];
  const std::string typed(reinterpret_cast<const char*>(data + 1), size - 1);

  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) __builtin_trap();
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  // A closed terminal throws away what has not been read yet, so the input
  // ends in a line that cancels instead: the answer when nothing before it
  // is one.
  const std::string input = typed + "\na\n";
  if (write(master, input.data(), input.size()) != static_cast<ssize_t>(input.size())) __builtin_trap();
  std::FILE* in = fdopen(slave, "r");
  std::FILE* err = std::fopen("/dev/null", "w");
  if (in == nullptr || err == nullptr) __builtin_trap();

  const int beep = 0;
  tav::ConsolePolicy policy;
  policy.assumeYes = (choice & 2) != 0;
  policy.retryCancelAnswer = (choice & 4) != 0 ? tav::kRetry : tav::kCancel;
  int answer = 0;
  int expected = ExpectedAnswer(typed);
  {
    tav::ConsoleFeedback feedback(beep, policy, in, err);
    if ((choice & 1) == 0) {
      answer = feedback.AskOkCancel("Baustein einsetzen");
      if (policy.assumeYes || expected == tav::kRetry) expected = tav::kOk;
    } else {
      answer = feedback.AskRetryCancel("Fehler");
      if (expected == tav::kOk) expected = tav::kRetry;
    }
  }
  std::fclose(in);
  std::fclose(err);
  close(master);
  if (answer != expected) tav::fuzz::Fail("the typed answer was not taken");
  return 0;
}
