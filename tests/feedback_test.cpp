// The feedback services every subsystem talks to: the beep rule, the
// progress arithmetic and its pumps, the cancel click, and the console front
// end's answers when there is no terminal to ask.
#include "app/feedback.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/console_feedback.h"
#include "app/scripted_feedback.h"

namespace tav {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

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
  EXPECT_EQ(fb.beeps, 3);
  std::vector<bool> beeped;
  for (const auto& message : fb.messages) beeped.push_back(message.beeped);
  EXPECT_EQ(beeped, (std::vector<bool>{false, false, false, false, true, true, true, false}));
}

// Starts progress for `units` and steps once per unit, as an operation does;
// returns the units stepped when the bar first showed full.
uint32_t RunProgress(ScriptedFeedback& fb, uint32_t units) {
  fb.StartProgress(units);
  uint32_t fullAfter = 0;
  for (uint32_t i = 1; i <= units; ++i) {
    fb.StepProgress();
    if (fullAfter == 0 && fb.barPositions.back() == fb.BarRange()) fullAfter = i;
  }
  return fullAfter;
}

TEST(FeedbackProgress, StepSizeBarAndPumpsForEachSize) {
  struct Row {
    uint32_t units, range, stepSize, pumps, fullAfter, leftOver;
  };
  std::vector<Row> rows = {{0, 0, 1, 0, 0, 0}, {50, 50, 1, 50, 50, 0}, {100, 50, 2, 50, 100, 0},
                           {65536, 50, 1310, 50, 65500, 36}};  // full after 50 steps, then 36 more units
  for (uint32_t units = 51; units <= 99; ++units) rows.push_back({units, 50, 1, units, 50, 0});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.units);
    int beep = 0;
    ScriptedFeedback fb(beep);
    EXPECT_EQ(RunProgress(fb, row.units), row.fullAfter);
    EXPECT_EQ(uint32_t(fb.BarRange()), row.range);
    EXPECT_EQ(fb.StepSize(), row.stepSize);
    EXPECT_EQ(fb.TotalPumps(), row.pumps);
    EXPECT_EQ(fb.UnitCounter(), row.leftOver);
    // The start, then one position per increment, never beyond the range.
    ASSERT_EQ(fb.barPositions.size(), row.pumps + 1);
    for (uint32_t i = 0; i <= row.pumps; ++i) EXPECT_EQ(uint32_t(fb.barPositions[i]), std::min(i, row.range));
  }
}

TEST(FeedbackProgress, NoOperationSizePumpsMoreThan99Times) {
  uint64_t most = 0;
  for (uint32_t units = 0; units <= 3000; ++units) {
    int beep = 0;
    ScriptedFeedback fb(beep);
    RunProgress(fb, units);
    ASSERT_LE(fb.TotalPumps(), 99u) << units;
    most = std::max(most, fb.TotalPumps());
  }
  EXPECT_EQ(most, 99u);
}

TEST(FeedbackProgress, ResetShowsPositionZeroAndRestartBeginsAfresh) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.StartProgress(200);
  for (int i = 0; i < 41; ++i) fb.StepProgress();  // ten increments and one unit
  fb.ResetProgress();
  EXPECT_EQ(fb.BarPosition(), 0);
  EXPECT_EQ(fb.barPositions.back(), 0);
  // A new operation does not inherit the unit counter of the last one.
  fb.StartProgress(100);
  for (int i = 0; i < 3; ++i) fb.StepProgress();  // one increment of two units, with one left over
  EXPECT_EQ(fb.BarPosition(), 1);
}

TEST(FeedbackCancel, AClickTakesEffectAtTheRequestedPumpOnceOnly) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.StartProgress(1000);  // step size 20
  fb.CancelAtPump(3);
  int steps = 0;
  for (; !fb.CancelRequested() && steps < 1000; ++steps) fb.StepProgress();
  EXPECT_EQ(steps, 60);  // noticed only at the third bar increment
  // Once the command frame has cleared the flag, later pumps do not raise it again.
  fb.SetCancelRequested(0);
  for (int i = 0; i < 10; ++i) fb.PumpMessages();
  EXPECT_EQ(fb.CancelRequested(), 0);
}

// Runs `use` on a ConsoleFeedback that reads `in` (closed afterwards) and
// writes to a file, not a terminal; returns what it wrote.
std::string Console(ConsolePolicy policy, std::FILE* in, void (*use)(ConsoleFeedback&)) {
  std::FILE* err = std::tmpfile();
  int beep = 1;
  {
    ConsoleFeedback fb(beep, policy, in, err);
    use(fb);
  }
  std::rewind(err);
  std::string text;
  for (int c; (c = std::fgetc(err)) != EOF;) text += char(c);
  std::fclose(err);
  if (in != nullptr) std::fclose(in);
  return text;
}

TEST(ConsoleFeedback, WithoutTerminalTheCommandLinePolicyAnswers) {
  // Typed answers are ignored without a terminal: both questions are cancelled.
  std::FILE* typed = std::tmpfile();
  std::fputs("o\n", typed);
  std::rewind(typed);
  const std::string asked = Console({}, typed, [](ConsoleFeedback& fb) {
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kCancel);
    EXPECT_EQ(fb.AskRetryCancel("Fehler an 0x0010"), kCancel);
  });
  EXPECT_THAT(asked, AllOf(HasSubstr("[Frage] Baustein einsetzen\n"), HasSubstr("--yes"),
                           HasSubstr("[Fehler] Fehler an 0x0010\n(abgebrochen)"),
                           Not(HasSubstr("\a"))));  // no bell into a log file

  // --yes and --on-error retry; no input stream at all is no terminal either.
  const ConsolePolicy yesAndRetry{.assumeYes = true, .retryCancelAnswer = kRetry};
  const std::string policed = Console(yesAndRetry, nullptr, [](ConsoleFeedback& fb) {
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk);
    EXPECT_EQ(fb.AskRetryCancel("Fehler"), kRetry);
    EXPECT_EQ(fb.ShowInfo("Fertig"), kOk);
    fb.ShowPlainMessage("Schlicht");
  });
  EXPECT_THAT(policed, AllOf(HasSubstr("[Fehler] Fehler\n(weiter)"), HasSubstr("[Info] Fertig\n"),
                             HasSubstr("\nSchlicht\n")));
}

TEST(ConsoleFeedback, OverlongTerminalAnswerIsNotReadAsTheNextAnswer) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo terminal";
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  std::FILE* terminal = slave >= 0 ? fdopen(slave, "r") : nullptr;
  ASSERT_NE(terminal, nullptr);
  // A long line whose tail would read as "abbrechen", then a real "ok".
  const std::string typed = std::string(63, 'x') + "abbrechen\nok\n";
  ASSERT_EQ(write(master, typed.data(), typed.size()), ssize_t(typed.size()));
  Console({}, terminal, [](ConsoleFeedback& fb) { EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk); });
  close(master);
}

}  // namespace
}  // namespace tav
