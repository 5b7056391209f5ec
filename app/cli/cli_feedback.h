// SPDX-License-Identifier: GPL-2.0-or-later
// The console feedback as the command line uses it: it remembers whether a
// socket prompt was declined (the operations count that as success, but a
// script must learn that nothing was done), it does not print the idle
// status "Warte auf Eingaben", which only makes sense for a window, and with
// -q it holds the program's messages back until the run's end shows whether
// they explain a failure.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/console_feedback.h"
#include "operations/command_frame.h"

namespace tav {

inline constexpr const char* kFFSaveBoxHint = "** Leerzellen speichern ** aktivieren !";

class CliFeedback : public ConsoleFeedback {
public:
  CliFeedback(const int& messageBeep, ConsolePolicy policy, std::FILE* in, std::FILE* err)
      : ConsoleFeedback(messageBeep, policy, in, err), holdMessages_(policy.quiet), err_(err) {}

  void SetStatus(const std::string& text) override {
    if (text != kIdleStatus) ConsoleFeedback::SetStatus(text);
  }
  bool PromptDeclined() const { return promptDeclined_; }

  void PumpMessages() override {
    if (++pumps_ == raiseAtPump_) InterruptAsCtrlC();
    ConsoleFeedback::PumpMessages();
  }
  void RaiseInterruptAtPump(uint64_t pump) { raiseAtPump_ = pump; }

  // Prints the held messages when the run failed, drops them otherwise.
  void ReleaseHeldMessages(bool failed) {
    if (failed) {
      for (const std::string& text : held_) std::fprintf(err_, "%s\n", text.c_str());
    }
    held_.clear();
  }

protected:
  int Present(MessageKind kind, const std::string& original) override {
    // The writers' hint names the window's check box; here it is an option.
    std::string text = original;
    const size_t box = text.find(kFFSaveBoxHint);
    if (box != std::string::npos) text.replace(box, std::strlen(kFFSaveBoxHint), "mit --ff-save aufrufen !");
    if (holdMessages_ && (kind == MessageKind::Info || kind == MessageKind::Plain)) {
      held_.push_back(text);
      return kOk;
    }
    const int answer = ConsoleFeedback::Present(kind, text);
    // Only the socket prompt asks OK/Cancel.
    if (kind == MessageKind::OkCancel && answer == kCancel) promptDeclined_ = true;
    return answer;
  }

private:
  bool promptDeclined_ = false;
  uint64_t pumps_ = 0;
  uint64_t raiseAtPump_ = 0;
  bool holdMessages_;
  std::FILE* err_;
  std::vector<std::string> held_;
};

}  // namespace tav
