// SPDX-License-Identifier: GPL-2.0-or-later
// The window's feedback services: the box kinds as the user sees them and
// answers them, the progress bar, and "Abbrechen" reaching the
// cancel flag only when a progress step pumps the events.
#include <QFileInfo>
#include <QProgressBar>
#include <QtTest>

#include "app/window/message_box.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;

class WindowFeedbackTest : public QObject {
  Q_OBJECT

private slots:
  void boxesShowKindIconCaptionAndAnswer() {
    const int retryCancel = QMessageBox::Retry | QMessageBox::Cancel, okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const int info = QMessageBox::Information;
    const struct { MessageKind kind; QMessageBox::StandardButton press; int icon, buttons, answer; } rows[] = {
        {MessageKind::Info, QMessageBox::Ok, info, QMessageBox::Ok, kOk},
        {MessageKind::RetryCancel, QMessageBox::Retry, info, retryCancel, kRetry},
        {MessageKind::RetryCancel, QMessageBox::Cancel, info, retryCancel, kCancel},
        {MessageKind::OkCancel, QMessageBox::Ok, info, okCancel, kOk},
        {MessageKind::OkCancel, QMessageBox::Cancel, info, okCancel, kCancel},
        {MessageKind::Plain, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, kOk}};
    MainWindow window;
    int beep = 1;
    WindowFeedback feedback(beep, window);
    const std::string text = "Fehler an Adresse 0x0010 !\n\nSoll <weiter> & fort?";
    for (const auto& row : rows) {
      const QString trace = QStringLiteral("kind %1, press %2").arg(int(row.kind)).arg(int(row.press));
      test::ModalScript script;
      QString title;
      int icon = -1, buttons = -1;
      script.Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        test::ModalScript::Press(box, row.press);
      });
      int answer = kOk;
      switch (row.kind) {
        case MessageKind::Info: answer = feedback.ShowInfo(text); break;
        case MessageKind::RetryCancel: answer = feedback.AskRetryCancel(text); break;
        case MessageKind::OkCancel: answer = feedback.AskOkCancel(text); break;
        case MessageKind::Plain: feedback.ShowPlainMessage(text); break;
      }
      QVERIFY2(answer == row.answer && icon == row.icon && buttons == row.buttons, qPrintable(trace));
      QCOMPARE(script.seen, QStringList{QString::fromStdString(text)});  // shown as plain text
      QCOMPARE(title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    }
  }

  void closingABoxWithoutAButtonIsItsSafeAnswer() {
    for (MessageKind kind : {MessageKind::RetryCancel, MessageKind::OkCancel, MessageKind::Info}) {
      std::unique_ptr<QMessageBox> box = MakeMessageBox(kind, QStringLiteral("x"), nullptr);
      QTimer::singleShot(0, box.get(), [&box] { box->reject(); });
      QCOMPARE(RunMessageBox(*box), kind == MessageKind::Info ? int(kOk) : int(kCancel));
    }
  }

  void barFollowsTheOperation() {
    MainWindow window;
    int beep = 0;
    WindowFeedback feedback(beep, window);
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("1019"));
    feedback.StartProgress(100);
    QCOMPARE(bar->maximum(), 50);
    QCOMPARE(bar->value(), 0);
    for (int i = 0; i < 5; ++i) feedback.StepProgress();
    QCOMPARE(bar->value(), 2);
    feedback.ResetProgress();
    QCOMPARE(bar->value(), 0);
    // An empty operation shows an empty bar, not an endless "busy" one.
    feedback.StartProgress(0);
    QVERIFY(bar->maximum() > bar->minimum());
    QCOMPARE(bar->value(), 0);
  }

  void cancelTakesEffectAtTheNextPumpAndOnlyWhenEnabled() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int beep = 0;
    WindowFeedback feedback(beep, window);
    // The click raises the flag as the window behaviour does.
    connect(&window, &MainWindow::ButtonClicked, this, [&feedback](int id) {
      if (id == kCancelButton) feedback.SetCancelRequested(1);
    });
    QPushButton* cancel = window.Button(kCancelButton);
    QVERIFY(!cancel->isEnabled());
    // A click queued while the button is disabled does nothing.
    feedback.StartProgress(4);
    QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
    feedback.StepProgress();
    QCOMPARE(feedback.CancelRequested(), 0);

    feedback.EnableCancelButton(true);
    QVERIFY(cancel->isEnabled());
    feedback.StartProgress(200);  // a pump every fourth step
    QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
    for (int i = 0; i < 3; ++i) feedback.StepProgress();
    QCOMPARE(feedback.CancelRequested(), 0);
    feedback.StepProgress();
    QCOMPARE(feedback.CancelRequested(), 1);
    feedback.EnableCancelButton(false);
    QVERIFY(!cancel->isEnabled());
  }
};

QTEST_MAIN(WindowFeedbackTest)
#include "window_feedback_test.moc"
