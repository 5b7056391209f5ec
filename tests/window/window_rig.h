// SPDX-License-Identifier: GPL-2.0-or-later
// What the window tests need around a running window: a scratch working
// directory with the sample library, modal dialogs answered from a script,
// and the window on a simulated session.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
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

// Answers modal dialogs in order from inside their own event loops. A
// dialog with no step left is recorded as unexpected and closed, so that a
// test fails instead of hanging.
class ModalScript : public QObject {
public:
  using Step = std::function<void(QWidget* modal)>;

  ModalScript() {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(2);
  }

  QStringList seen;  // a message box's text, else the dialog's title
  QStringList unexpected;

  void Then(Step step) { steps_.push_back(std::move(step)); }
  // The next message box is answered with `button`; `also` runs while it is up.
  void Answer(QMessageBox::StandardButton button, std::function<void()> also = {}) {
    Then([button, also](QWidget* modal) {
      if (also) also();
      Press(modal, button);
    });
  }
  void AnswerRestWithOk() { restOk_ = true; }  // OK (or Retry) once the steps run dry

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

// The toolkit's own file dialog filled as a user fills it: the filter
// chosen by its position, the name typed, the accept button clicked.
inline QPushButton* AcceptButton(QFileDialog& dialog) {
  auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  return buttons->button(dialog.acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save : QDialogButtonBox::Open);
}
// False when the dialog never became active.
inline bool FillFileDialog(QWidget* modal, const QString& name, int position) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  types->setCurrentIndex(position - 1);
  emit types->activated(position - 1);
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  dialog->activateWindow();
  if (!QTest::qWaitForWindowActive(dialog)) return false;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, name);
  // A name typed with the focus in the field drops the file selected in the
  // list, as it does for a user; the offscreen platform does not always
  // give the focus, so the list lets go here.
  if (!edit->hasFocus()) dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
  AcceptButton(*dialog)->click();
  return true;  // a bool, so that callers can QVERIFY it inside their steps
}

// The window on the simulated board (or the options given), in a scratch
// directory with the sample library; its file dialogs are the toolkit's.
struct WindowRig {
  explicit WindowRig(SessionOptions options = SimulatedOptions(), VersionRecordSource* version = nullptr)
      : marker(directory.Path().string()), run(window, feedback, marker, chooser, std::move(options), version) {}

  static SessionOptions SimulatedOptions() {
    SessionOptions options;
    options.simulator = SimulatorOptions{};
    return options;
  }
  Settings& settings() { return run.CurrentSession().CurrentSettings(); }
  void Click(int id) { window.Button(id)->click(); }
  QComboBox* List(int id) const { return qobject_cast<QComboBox*>(window.Control(id)); }
  QString FileName() const { return qobject_cast<QLineEdit*>(window.Control(window::kFileNameField))->text(); }
  // One letter a control: "1" enabled (or ticked), "0" not.
  QString States(std::initializer_list<int> ids, bool ticks = false) const {
    QString states;
    for (int id : ids) states += (ticks ? window.IsChecked(id) : window.Control(id)->isEnabled()) ? '1' : '0';
    return states;
  }

  StartUpDirectory directory{"tav_window"};
  window::MainWindow window;
  const int beep = 0;
  window::WindowFeedback feedback{beep, window};
  MachineBusyMarker marker;
  window::DialogFileChooser chooser{&window};
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
