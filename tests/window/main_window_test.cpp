// SPDX-License-Identifier: GPL-2.0-or-later
// The main window as the toolkit builds it: whole captions, the lists'
// signals, Enter and the focus. Its busy indicator is the start test's.
#include "window_rig.h"

using namespace tav::window;
using Calls = QList<QVariantList>;  // a signal spy's record

class MainWindowTest : public QObject {
  Q_OBJECT

private slots:
  // Every control has an accessible name, lies inside the window and shows
  // its whole caption. The user's choices in the lists are reported, the
  // window's own filling is not.
  //
  // Enter clicks the focused push button; "Brennen", the default, takes it
  // only from a control that is no push button. A command disables the
  // focused button and enables it again: it gets the focus back, so that
  // the next Enter is not a click on "Brennen".
  void captionsListsAndEnter() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (QWidget* control : window.findChildren<QWidget*>(QRegularExpression("^\\d+$"))) {
      QVERIFY2(!control->accessibleName().isEmpty() && window.rect().contains(control->geometry()),
               qPrintable(control->objectName()));
      auto* button = qobject_cast<QAbstractButton*>(control);
      QVERIFY(button == nullptr || button->sizeHint().width() <= button->width());
    }
    QSignalSpy makers(&window, &MainWindow::ManufacturerChosen), devices(&window, &MainWindow::DeviceChosen);
    window.SetManufacturers({"Atmel", "Intel"}, 1);
    window.SetDevices({"AT89C51", "AT89C52", "AT89C55"}, 2);
    QTest::keyClick(window.Control(kManufacturerList), Qt::Key_Up);
    QTest::keyClick(window.Control(kDeviceList), Qt::Key_Up);
    QCOMPARE(Calls(makers) + Calls(devices), (Calls{{0}, {1}}));

    QSignalSpy clicks(&window, &MainWindow::ButtonClicked);
    for (int id : {kVerifyButton, kEraseButton, kFileNameField, kVerifyBox}) {
      window.Control(id)->setFocus();
      QTest::keyClick(window.Control(id), Qt::Key_Return);
    }
    QCOMPARE(Calls(clicks), (Calls{{kVerifyButton}, {kEraseButton}, {kProgramButton}, {kProgramButton}}));
    window.Control(kVerifyButton)->setFocus();
    for (int id : {kProgramButton, kVerifyButton, kBlankCheckButton}) window.SetControlEnabled(id, false);
    for (int id : {kProgramButton, kVerifyButton, kBlankCheckButton}) window.SetControlEnabled(id, true);
    QCOMPARE(window.focusWidget(), window.Control(kVerifyButton));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
