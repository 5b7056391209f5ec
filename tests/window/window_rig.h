// What the window tests need around a running window: a scratch working
// directory with the sample library, a script that answers every modal
// dialog from inside its own event loop, a file chooser that answers from a
// queue, and the window wired to a simulated session.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>

#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"
#include "app/window/window_session.h"
#include "tests/start_up_directory.h"

namespace tav::test {

// Answers modal dialogs in order. Each step gets the dialog; a dialog with
// no step left is recorded as unexpected and closed, so that a test fails
// instead of hanging.
class ModalScript : public QObject {
public:
  using Step = std::function<void(QWidget* modal)>;

  ModalScript() {
    timer_.setInterval(2);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }

  // Every dialog seen: a message box's text, else the dialog's title.
  QStringList seen;
  QStringList unexpected;

  void Then(Step step) { steps_.push_back(std::move(step)); }
  // The next dialog is a message box, answered with `button`; `also` runs
  // first (while the box is up).
  void Answer(QMessageBox::StandardButton button, std::function<void()> also = {}) {
    Then([this, button, also](QWidget* modal) {
      if (also) also();
      Press(modal, button);
    });
  }
  // Message boxes answered with OK (or Retry) until the script runs dry.
  void AnswerRestWithOk() { restOk_ = true; }
  size_t Left() const { return steps_.size(); }

  static void Press(QWidget* modal, QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return;
    if (QAbstractButton* pressed = box->button(button)) pressed->click();
    else box->reject();
  }

private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen << (box ? box->text() : modal->windowTitle());
    if (!steps_.empty()) {
      Step step = std::move(steps_.front());
      steps_.pop_front();
      step(modal);
    } else if (restOk_ && box) {
      Press(box, box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Retry);
    } else {
      unexpected << seen.back();
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
  }

  std::deque<Step> steps_;
  bool restOk_ = false;
  QTimer timer_;
};

// Answers the file dialogs from a queue; an empty queue cancels.
class ScriptedChooser : public window::FileChooser {
public:
  std::deque<window::FileChoice> answers;
  std::vector<FileDialogSetup> shown;

  bool Choose(const FileDialogSetup& setup, window::FileChoice& choice) override {
    shown.push_back(setup);
    if (answers.empty()) return false;
    choice = answers.front();
    answers.pop_front();
    return true;
  }
};

// The window on the simulated board (or the options given), in a scratch
// directory with the sample library.
struct WindowRig {
  explicit WindowRig(SessionOptions options = SimulatedOptions(), VersionRecordSource* version = nullptr)
      : marker(directory.Path().string()),
        run(window, feedback, marker, chooser, std::move(options), version) {}

  static SessionOptions SimulatedOptions() {
    SessionOptions options;
    options.simulator = SimulatorOptions{};
    return options;
  }
  Settings& settings() { return run.CurrentSession().CurrentSettings(); }
  void Click(int id) { window.Button(id)->click(); }
  // Every input control that a command disables.
  bool AnyInputEnabled() const {
    for (int id : {window::kProgramButton, window::kVerifyButton, window::kBlankCheckButton, window::kReadButton,
                   window::kNewFileButton, window::kPrefsButton, window::kManufacturerList, window::kDeviceList,
                   window::kVerifyBox, window::kFileNameField}) {
      if (window.Control(id)->isEnabled()) return true;
    }
    return false;
  }

  StartUpDirectory directory{"tav_window"};
  window::MainWindow window;
  const int beep = 0;
  window::WindowFeedback feedback{beep, window};
  MachineBusyMarker marker;
  ScriptedChooser chooser;
  window::WindowSession run;
};

// The busy indicator windows now on the screen.
inline int BusyIndicators() {
  int count = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<window::BusyIndicator*>(widget) && widget->isVisible()) ++count;
  }
  return count;
}

}  // namespace tav::test
