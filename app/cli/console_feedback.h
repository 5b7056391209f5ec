// SPDX-License-Identifier: GPL-2.0-or-later
// Feedback for the command line: messages on standard error, prompts on the
// terminal, answers from command-line policy when there is no terminal, a
// 50-step progress bar, and Ctrl+C as the "Abbrechen" button.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "base/feedback.h"

namespace tav {

struct ConsolePolicy {
  bool assumeYes = false;       // --yes: confirm socket prompts without asking
  int retryCancelAnswer = kCancel;  // --on-error retry|cancel, used without a terminal
  bool quiet = false;           // -q: no status lines and no progress
  bool enterConfirms = false;   // an empty line answers a socket prompt with OK (production runs)
};

class ConsoleFeedback : public Feedback {
public:
  ConsoleFeedback(const int& messageBeep, ConsolePolicy policy, std::FILE* in = stdin, std::FILE* err = stderr);
  ~ConsoleFeedback() override;

  void SetStatus(const std::string& text) override;
  void RepaintNow() override {}
  void EnableCancelButton(bool on) override { cancelEnabled_ = on; }
  void PumpMessages() override;

  // Installs the handler that turns Ctrl+C, SIGTERM and SIGHUP (closing the
  // terminal, kill, a service stop) into a cancel request: the operation
  // stops at its next step and powers the socket down. A second such signal
  // calls the emergency stop (if set) and ends the process at once with
  // 128 + the signal number. On Windows, Ctrl+C, Ctrl+Break and closing the
  // console window take the same road through the console control handler.
  void InstallInterruptHandler();

  // What a second signal runs before the process ends: it powers the socket
  // down. Runs inside the signal handler, so it must not wait for anything
  // but the board. nullptr clears it.
  using EmergencyStop = void (*)(void* context);
  void SetEmergencyStop(EmergencyStop stop, void* context);

  // What pressing Ctrl+C does, for tests: raises SIGINT, or on Windows hands
  // the Ctrl+C event to the installed control handler as the console's own
  // thread would (a test process under Wine need not have a console).
  static void InterruptAsCtrlC();

protected:
  int Present(MessageKind kind, const std::string& text) override;
  void Beep() override;
  void ShowBar(int position, int range) override;

private:
  bool InteractiveInput() const;
  // The bar line for a terminal `columns` wide: phase, bar, percentage and
  // elapsed time; the phase and then the bar give way on narrow terminals.
  std::string BarLine(int position, int range, int columns) const;
  // `enterAnswer`: what an empty line answers; 0 = it asks again.
  int Ask(const std::string& question, const std::string& choices, int defaultAnswer, int enterAnswer = 0);

  ConsolePolicy policy_;
  std::FILE* in_;
  std::FILE* err_;
  bool barOnTerminal_;
  bool cancelEnabled_ = false;
  int lastShownPercent_ = -1;
  long long lastShownSecond_ = -1;
  std::string phase_;  // the last status line: what the bar measures
  std::chrono::steady_clock::time_point barStart_ = std::chrono::steady_clock::now();
  bool handlerInstalled_ = false;
};

}  // namespace tav
