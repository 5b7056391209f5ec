// The feedback services every subsystem talks to: the beep rule, the
// progress arithmetic and its pumps, the cancel click, and the console front
// end's answers when there is no terminal to ask.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/cli/console_feedback.h"
#include "tests/support/scripted_feedback.h"

namespace tav {
namespace {

using ::testing::HasSubstr;

TEST(FeedbackBeep, OnlyTheThreeAskingBoxesBeepAndOnlyWhenSwitchedOn) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  for (int round = 0; round < 2; ++round) {
    fb.ShowInfo("a");
    fb.AskRetryCancel("b");
    fb.AskOkCancel("c");
    fb.ShowPlainMessage("d");
    beep = 1;  // read at every message, so a change applies at once
  }
  std::vector<bool> beeped;
  for (const auto& message : fb.messages) beeped.push_back(message.beeped);
  EXPECT_EQ(beeped, (std::vector<bool>{false, false, false, false, true, true, true, false}));
}

// Starts progress for `units` and steps once per unit, as an operation does.
void RunProgress(ScriptedFeedback& fb, uint32_t units) {
  fb.StartProgress(units);
  for (uint32_t i = 0; i < units; ++i) fb.StepProgress();
}

TEST(FeedbackProgress, StepSizeBarAndPumpsForEachSize) {
  struct Row { uint32_t units, pumps, leftOver; };
  // 65536 units: full after 50 steps of 1310, then 36 units that never make a step.
  std::vector<Row> rows = {{0, 0, 0}, {50, 50, 0}, {100, 50, 0}, {65536, 50, 36}};
  for (uint32_t units = 51; units <= 99; ++units) rows.push_back({units, units, 0});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.units);
    int beep = 0;
    ScriptedFeedback fb(beep);
    RunProgress(fb, row.units);
    EXPECT_EQ(fb.TotalPumps(), row.pumps);
    EXPECT_EQ(fb.UnitCounter(), row.leftOver);
    // The start, then one position per increment, never beyond the 50 of a full bar.
    ASSERT_EQ(fb.barPositions.size(), row.pumps + 1);
    for (uint32_t i = 0; i <= row.pumps; ++i) EXPECT_EQ(uint32_t(fb.barPositions[i]), std::min(i, 50u));
  }
  // No operation size pumps more than 99 times.
  for (uint32_t units = 100; units <= 3000; ++units) {
    int beep = 0;
    ScriptedFeedback fb(beep);
    RunProgress(fb, units);
    ASSERT_LE(fb.TotalPumps(), 99u) << units;
  }
}

TEST(FeedbackProgress, CancelTakesEffectAtTheRequestedPumpOnceAndARestartBeginsAfresh) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.StartProgress(1000);  // step size 20
  fb.CancelAtPump(3);
  int steps = 0;
  for (; !fb.CancelRequested() && steps < 1000; ++steps) fb.StepProgress();
  EXPECT_EQ(steps, 60);  // noticed only at the third bar increment
  // Once the command frame has cleared the flag, later pumps do not raise it again.
  fb.SetCancelRequested(0);
  for (int i = 0; i < 41; ++i) fb.StepProgress();  // two increments and one unit
  EXPECT_EQ(fb.CancelRequested(), 0);
  fb.ResetProgress();
  EXPECT_EQ(fb.barPositions.back(), 0);
  // A new operation does not inherit the unit left over from the last one.
  fb.StartProgress(100);
  for (int i = 0; i < 3; ++i) fb.StepProgress();  // one increment of two units, with one left over
  EXPECT_EQ(fb.BarPosition(), 1);
}

// Runs `use` on a ConsoleFeedback that reads `in` (closed afterwards) and
// writes to memory, not a terminal; returns what it wrote.
std::string Console(ConsolePolicy policy, std::FILE* in, void (*use)(ConsoleFeedback&)) {
  char* written = nullptr;
  size_t size = 0;
  std::FILE* err = open_memstream(&written, &size);
  int beep = 1;
  {
    ConsoleFeedback fb(beep, policy, in, err);
    use(fb);
  }
  std::fclose(err);
  const std::string text(written, size);
  std::free(written);
  if (in != nullptr) std::fclose(in);
  return text;
}

// A pseudo terminal: what is written to `master` is typed at the terminal.
// Reader() opens a fresh stream on it each time, since Console closes its input.
struct PseudoTerminal {
  PseudoTerminal() : master(posix_openpt(O_RDWR | O_NOCTTY)) {
    if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
      close(master);
      master = -1;
    }
  }
  ~PseudoTerminal() {
    if (master >= 0) close(master);
  }
  std::FILE* Reader() const {
    const int fd = open(ptsname(master), O_RDWR | O_NOCTTY);
    return fd >= 0 ? fdopen(fd, "r") : nullptr;
  }
  int master;
};

TEST(ConsoleFeedback, WithoutTerminalTheCommandLinePolicyAnswers) {
  // Typed answers are ignored without a terminal: both questions are cancelled.
  std::FILE* typed = std::tmpfile();
  std::fputs("o\n", typed);
  std::rewind(typed);
  const std::string asked = Console({}, typed, [](ConsoleFeedback& fb) {
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kCancel);
    EXPECT_EQ(fb.AskRetryCancel("Fehler an 0x0010"), kCancel);
  });
  EXPECT_THAT(asked, HasSubstr("[Fehler] Fehler an 0x0010\n(abgebrochen)"));

  // --yes and --on-error retry; no input stream at all is no terminal either.
  const ConsolePolicy yesAndRetry{.assumeYes = true, .retryCancelAnswer = kRetry};
  const std::string policed = Console(yesAndRetry, nullptr, [](ConsoleFeedback& fb) {
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk);
    EXPECT_EQ(fb.AskRetryCancel("Fehler"), kRetry);
  });
  EXPECT_THAT(policed, HasSubstr("[Fehler] Fehler\n(weiter)"));
}

TEST(ConsoleFeedback, OverlongOrNulTerminalAnswerIsNotReadAsTheNextAnswer) {
  const PseudoTerminal pty;
  if (pty.master < 0) GTEST_SKIP() << "no pseudo terminal";
  std::FILE* terminal = pty.Reader();
  ASSERT_NE(terminal, nullptr);
  // A long line whose tail would read as "abbrechen", then a real "ok".
  const std::string typed = std::string(63, 'x') + "abbrechen\nok\n";
  ASSERT_EQ(write(pty.master, typed.data(), typed.size()), ssize_t(typed.size()));
  Console({}, terminal, [](ConsoleFeedback& fb) { EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk); });
  // Retry goes on with the next cell: the prompt names it for what it does.
  // A typed NUL byte (Ctrl+@) ends no line early: the line after it is the
  // next answer, not swallowed as the rest of an over-long one.
  const std::string withNul = std::string("\0\n", 2) + "w\nabbrechen\n";
  ASSERT_EQ(write(pty.master, withNul.data(), withNul.size()), ssize_t(withNul.size()));
  std::FILE* again = pty.Reader();
  ASSERT_NE(again, nullptr);
  const std::string asked =
      Console({}, again, [](ConsoleFeedback& fb) { EXPECT_EQ(fb.AskRetryCancel("Fehler an 0x0010"), kRetry); });
  EXPECT_THAT(asked, HasSubstr("[w]eiter / [a]bbrechen:"));
}

// SIGTERM and SIGHUP stop an operation like Ctrl+C: at the next step, with
// the socket powered down by the operation itself.
TEST(ConsoleSignals, TermAndHangupRequestCancelAtTheNextPump) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    Console({}, nullptr, [](ConsoleFeedback& fb) { fb.InstallInterruptHandler(); });  // fresh count
    int beep = 0;
    ConsoleFeedback fb(beep, {}, nullptr, std::tmpfile());
    fb.InstallInterruptHandler();
    std::raise(signalNumber);
    EXPECT_EQ(fb.CancelRequested(), 0);  // nothing happens inside the handler
    fb.PumpMessages();
    EXPECT_EQ(fb.CancelRequested(), 1) << signalNumber;
  }
}

// A second signal during the operation does not wait for its next step: the
// emergency stop powers the socket down and the process ends.
TEST(ConsoleSignalsDeathTest, SecondSignalPowersDownAtOnceAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        int beep = 0;
        ConsoleFeedback fb(beep, {}, nullptr, stderr);
        fb.InstallInterruptHandler();
        fb.SetEmergencyStop([](void*) { std::fputs("Sockel aus\n", stderr); }, nullptr);
        std::raise(SIGINT);
        std::raise(SIGTERM);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(128 + SIGTERM), "Sofortiger Abbruch(.|\n)*Sockel aus");
}

// Ctrl+C while a prompt waits for a line answers it with Cancel, and does
// not cancel the operation a second time later.
TEST(ConsoleSignals, InterruptAtAPromptAnswersCancel) {
  const PseudoTerminal pty;
  if (pty.master < 0) GTEST_SKIP() << "no pseudo terminal";
  std::FILE* terminal = pty.Reader();
  ASSERT_NE(terminal, nullptr);
  std::thread presser([main = pthread_self()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pthread_kill(main, SIGINT);
  });
  Console({}, terminal, [](ConsoleFeedback& fb) {
    fb.InstallInterruptHandler();
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kCancel);
    fb.PumpMessages();
    EXPECT_EQ(fb.CancelRequested(), 0);
  });
  presser.join();
}

}  // namespace
}  // namespace tav
