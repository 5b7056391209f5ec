// SPDX-License-Identifier: GPL-2.0-or-later
// What the window tests need around a running window: a scratch working
// directory with the sample library, modal dialogs answered from a script,
// and the window on a simulated session.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <deque>

#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"
#include "app/window/window_session.h"
#include "tests/start_up_directory.h"

namespace tav::test {

// Answers modal dialogs in order from inside their own event loops. A
// dialog with no step left fails the test and is closed, so that the test
// does not hang.
class ModalScript : public QObject {
public:
  using Step = std::function<void(QWidget* modal)>;
  ModalScript() { startTimer(2); }

  QStringList seen;  // a message box's text, else the dialog's title

  void Then(Step step) { steps_.push_back(std::move(step)); }
  void Answer(QMessageBox::StandardButton button) { Then([button](QWidget* modal) { Press(modal, button); }); }
  // A button the box does not have closes it without one.
  static void Press(QWidget* modal, QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (QAbstractButton* pressed = box ? box->button(button) : nullptr) pressed->click();
    else qobject_cast<QDialog*>(modal)->reject();
  }

protected:
  void timerEvent(QTimerEvent*) override {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    seen << (box ? box->text() : modal->windowTitle());
    if (!steps_.empty()) {
      const Step step = std::move(steps_.front());
      steps_.pop_front();
      return step(modal);
    }
    QTest::qFail(qPrintable("unexpected dialog: " + seen.back()), __FILE__, __LINE__);
    Press(modal, QMessageBox::NoButton);
  }

private:
  std::deque<Step> steps_;
};

// The toolkit's own file dialog filled as a user fills it: the filter
// chosen by its position, the name typed, the accept button clicked.
inline void FillFileDialog(QWidget* modal, const QString& name, int position) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  types->setCurrentIndex(position - 1);
  emit types->activated(position - 1);
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  dialog->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(dialog));
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, name);
  // A name typed with the focus in the field drops the file selected in the
  // list, as it does for a user; the offscreen platform does not always
  // give the focus, so the list lets go here.
  if (!edit->hasFocus()) dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  const bool save = dialog->acceptMode() == QFileDialog::AcceptSave;
  buttons->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open)->click();
}

// The window started on the simulated board, in a scratch directory with
// the sample library and the settings file given; its dialogs are the
// toolkit's, answered by the script.
struct WindowRig {
  explicit WindowRig(VersionRecordSource* version = nullptr, const std::string& ini = "")
      : marker(directory.Path().string()), run(window, feedback, marker, chooser, Simulated(), version) {
    if (!ini.empty()) std::ofstream(directory.Path() / "QUENVALD.INI") << ini;
    run.StartUp();
  }
  static SessionOptions Simulated() { SessionOptions options; options.simulator.emplace(); return options; }
  Settings& settings() { return run.CurrentSession().CurrentSettings(); }
  void Click(int id) { window.Button(id)->click(); }
  QComboBox* List(int id) const { return qobject_cast<QComboBox*>(window.Control(id)); }

  StartUpDirectory directory{"tav_window"};
  ModalScript script;
  window::MainWindow window;
  const int beep = 0;
  window::WindowFeedback feedback{beep, window};
  MachineBusyMarker marker;
  window::DialogFileChooser chooser{&window};
  window::WindowSession run;
};

}  // namespace tav::test
