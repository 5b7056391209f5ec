// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/feedback.h"

namespace tav {

namespace {
// The bar never has more than this many increments, so a long operation
// pumps window messages about 50 times and at most 99 times.
constexpr uint32_t kMaxBarSteps = 50;
}  // namespace

Feedback::Feedback(const int& messageBeep) : messageBeep_(&messageBeep) {}

int Feedback::Message(MessageKind kind, const std::string& text) {
  if (kind != MessageKind::Plain && *messageBeep_ == 1) Beep();
  return Present(kind, text);
}

int Feedback::ShowInfo(const std::string& text) { return Message(MessageKind::Info, text); }
int Feedback::AskRetryCancel(const std::string& text) { return Message(MessageKind::RetryCancel, text); }
int Feedback::AskOkCancel(const std::string& text) { return Message(MessageKind::OkCancel, text); }
void Feedback::ShowPlainMessage(const std::string& text) { Message(MessageKind::Plain, text); }

void Feedback::StartProgress(uint32_t units) {
  if (units > kMaxBarSteps) {
    barRange_ = static_cast<int>(kMaxBarSteps);
    stepSize_ = units / kMaxBarSteps;
  } else {
    barRange_ = static_cast<int>(units);
    stepSize_ = 1;
  }
  unitCounter_ = 0;
  barPosition_ = 0;
  pumpsSinceStart_ = 0;
  ShowBar(barPosition_, barRange_);
}

void Feedback::StepProgress() {
  ++unitCounter_;
  if (unitCounter_ != stepSize_) return;
  PumpMessages();
  ++pumpsSinceStart_;
  ++barPosition_;
  // A bar of 51..99 units is full after 50 steps and stays full.
  ShowBar(barPosition_ < barRange_ ? barPosition_ : barRange_, barRange_);
  unitCounter_ = 0;
}

void Feedback::ResetProgress() {
  barPosition_ = 0;
  ShowBar(barPosition_, barRange_);
}

}  // namespace tav
