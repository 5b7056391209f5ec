// Feedback for the command line: messages on standard error, prompts on the
// terminal, answers from command-line policy when there is no terminal, a
// 50-step progress bar, and Ctrl+C as the "Abbrechen" button.
#pragma once

#include <cstdio>
#include <string>

#include "base/feedback.h"

namespace tav {

struct ConsolePolicy {
  bool assumeYes = false;       // --yes: confirm socket prompts without asking
  int retryCancelAnswer = kCancel;  // --on-error retry|cancel, used without a terminal
  bool quiet = false;           // -q: no status lines and no progress
};

class ConsoleFeedback : public Feedback {
public:
  ConsoleFeedback(const int& messageBeep, ConsolePolicy policy, std::FILE* in = stdin, std::FILE* err = stderr);
  ~ConsoleFeedback() override;

  void SetStatus(const std::string& text) override;
  void RepaintNow() override {}
  void EnableCancelButton(bool on) override { cancelEnabled_ = on; }
  void PumpMessages() override;

  // Installs the SIGINT handler that turns Ctrl+C into a cancel request.
  void InstallInterruptHandler();

protected:
  int Present(MessageKind kind, const std::string& text) override;
  void Beep() override;
  void ShowBar(int position, int range) override;

private:
  bool InteractiveInput() const;
  int Ask(const std::string& question, const std::string& choices, int defaultAnswer);

  ConsolePolicy policy_;
  std::FILE* in_;
  std::FILE* err_;
  bool barOnTerminal_;
  bool cancelEnabled_ = false;
  int lastShownPercent_ = -1;
  bool handlerInstalled_ = false;
};

}  // namespace tav
