// SPDX-License-Identifier: GPL-2.0-or-later
// A Feedback for tests: answers message boxes from a queue, records every
// message, status text, bar position and pump, and can raise the cancel flag
// at the n-th pump (as a click on "Abbrechen" would arrive).
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "base/feedback.h"

namespace tav {

class ScriptedFeedback : public Feedback {
public:
  struct Message {
    MessageKind kind;
    std::string text;
    bool beeped;
  };

  explicit ScriptedFeedback(const int& messageBeep) : Feedback(messageBeep) {}

  // Answers for AskRetryCancel / AskOkCancel, taken in order. When the queue
  // is empty, OkCancel answers kOk and RetryCancel answers kRetry.
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // Raise CancelRequested during the n-th pump (1-based) from now on; 0 = never.
  void CancelAtPump(uint64_t n) { cancelAtPump_ = n ? pumps_ + n : 0; }

  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void RepaintNow() override {}
  void EnableCancelButton(bool on) override { cancelButtonEnabled = on; }
  // One click, delivered once: after the command frame has cleared the flag,
  // later pumps (the next command) must not see it again.
  void PumpMessages() override {
    if (++pumps_ == cancelAtPump_) SetCancelRequested(1);
  }

  // Everything seen so far.
  std::vector<Message> messages;
  std::vector<std::string> statuses;
  std::vector<int> barPositions;  // every position shown, in order
  bool cancelButtonEnabled = false;
  int beeps = 0;
  uint64_t TotalPumps() const { return pumps_; }

  // Texts of all messages, in order (convenient for EXPECT_THAT).
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
  }
  // The text of the last message, or "" when there was none.
  std::string LastText() const { return messages.empty() ? std::string() : messages.back().text; }
  void Clear() {
    messages.clear();
    statuses.clear();
    barPositions.clear();
    beeps = 0;
  }

protected:
  int Present(MessageKind kind, const std::string& text) override {
    int answer = kind == MessageKind::RetryCancel ? kRetry : kOk;
    const bool asks = kind == MessageKind::RetryCancel || kind == MessageKind::OkCancel;
    if (asks && !answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    messages.push_back({kind, text, std::exchange(pendingBeep_, false)});
    return answer;
  }
  void Beep() override {
    ++beeps;
    pendingBeep_ = true;
  }
  void ShowBar(int position, int) override { barPositions.push_back(position); }

private:
  std::deque<int> answers_;
  uint64_t pumps_ = 0;
  uint64_t cancelAtPump_ = 0;
  bool pendingBeep_ = false;
};

}  // namespace tav
