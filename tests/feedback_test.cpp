#include "app/feedback.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "app/console_feedback.h"
#include "app/scripted_feedback.h"

namespace tav {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// --- The beep rule -------------------------------------------------------

TEST(FeedbackBeep, OnlyTheThreeAskingBoxesBeepAndOnlyWhenSwitchedOn) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.ShowInfo("a");
  fb.AskRetryCancel("b");
  fb.AskOkCancel("c");
  fb.ShowPlainMessage("d");
  EXPECT_EQ(fb.beeps, 0);

  // The switch is read at every message, so a change applies at once.
  beep = 1;
  fb.ShowInfo("a");
  fb.AskRetryCancel("b");
  fb.AskOkCancel("c");
  fb.ShowPlainMessage("d");
  EXPECT_EQ(fb.beeps, 3);
  ASSERT_EQ(fb.messages.size(), 8u);
  const bool expected[] = {false, false, false, false, true, true, true, false};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(fb.messages[i].beeped, expected[i]) << i;
  EXPECT_EQ(fb.messages[7].kind, MessageKind::Plain);
}

TEST(FeedbackAnswers, QueuedAnswersThenDefaults) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.QueueAnswer(kCancel);
  fb.QueueAnswer(kCancel);
  EXPECT_EQ(fb.AskOkCancel("x"), kCancel);
  EXPECT_EQ(fb.ShowInfo("info takes no answer"), kOk);
  EXPECT_EQ(fb.AskRetryCancel("y"), kCancel);
  EXPECT_EQ(fb.AskRetryCancel("y"), kRetry);
  EXPECT_EQ(fb.AskOkCancel("x"), kOk);
  EXPECT_THAT(fb.Texts(), ElementsAre("x", "info takes no answer", "y", "y", "x"));
  EXPECT_EQ(fb.LastText(), "x");
}

// --- Progress arithmetic ---------------------------------------------------

struct ProgressRun {
  uint32_t pumps = 0;
  int lastShown = 0;
  int maxShown = 0;
  uint32_t unitsUntilFull = 0;  // units stepped when the bar first showed full
};

// Starts progress for `units` and steps once per unit, as an operation does.
ProgressRun RunProgress(ScriptedFeedback& fb, uint32_t units) {
  fb.Clear();
  const uint64_t pumpsBefore = fb.TotalPumps();
  fb.StartProgress(units);
  ProgressRun run;
  for (uint32_t i = 1; i <= units; ++i) {
    fb.StepProgress();
    if (run.unitsUntilFull == 0 && fb.barPositions.back() == fb.BarRange() && fb.BarRange() > 0) {
      run.unitsUntilFull = i;
    }
  }
  run.pumps = static_cast<uint32_t>(fb.TotalPumps() - pumpsBefore);
  run.lastShown = fb.barPositions.back();
  run.maxShown = *std::max_element(fb.barPositions.begin(), fb.barPositions.end());
  return run;
}

TEST(FeedbackProgress, StepSizeRangeAndPumpsForTheDocumentedSizes) {
  int beep = 0;
  ScriptedFeedback fb(beep);

  ProgressRun run = RunProgress(fb, 0);
  EXPECT_EQ(fb.BarRange(), 0);
  EXPECT_EQ(fb.StepSize(), 1u);
  EXPECT_EQ(run.pumps, 0u);
  EXPECT_THAT(fb.barPositions, ElementsAre(0));

  run = RunProgress(fb, 50);
  EXPECT_EQ(fb.BarRange(), 50);
  EXPECT_EQ(fb.StepSize(), 1u);
  EXPECT_EQ(run.pumps, 50u);
  ASSERT_EQ(fb.barPositions.size(), 51u);  // the start plus one per increment
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(fb.barPositions[i], i);

  run = RunProgress(fb, 100);
  EXPECT_EQ(fb.StepSize(), 2u);
  EXPECT_EQ(run.pumps, 50u);
  EXPECT_EQ(run.unitsUntilFull, 100u);

  run = RunProgress(fb, 65536);
  EXPECT_EQ(fb.BarRange(), 50);
  EXPECT_EQ(fb.StepSize(), 1310u);
  EXPECT_EQ(run.pumps, 50u);
  EXPECT_EQ(run.unitsUntilFull, 50u * 1310u);  // then full for the last 36 units
  EXPECT_EQ(run.lastShown, 50);
  EXPECT_EQ(fb.UnitCounter(), 36u);
}

TEST(FeedbackProgress, FiftyOneToNinetyNineUnitsFillTheBarEarlyAndKeepItFull) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  for (uint32_t units = 51; units <= 99; ++units) {
    const ProgressRun run = RunProgress(fb, units);
    EXPECT_EQ(fb.StepSize(), 1u) << units;
    EXPECT_EQ(fb.BarRange(), 50) << units;
    EXPECT_EQ(run.pumps, units) << units;  // one pump per unit
    EXPECT_EQ(run.unitsUntilFull, 50u) << units;
    EXPECT_EQ(run.maxShown, 50) << units;  // never beyond the range
    EXPECT_EQ(run.lastShown, 50) << units;
  }
}

TEST(FeedbackProgress, NoOperationSizePumpsMoreThan99Times) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  uint32_t most = 0;
  for (uint32_t units = 0; units <= 3000; ++units) {
    const ProgressRun run = RunProgress(fb, units);
    most = std::max(most, run.pumps);
    ASSERT_LE(run.maxShown, fb.BarRange()) << units;
    ASSERT_LE(run.pumps, 99u) << units;
  }
  EXPECT_EQ(most, 99u);
}

TEST(FeedbackProgress, ResetShowsPositionZeroAndRestartBeginsAfresh) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.StartProgress(200);
  for (int i = 0; i < 41; ++i) fb.StepProgress();  // ten increments and one unit
  EXPECT_EQ(fb.BarPosition(), 10);
  fb.ResetProgress();
  EXPECT_EQ(fb.BarPosition(), 0);
  EXPECT_EQ(fb.barPositions.back(), 0);

  // A new operation does not inherit the unit counter of the last one.
  fb.StartProgress(100);
  fb.StepProgress();
  EXPECT_EQ(fb.BarPosition(), 0);
  fb.StepProgress();
  EXPECT_EQ(fb.BarPosition(), 1);
}

// --- Cancel -----------------------------------------------------------------

TEST(FeedbackCancel, TakesEffectAtTheRequestedPumpOnly) {
  int beep = 0;
  ScriptedFeedback fb(beep);
  fb.StartProgress(1000);  // step size 20
  fb.CancelAtPump(3);
  int stepsUntilCancel = 0;
  while (!fb.CancelRequested() && stepsUntilCancel < 1000) {
    fb.StepProgress();
    ++stepsUntilCancel;
  }
  // The click is noticed only at the third bar increment.
  EXPECT_EQ(stepsUntilCancel, 60);
  EXPECT_EQ(fb.TotalPumps(), 3u);

  // One click: once the command frame has cleared the flag, the next
  // command's pumps do not raise it again.
  fb.SetCancelRequested(0);
  for (int i = 0; i < 10; ++i) fb.PumpMessages();
  EXPECT_EQ(fb.CancelRequested(), 0);

  // Counted from the moment of the call, not from the start.
  fb.SetCancelRequested(0);
  fb.CancelAtPump(1);
  fb.PumpMessages();
  EXPECT_EQ(fb.CancelRequested(), 1);

  fb.SetCancelRequested(0);
  fb.CancelAtPump(0);
  for (int i = 0; i < 10; ++i) fb.PumpMessages();
  EXPECT_EQ(fb.CancelRequested(), 0);

  fb.SetCancelRequested(7);  // the flag is 0 or 1
  EXPECT_EQ(fb.CancelRequested(), 1);
}

// --- Console front end with streams that are not terminals -----------------

// Captures what ConsoleFeedback writes to its error stream.
class ConsoleStreams {
public:
  explicit ConsoleStreams(const std::string& input) {
    in_ = std::tmpfile();
    std::fputs(input.c_str(), in_);
    std::rewind(in_);
    err_ = std::tmpfile();
  }
  ~ConsoleStreams() {
    std::fclose(in_);
    std::fclose(err_);
  }
  std::FILE* in() const { return in_; }
  std::FILE* err() const { return err_; }
  std::string Written() const {
    std::fflush(err_);
    std::string text;
    std::rewind(err_);
    int c;
    while ((c = std::fgetc(err_)) != EOF) text += static_cast<char>(c);
    return text;
  }

private:
  std::FILE* in_;
  std::FILE* err_;
};

TEST(ConsoleFeedback, WithoutTerminalTheCommandLinePolicyAnswers) {
  int beep = 1;
  {
    ConsoleStreams io("o\n");  // typed answers are ignored without a terminal
    ConsoleFeedback fb(beep, ConsolePolicy{}, io.in(), io.err());
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kCancel);
    EXPECT_EQ(fb.AskRetryCancel("Fehler an 0x0010"), kCancel);
    const std::string out = io.Written();
    EXPECT_THAT(out, HasSubstr("[Frage] Baustein einsetzen\n"));
    EXPECT_THAT(out, HasSubstr("--yes"));
    EXPECT_THAT(out, HasSubstr("[Fehler] Fehler an 0x0010\n(abgebrochen)"));
    EXPECT_THAT(out, Not(HasSubstr("\a")));  // no bell into a log file
  }
  {
    ConsoleStreams io("");
    ConsolePolicy policy;
    policy.assumeYes = true;
    policy.retryCancelAnswer = kRetry;
    ConsoleFeedback fb(beep, policy, io.in(), io.err());
    EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk);
    EXPECT_EQ(fb.AskRetryCancel("Fehler"), kRetry);
    EXPECT_EQ(fb.ShowInfo("Fertig"), kOk);
    fb.ShowPlainMessage("Schlicht");
    const std::string out = io.Written();
    EXPECT_THAT(out, HasSubstr("(weiter)"));
    EXPECT_THAT(out, HasSubstr("[Info] Fertig\n"));
    EXPECT_THAT(out, HasSubstr("\nSchlicht\n"));
  }
  {
    // No input stream at all is treated like no terminal.
    ConsoleStreams io("");
    ConsoleFeedback fb(beep, ConsolePolicy{}, nullptr, io.err());
    EXPECT_EQ(fb.AskOkCancel("?"), kCancel);
  }
}

TEST(ConsoleFeedback, ProgressWithoutTerminalIsOneLinePerTenth) {
  int beep = 0;
  ConsoleStreams io("");
  ConsoleFeedback fb(beep, ConsolePolicy{}, io.in(), io.err());
  fb.StartProgress(100);
  for (int i = 0; i < 100; ++i) fb.StepProgress();
  std::string expected;
  for (int p = 10; p <= 100; p += 10) expected += "Fortschritt: " + std::to_string(p) + " %\n";
  EXPECT_EQ(io.Written(), expected);

  ConsoleStreams quietIo("");
  ConsolePolicy quiet;
  quiet.quiet = true;
  ConsoleFeedback silent(beep, quiet, quietIo.in(), quietIo.err());
  silent.SetStatus("Lese Baustein");
  silent.StartProgress(100);
  for (int i = 0; i < 100; ++i) silent.StepProgress();
  EXPECT_EQ(quietIo.Written(), "");
}

TEST(ConsoleFeedback, OverlongTerminalAnswerIsNotReadAsTheNextAnswer) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo terminal";
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  std::FILE* in = fdopen(slave, "r");
  ASSERT_NE(in, nullptr);
  // A long line whose tail would read as "abbrechen", then a real "ok".
  const std::string typed = std::string(63, 'x') + "abbrechen\nok\n";
  ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));

  int beep = 0;
  ConsoleStreams io("");
  ConsoleFeedback fb(beep, ConsolePolicy{}, in, io.err());
  EXPECT_EQ(fb.AskOkCancel("Baustein einsetzen"), kOk);
  std::fclose(in);
  close(master);
}

}  // namespace
}  // namespace tav
