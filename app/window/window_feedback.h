// SPDX-License-Identifier: GPL-2.0-or-later
// The feedback services drawn by the main window: message boxes captioned
// with the program's name, the desktop's beep, the status line, the
// progress bar and the "Abbrechen" button, whose click reaches the cancel
// flag when the next progress step pumps the pending events.
#pragma once

#include <QObject>

#include "base/feedback.h"

namespace tav::window {

class MainWindow;

class WindowFeedback : public QObject, public Feedback {
  Q_OBJECT

public:
  WindowFeedback(const int& messageBeep, MainWindow& window);

  void SetStatus(const std::string& text) override;
  void RepaintNow() override;
  void EnableCancelButton(bool on) override;
  void PumpMessages() override;

protected:
  int Present(MessageKind kind, const std::string& text) override;
  void Beep() override;
  void ShowBar(int position, int range) override;

private:
  MainWindow& window_;
};

}  // namespace tav::window
