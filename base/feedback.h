// SPDX-License-Identifier: GPL-2.0-or-later
// The user-feedback services every other subsystem talks to: three kinds of
// modal message box, the status line, the progress bar with its message pump,
// and the cancel flag. Front ends (console, scripted test double, the Qt
// window) derive from Feedback and supply only the toolkit-specific parts;
// the rules that belong to no toolkit (when to beep, the progress
// arithmetic, when to pump) live here once.
#pragma once

#include <cstdint>
#include <string>

namespace tav {

// Button numbering of the message boxes; callers test only for kCancel.
enum Answer : int { kOk = 1, kCancel = 2, kRetry = 4 };

enum class MessageKind { Info, RetryCancel, OkCancel, Plain };

class Feedback {
public:
  // `messageBeep` is the MessageBeap setting; it is read at every message so
  // that a change in the settings takes effect at once.
  explicit Feedback(const int& messageBeep);
  // Reads `messageBeep` from now on. The session that owns the settings
  // binds the front end's feedback to them: the front end builds its
  // feedback before the session exists, so it cannot name them itself.
  void FollowMessageBeep(const int& messageBeep) { messageBeep_ = &messageBeep; }
  virtual ~Feedback() = default;
  Feedback(const Feedback&) = delete;
  Feedback& operator=(const Feedback&) = delete;

  // Message boxes. All but ShowPlainMessage beep first when MessageBeap is 1.
  int ShowInfo(const std::string& text);
  int AskRetryCancel(const std::string& text);
  int AskOkCancel(const std::string& text);
  void ShowPlainMessage(const std::string& text);

  // Status line and window.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void RepaintNow() = 0;
  virtual void EnableCancelButton(bool on) = 0;

  // Progress: at most 50 bar increments; PumpMessages runs once per increment.
  void StartProgress(uint32_t units);
  void StepProgress();
  void ResetProgress();
  virtual void PumpMessages() = 0;

  // The cancel flag ("Abbrechen"). Front ends set it from inside PumpMessages.
  int CancelRequested() const { return cancelRequested_; }
  void SetCancelRequested(int value) { cancelRequested_ = value ? 1 : 0; }

  // Progress state, readable for front ends and tests.
  uint32_t StepSize() const { return stepSize_; }
  uint32_t UnitCounter() const { return unitCounter_; }
  int BarPosition() const { return barPosition_; }
  int BarRange() const { return barRange_; }
  uint32_t PumpsSinceStart() const { return pumpsSinceStart_; }

protected:
  // Shows one box and returns the button pressed (kOk for Info and Plain).
  virtual int Present(MessageKind kind, const std::string& text) = 0;
  virtual void Beep() = 0;
  // Called whenever the bar's range or position changes.
  virtual void ShowBar(int position, int range) = 0;

private:
  int Message(MessageKind kind, const std::string& text);

  const int* messageBeep_;
  int cancelRequested_ = 0;
  uint32_t stepSize_ = 1;
  uint32_t unitCounter_ = 0;
  int barPosition_ = 0;
  int barRange_ = 0;
  uint32_t pumpsSinceStart_ = 0;
};

}  // namespace tav
