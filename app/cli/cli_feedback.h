// The console feedback as the command line uses it: it remembers whether a
// socket prompt was declined (the operations count that as success, but a
// script must learn that nothing was done), and it does not print the idle
// status "Warte auf Eingaben", which only makes sense for a window.
#pragma once

#include <csignal>
#include <cstdint>

#include "app/cli/console_feedback.h"
#include "operations/command_frame.h"

namespace tav {

class CliFeedback : public ConsoleFeedback {
public:
  using ConsoleFeedback::ConsoleFeedback;

  void SetStatus(const std::string& text) override {
    if (text != kIdleStatus) ConsoleFeedback::SetStatus(text);
  }
  bool PromptDeclined() const { return promptDeclined_; }

  void PumpMessages() override {
    if (++pumps_ == raiseAtPump_) std::raise(SIGINT);
    ConsoleFeedback::PumpMessages();
  }
  void RaiseInterruptAtPump(uint64_t pump) { raiseAtPump_ = pump; }

protected:
  int Present(MessageKind kind, const std::string& text) override {
    const int answer = ConsoleFeedback::Present(kind, text);
    // Only the socket prompt asks OK/Cancel.
    if (kind == MessageKind::OkCancel && answer == kCancel) promptDeclined_ = true;
    return answer;
  }

private:
  bool promptDeclined_ = false;
  uint64_t pumps_ = 0;
  uint64_t raiseAtPump_ = 0;
};

}  // namespace tav
