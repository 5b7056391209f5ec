// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/scripted_feedback.h"

namespace tav {

void ScriptedFeedback::PumpMessages() {
  ++pumps_;
  // One click, delivered once: after the command frame has cleared the flag,
  // later pumps (the next command) must not see it again.
  if (cancelAtPump_ != 0 && pumps_ >= cancelAtPump_) {
    SetCancelRequested(1);
    cancelAtPump_ = 0;
  }
}

int ScriptedFeedback::Present(MessageKind kind, const std::string& text) {
  int answer = kOk;
  if (kind == MessageKind::RetryCancel || kind == MessageKind::OkCancel) {
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    } else {
      answer = kind == MessageKind::RetryCancel ? kRetry : kOk;
    }
  }
  messages.push_back({kind, text, pendingBeep_, answer});
  pendingBeep_ = false;
  return answer;
}

std::vector<std::string> ScriptedFeedback::Texts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

void ScriptedFeedback::Clear() {
  messages.clear();
  statuses.clear();
  barPositions.clear();
  cancelButtonChanges.clear();
  repaints = 0;
  beeps = 0;
}

}  // namespace tav
