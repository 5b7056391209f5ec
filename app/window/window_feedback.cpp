// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/window_feedback.h"

#include <QApplication>
#include <QEventLoop>

#include "app/window/main_window.h"
#include "app/window/message_box.h"

namespace tav::window {

WindowFeedback::WindowFeedback(const int& messageBeep, MainWindow& window)
    : Feedback(messageBeep), window_(window) {}

void WindowFeedback::SetStatus(const std::string& text) { window_.SetStatusText(QString::fromStdString(text)); }

void WindowFeedback::RepaintNow() {
  // Operations run on the event thread, so an ordinary update would wait
  // for the next pump; the status text must be visible now.
  window_.repaint();
}

void WindowFeedback::EnableCancelButton(bool on) { window_.SetControlEnabled(kCancelButton, on); }

void WindowFeedback::PumpMessages() {
  // Everything already queued, without waiting for more: clicks on
  // "Abbrechen", repaints and close requests.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int WindowFeedback::Present(MessageKind kind, const std::string& text) {
  std::unique_ptr<QMessageBox> box = MakeMessageBox(kind, QString::fromStdString(text), &window_);
  return RunMessageBox(*box);
}

void WindowFeedback::Beep() { QApplication::beep(); }

void WindowFeedback::ShowBar(int position, int range) { window_.ShowProgress(position, range); }

}  // namespace tav::window
