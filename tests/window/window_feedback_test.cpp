// The window's feedback services: the box kinds as the user sees them and
// answers them, the status line and bar, and "Abbrechen" reaching the
// cancel flag only when a progress step pumps the events.
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "app/window/main_window.h"
#include "app/window/message_box.h"
#include "app/window/window_feedback.h"
#include "box_answerer.h"

using namespace tav;
using namespace tav::window;

class WindowFeedbackTest : public QObject {
  Q_OBJECT

private slots:
  void boxesShowKindIconCaptionAndAnswer_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("expected");
    const int info = QMessageBox::Information;
    QTest::newRow("info") << int(MessageKind::Info) << int(QMessageBox::Ok) << info << int(QMessageBox::Ok)
                          << int(kOk);
    QTest::newRow("retry") << int(MessageKind::RetryCancel) << int(QMessageBox::Retry) << info
                           << int(QMessageBox::Retry | QMessageBox::Cancel) << int(kRetry);
    QTest::newRow("retry cancelled") << int(MessageKind::RetryCancel) << int(QMessageBox::Cancel) << info
                                     << int(QMessageBox::Retry | QMessageBox::Cancel) << int(kCancel);
    QTest::newRow("ok") << int(MessageKind::OkCancel) << int(QMessageBox::Ok) << info
                        << int(QMessageBox::Ok | QMessageBox::Cancel) << int(kOk);
    QTest::newRow("ok cancelled") << int(MessageKind::OkCancel) << int(QMessageBox::Cancel) << info
                                  << int(QMessageBox::Ok | QMessageBox::Cancel) << int(kCancel);
    QTest::newRow("plain") << int(MessageKind::Plain) << int(QMessageBox::Ok) << int(QMessageBox::NoIcon)
                           << int(QMessageBox::Ok) << int(kOk);
  }

  void boxesShowKindIconCaptionAndAnswer() {
    QFETCH(int, kind);
    QFETCH(int, press);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, expected);
    MainWindow window;
    int beep = 1;
    WindowFeedback feedback(beep, window);
    const std::string text = "Fehler an Adresse 0x0010 !\n\nSoll <weiter> & fort?";
    BoxAnswerer answerer(static_cast<QMessageBox::StandardButton>(press));
    int answer = 0;
    switch (static_cast<MessageKind>(kind)) {
      case MessageKind::Info: answer = feedback.ShowInfo(text); break;
      case MessageKind::RetryCancel: answer = feedback.AskRetryCancel(text); break;
      case MessageKind::OkCancel: answer = feedback.AskOkCancel(text); break;
      case MessageKind::Plain: feedback.ShowPlainMessage(text); answer = kOk; break;
    }
    QVERIFY(answerer.seen);
    QCOMPARE(answer, expected);
    QCOMPARE(int(answerer.icon), icon);
    QCOMPARE(int(answerer.buttons), buttons);
    QCOMPARE(answerer.text, QString::fromStdString(text));
    QCOMPARE(answerer.title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QCOMPARE(answerer.title, QStringLiteral("window_feedback_test"));
  }

  void closingABoxWithoutAButtonIsItsSafeAnswer() {
    for (MessageKind kind : {MessageKind::RetryCancel, MessageKind::OkCancel, MessageKind::Info}) {
      std::unique_ptr<QMessageBox> box = MakeMessageBox(kind, QStringLiteral("x"), nullptr);
      QTimer::singleShot(0, box.get(), [&box] { box->reject(); });
      QCOMPARE(RunMessageBox(*box), kind == MessageKind::Info ? int(kOk) : int(kCancel));
    }
  }

  void statusAndBarFollowTheOperation() {
    MainWindow window;
    int beep = 0;
    WindowFeedback feedback(beep, window);
    feedback.SetStatus("Lese Baustein ...");
    feedback.RepaintNow();
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("1016"))->text(), QStringLiteral("Lese Baustein ..."));
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
