// Answers the next modal message box from inside its own event loop and
// records what it showed, so that tests can run code that asks the user.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

class BoxAnswerer : public QObject {
public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }

  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;

private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    timer_.stop();
    seen = true;
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    if (box->defaultButton() != nullptr) defaultButton = box->standardButton(box->defaultButton());
    if (QAbstractButton* button = box->button(answer_)) {
      button->click();
    } else {
      box->reject();
    }
  }

  QMessageBox::StandardButton answer_;
  QTimer timer_;
};
