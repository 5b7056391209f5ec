// SPDX-License-Identifier: GPL-2.0-or-later
// The window's feedback services: the box kinds as the user sees them and
// answers them, the progress bar, and "Abbrechen" reaching the running
// operation's cancel flag when a progress step pumps the events.
#include "app/window/message_box.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;

class WindowFeedbackTest : public QObject {
  Q_OBJECT

private slots:
  // Each kind's icon, buttons and answer; the text shown as plain text under
  // the program's name; a box closed without a button gives its safe answer.
  void boxesShowKindIconCaptionAndAnswer() {
    using B = QMessageBox;
    using K = MessageKind;
    const int ok = B::Ok, okCancel = B::Ok | B::Cancel, retry = B::Retry | B::Cancel, info = B::Information;
    const struct { MessageKind kind; B::StandardButton press; int icon, buttons, answer; } rows[] = {
        {K::Info, B::Ok, info, ok, kOk}, {K::Info, B::NoButton, info, ok, kOk}, {K::Plain, B::Ok, B::NoIcon, ok, kOk},
        {K::OkCancel, B::Ok, info, okCancel, kOk}, {K::OkCancel, B::Cancel, info, okCancel, kCancel},
        {K::OkCancel, B::NoButton, info, okCancel, kCancel}, {K::RetryCancel, B::Retry, info, retry, kRetry},
        {K::RetryCancel, B::Cancel, info, retry, kCancel}, {K::RetryCancel, B::NoButton, info, retry, kCancel}};
    for (const auto& row : rows) {
      test::ModalScript script;
      script.Answer(row.press);
      const std::unique_ptr<B> box = MakeMessageBox(row.kind, "Soll <weiter> & fort?", nullptr);
      const int answer = RunMessageBox(*box);
      QCOMPARE((QList<int>{box->icon(), int(box->standardButtons()), answer, box->textFormat()}),
               (QList<int>{row.icon, row.buttons, row.answer, Qt::PlainText}));
      QCOMPARE(box->windowTitle(), QCoreApplication::applicationName());
    }
  }

  // The bar follows the steps; an empty operation shows an empty bar, not
  // an endless "busy" one. A click on "Abbrechen" reaches the flag at the
  // next pump (every fourth step of 200 units); it is enabled only while
  // an operation asks for it.
  void barAndCancelFollowTheOperation() {
    test::WindowRig rig;
    auto* bar = rig.window.findChild<QProgressBar*>(QString::number(kProgressBar));
    rig.feedback.StartProgress(100);
    for (int i = 0; i < 5; ++i) rig.feedback.StepProgress();
    QCOMPARE(QPoint(bar->maximum(), bar->value()), QPoint(50, 2));
    rig.feedback.StartProgress(0);
    QVERIFY(bar->maximum() > bar->minimum() && bar->value() == 0);

    rig.feedback.EnableCancelButton(true);
    rig.feedback.StartProgress(200);
    QMetaObject::invokeMethod(rig.window.Button(kCancelButton), &QPushButton::click, Qt::QueuedConnection);
    for (int i = 0; i < 3; ++i) rig.feedback.StepProgress();
    QCOMPARE(rig.feedback.CancelRequested(), 0);
    rig.feedback.StepProgress();
    QCOMPARE(rig.feedback.CancelRequested(), 1);
    rig.feedback.EnableCancelButton(false);
    QVERIFY(!rig.window.Button(kCancelButton)->isEnabled());
  }
};

QTEST_MAIN(WindowFeedbackTest)
#include "window_feedback_test.moc"
