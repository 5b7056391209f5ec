// SPDX-License-Identifier: GPL-2.0-or-later
// The feedback services every subsystem talks to: the progress arithmetic
// and its pumps, and the console front end: its answers with and without a
// terminal, its stop signals, its bar. (The beep rule is seen by every test
// that checks a message's beep, the settings' first of all.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "app/cli/console_feedback.h"
#include "tests/support/scripted_feedback.h"

namespace tav {
namespace {

using ::testing::HasSubstr;

// Starts progress for `units` and steps once per unit, as an operation does.
void RunProgress(Feedback& fb, uint32_t units) {
  fb.StartProgress(units);
  for (uint32_t i = 0; i < units; ++i) fb.StepProgress();
}

TEST(FeedbackProgress, StepSizeBarAndPumpsForEachSize) {
  struct Row { uint32_t units, pumps, leftOver; };
  // 65536 units: full after 50 steps of 1310, then 36 units that never make a step.
  std::vector<Row> rows = {{0, 0, 0}, {100, 50, 0}, {65536, 50, 36}, {50, 50, 0}};
  for (uint32_t units = 51; units <= 99; ++units) rows.push_back({units, units, 0});
  // One feedback for all: an operation inherits neither the step size nor the
  // units left over (36 after 65536) of the one before.
  int beep = 0;
  ScriptedFeedback fb(beep);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.units);
    fb.Clear();
    RunProgress(fb, row.units);
    EXPECT_EQ(fb.PumpsSinceStart(), row.pumps);
    EXPECT_EQ(fb.UnitCounter(), row.leftOver);
    // The start, then one position per increment, never beyond the 50 of a full bar.
    ASSERT_EQ(fb.barPositions.size(), row.pumps + 1);
    for (uint32_t i = 0; i <= row.pumps; ++i) EXPECT_EQ(uint32_t(fb.barPositions[i]), std::min(i, 50u));
  }
  // The end of an operation empties the bar.
  fb.ResetProgress();
  EXPECT_EQ(fb.barPositions.back(), 0);
}

// Runs `use` on a ConsoleFeedback that reads `in` (closed afterwards) and
// writes to memory, not a terminal; returns what it wrote.
// A temporary file rather than open_memstream, which Windows lacks.
std::string Console(ConsolePolicy policy, std::FILE* in, const std::function<void(ConsoleFeedback&)>& use) {
  std::FILE* err = std::tmpfile();
  if (err == nullptr) return "(no temporary file)";
  int beep = 1;
  {
    ConsoleFeedback fb(beep, policy, in, err);
    use(fb);
  }
  std::string text;
  std::rewind(err);
  for (int c; (c = std::fgetc(err)) != EOF;) text += static_cast<char>(c);
  std::fclose(err);
  if (in != nullptr) std::fclose(in);
  return text;
}

// One question per letter of `questions` ('o' OK/Cancel, 'r' Retry/Cancel):
// the answers, then what the console wrote.
std::pair<std::vector<int>, std::string> Ask(ConsolePolicy policy, std::FILE* in, const std::string& questions) {
  std::vector<int> answers;
  const std::string shown = Console(policy, in, [&](ConsoleFeedback& fb) {
    for (const char q : questions) {
      answers.push_back(q == 'o' ? fb.AskOkCancel("Baustein einsetzen") : fb.AskRetryCancel("Fehler an 0x0010"));
    }
  });
  return {answers, shown};
}

TEST(ConsoleFeedback, WithoutTerminalTheCommandLinePolicyAnswers) {
  // Typed answers are ignored without a terminal: both questions are cancelled.
  std::FILE* typed = std::tmpfile();
  std::fputs("o\n", typed);
  std::rewind(typed);
  EXPECT_EQ(Ask({}, typed, "or").first, (std::vector<int>{kCancel, kCancel}));
  // --yes and --on-error retry; no input stream at all is no terminal either.
  const auto [policed, policedShown] = Ask({.assumeYes = true, .retryCancelAnswer = kRetry}, nullptr, "or");
  EXPECT_EQ(policed, (std::vector<int>{kOk, kRetry}));
  EXPECT_THAT(policedShown, HasSubstr("[Fehler] Fehler an 0x0010\n(weiter)"));
}

// Two stop requests during an operation, delivered by `stopTwice`: the
// second does not wait for the next step; the emergency stop powers the
// socket down and the process ends. Run inside a death test.
void StopTwiceDuringAnOperation(void (*stopTwice)()) {
  int beep = 0;
  ConsoleFeedback fb(beep, {}, nullptr, stderr);
  fb.InstallInterruptHandler();
  fb.SetEmergencyStop([](void*) { std::fputs("Sockel aus\n", stderr); }, nullptr);
  stopTwice();
  std::_Exit(0);
}
// GoogleTest's simple regular expressions on Windows know no groups.
#ifdef _WIN32
constexpr const char* kEmergencyStopped = "Sofortiger Abbruch.*\\sSockel aus";
#else
constexpr const char* kEmergencyStopped = "Sofortiger Abbruch(.|\n)*Sockel aus";
#endif

#ifndef _WIN32
// A pseudo terminal: what Type() writes to `master` is typed at the terminal,
// read through a fresh stream each time, since Console closes its input.
struct PseudoTerminal {
  PseudoTerminal() : master(posix_openpt(O_RDWR | O_NOCTTY)) {
    if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
      close(master);
      master = -1;
    }
  }
  ~PseudoTerminal() { if (master >= 0) close(master); }
  // The terminal's side, opened with `mode`.
  std::FILE* Open(const char* mode) const {
    const int fd = open(ptsname(master), O_RDWR | O_NOCTTY);
    return fd >= 0 ? fdopen(fd, mode) : nullptr;
  }
  std::FILE* Type(const std::string& typed) const {
    return write(master, typed.data(), typed.size()) == ssize_t(typed.size()) ? Open("r") : nullptr;
  }
  int master;
};

// SIGTERM and SIGHUP stop an operation like Ctrl+C: at the next step, with
// the socket powered down by the operation itself.
TEST(ConsoleSignals, TermAndHangupRequestCancelAtTheNextPump) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    int beep = 0;
    ConsoleFeedback fb(beep, {}, nullptr, std::tmpfile());
    fb.InstallInterruptHandler();
    std::raise(signalNumber);
    EXPECT_EQ(fb.CancelRequested(), 0);  // nothing happens inside the handler
    fb.PumpMessages();
    EXPECT_EQ(fb.CancelRequested(), 1) << signalNumber;
  }
}

TEST(ConsoleSignalsDeathTest, SecondSignalPowersDownAtOnceAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(StopTwiceDuringAnOperation([] {
                std::raise(SIGINT);
                std::raise(SIGTERM);
              }),
              ::testing::ExitedWithCode(128 + SIGTERM), kEmergencyStopped);
}

TEST(ConsoleFeedback, TerminalAnswersAreReadLineByLine) {
  struct Case { bool enterConfirms; std::string typed; const char* questions; std::vector<int> answers; const char* prompt; };
  const Case cases[] = {
      // A long line whose tail would read as "abbrechen" is dropped whole.
      // Where Enter does not confirm, an empty line asks again.
      {false, std::string(63, 'x') + "abbrechen\nok\n\na\n", "oo", {kOk, kCancel}, "[o]k / [a]bbrechen:"},
      // A typed NUL (Ctrl+@) ends no line early: the line after it is the
      // next answer. Retry goes on with the next cell: the prompt names it so.
      {false, std::string("\0\n", 2) + "w\nabbrechen\n", "r", {kRetry}, "[w]eiter / [a]bbrechen:"},
      // Enter answers OK only where a production run asks for the next chip.
      {true, "\n\na\n", "ooo", {kOk, kOk, kCancel}, "[Enter] weiter / [a]bbrechen:"},
  };
  for (const Case& c : cases) {
    const PseudoTerminal pty;
    if (pty.master < 0) GTEST_SKIP() << "no pseudo terminal";
    const auto [answers, shown] = Ask({.enterConfirms = c.enterConfirms}, pty.Type(c.typed), c.questions);
    EXPECT_EQ(answers, c.answers) << c.prompt;
    EXPECT_THAT(shown, HasSubstr(c.prompt));
  }
}

// Ctrl+C while a prompt waits for a line answers it with Cancel, and does
// not cancel the operation a second time later.
TEST(ConsoleSignals, InterruptAtAPromptAnswersCancel) {
  const PseudoTerminal pty;
  if (pty.master < 0) GTEST_SKIP() << "no pseudo terminal";
  std::thread presser([main = pthread_self()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pthread_kill(main, SIGINT);
  });
  Console({}, pty.Type(""), [](ConsoleFeedback& fb) {
    fb.InstallInterruptHandler();
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kCancel);
    fb.PumpMessages();
    EXPECT_EQ(fb.CancelRequested(), 0);
  });
  presser.join();
}

// On a terminal the bar names its phase and the elapsed time, never shows
// an empty bar, and fits the terminal's width, however narrow.
TEST(ConsoleFeedback, TheBarFitsTheTerminalAndNamesThePhase) {
  for (const unsigned short width : {16, 40, 100}) {
    const PseudoTerminal pty;
    if (pty.master < 0) GTEST_SKIP() << "no pseudo terminal";
    const winsize size{24, width, 0, 0};
    ASSERT_EQ(ioctl(pty.master, TIOCSWINSZ, &size), 0);
    std::FILE* terminal = pty.Open("w");
    ASSERT_NE(terminal, nullptr);
    std::string shown;
    std::thread drain([&] {
      char buffer[4096];
      for (ssize_t got; (got = read(pty.master, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(got));
    });
    {
      int beep = 0;
      ConsoleFeedback fb(beep, {}, nullptr, terminal);
      fb.SetStatus("Prüfe Bausteininhalt");
      RunProgress(fb, 300);
      fb.ResetProgress();
    }
    std::fclose(terminal);
    drain.join();  // with the terminal's side closed, reading ends (EIO) once all is read
    // A bar runs from the line's start to the clearing.
    std::string bar;
    for (size_t clear = shown.find("\033[K"); clear != std::string::npos; clear = shown.find("\033[K", clear + 3)) {
      const size_t start = shown.find_last_of("\r\n", clear) + 1;  // npos + 1 is the text's start
      bar = shown.substr(start, clear - start);
      EXPECT_LT(std::count_if(bar.begin(), bar.end(), [](char c) { return (c & 0xC0) != 0x80; }), width) << bar;
      // The end of an operation clears the bar rather than drawing an empty one.
      EXPECT_THAT(bar, ::testing::MatchesRegex(".*( [1-9]|[1-9][0-9]|100) % 0:0[0-9]")) << bar;
    }
    EXPECT_THAT(bar, HasSubstr("100 %")) << width;  // the last bar, if any
    EXPECT_EQ(bar.find("Prüfe Bausteininhalt [") == 0, width == 100) << bar;
    EXPECT_EQ(bar.find('[') != std::string::npos, width >= 40) << bar;
  }
}
#else
// Windows delivers Ctrl+C, Ctrl+Break and the closing of the console as
// console control events, each on a thread of its own; the cancel request
// still waits for the next pump.
bool SendBreakToConsole() {
  if (GetConsoleWindow() == nullptr && !AllocConsole()) return false;
  return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) != 0;
}

TEST(ConsoleControl, BreakRequestsCancelAtTheNextPump) {
  int beep = 0;
  ConsoleFeedback fb(beep, {}, nullptr, std::tmpfile());
  fb.InstallInterruptHandler();
  if (!SendBreakToConsole()) GTEST_SKIP() << "no console to send Ctrl+Break to";
  // The control thread needs a moment; pumping is what turns it into a cancel.
  for (int i = 0; i < 200 && fb.CancelRequested() == 0; ++i) {
    Sleep(10);
    fb.PumpMessages();
  }
  EXPECT_EQ(fb.CancelRequested(), 1);
}

// The events go straight to the control handler, as the console's thread
// hands them over: Wine gives a test process no console to send them from.
TEST(ConsoleControlDeathTest, SecondBreakPowersDownAtOnceAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(StopTwiceDuringAnOperation([] {
                ConsoleFeedback::InterruptAsCtrlC();
                ConsoleFeedback::InterruptAsCtrlC();
              }),
              ::testing::ExitedWithCode(128 + SIGINT), kEmergencyStopped);  // as Ctrl+C on POSIX
}
#endif

}  // namespace
}  // namespace tav
