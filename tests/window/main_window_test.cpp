// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's controls, geometry, default button and signals, and
// the busy indicator over its logo.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/window/busy_indicator.h"
#include "app/window/dialog_units.h"
#include "app/window/main_window.h"

using namespace tav::window;

namespace {
using Calls = QList<QVariantList>;  // a signal spy's record
bool Shown(QWidget& widget) {
  widget.show();
  return QTest::qWaitForWindowExposed(&widget);
}
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

private slots:
  void dialogUnitsRoundToNearestPixelAndShareEdges() {
    // The classic 8-point base units: 266 x 149 units, the logo at 311, 102.
    const DialogUnits classic(6, 13);
    QCOMPARE(classic.Size(266, 149), QSize(399, 242));
    QCOMPARE(QPoint(classic.X(207), classic.Y(63)), QPoint(311, 102));
    QCOMPARE(classic.X(1), 2);  // 1.5 rounds up
    // Neighbouring rectangles meet without a gap or overlap.
    const DialogUnits odd(7, 15);
    for (int x = 0; x < 40; ++x) {
      QCOMPARE(odd.Rect(x, x, 13, 9).right() + 1, odd.Rect(x + 13, x + 9, 5, 5).left());
      QCOMPARE(odd.Rect(x, x, 13, 9).bottom() + 1, odd.Rect(x + 13, x + 9, 5, 5).top());
    }
    const DialogUnits measured = DialogUnits::FromFont(DialogUnits::DialogFont());
    QVERIFY(measured.BaseWidth() >= 4 && measured.BaseWidth() <= 10);
    QVERIFY(measured.BaseHeight() >= 9 && measured.BaseHeight() <= 20);
  }

  // Every control carries its id as its name and an accessible name (a
  // button's or box's caption), lies inside the window and shows its whole
  // caption.
  void controlsCarryIdsCaptionsAndAccessibleNames() {
    MainWindow window;
    int controls = 0;
    for (QWidget* control : window.findChildren<QWidget*>()) {
      bool numbered = false;
      const int id = control->objectName().toInt(&numbered);
      if (!numbered) continue;
      ++controls;
      QCOMPARE(window.Control(id), control);
      QVERIFY(!control->accessibleName().isEmpty());
      if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(control->accessibleName(), button->text());
        QCOMPARE_LE(control->sizeHint().width(), control->width());
      }
      QVERIFY(QRect(QPoint(0, 0), window.size()).contains(control->geometry()));
    }
    QCOMPARE(controls, 20);
    QCOMPARE(qobject_cast<QLabel*>(window.Control(kStatusLine))->text(), QStringLiteral("Warte auf Eingaben"));
  }

  // Fixed size in dialog units, minimise only, the title with the version,
  // the option boxes framed in their groups and the logo beside them.
  void frameGroupsAndLogo() {
    MainWindow window;
    const QSize expected = DialogUnits::FromFont(window.font()).Size(266, 149);
    QCOMPARE(window.minimumSize(), expected);
    QCOMPARE(window.maximumSize(), expected);
    QCOMPARE(window.font().pointSize(), 8);
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint) && !flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(window.windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
    QCOMPARE(window.windowTitle(), QStringLiteral("Brastel"));

    auto* options = window.findChild<QGroupBox*>(QStringLiteral("Optionen"));
    auto* locks = window.findChild<QGroupBox*>(QStringLiteral("Schutzbits"));
    QVERIFY(options && locks);
    for (int id : {kVerifyBox, kIdCheckBox, kFfSaveBox, kChecksumBox}) {
      QVERIFY2(options->geometry().contains(window.Control(id)->geometry()), qPrintable(QString::number(id)));
    }
    for (int id : {kLock1Box, kLock2Box, kLock3Box}) {
      QVERIFY(locks->geometry().contains(window.Control(id)->geometry()));
      QCOMPARE(window.Control(id)->y(), window.Control(kLock1Box)->y());
    }
    auto* logo = window.findChild<QLabel*>(QStringLiteral("Logo"));
    QVERIFY(logo != nullptr);
    QCOMPARE(logo->size(), QSize(75, 75));
    QCOMPARE(logo->pixmap().size(), QSize(75, 75));
    QVERIFY(logo->x() > options->geometry().right() && logo->geometry().bottom() < locks->y());
    QVERIFY(QRect(QPoint(0, 0), window.size()).contains(logo->geometry()));
  }

  // Enter clicks the focused push button; "Brennen", the default, takes it
  // only from a control that is no push button. After a command the focus
  // is back where it was, so a stray Enter repeats nothing else.
  void enterPressesTheFocusedButtonElseBrennen() {
    MainWindow window;
    QVERIFY(Shown(window));
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
      QCOMPARE(button->isDefault(), button == window.Button(kProgramButton));
    }
    const struct { int focused; int clicked; } rows[] = {
        {kVerifyButton, kVerifyButton}, {kBlankCheckButton, kBlankCheckButton}, {kEraseButton, kEraseButton},
        {kPrefsButton, kPrefsButton},   {kFileNameField, kProgramButton},        {kVerifyBox, kProgramButton}};
    for (const auto& row : rows) {
      QSignalSpy clicks(&window, &MainWindow::ButtonClicked);
      window.Control(row.focused)->setFocus();
      QTest::keyClick(window.Control(row.focused), Qt::Key_Return);
      QCOMPARE(Calls(clicks), Calls{{row.clicked}});
    }
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // A command disables the focused button and enables it again: it gets
    // the focus back, so that the next Enter is not a click on "Brennen".
    window.Control(kVerifyButton)->setFocus();
    for (int id : {kProgramButton, kVerifyButton, kBlankCheckButton}) window.SetControlEnabled(id, false);
    for (int id : {kProgramButton, kVerifyButton, kBlankCheckButton}) window.SetControlEnabled(id, true);
    QCOMPARE(window.focusWidget(), window.Control(kVerifyButton));
  }

  void userChoicesAreReportedButFillingIsNot() {
    MainWindow window;
    window.show();
    QSignalSpy manufacturer(&window, &MainWindow::ManufacturerChosen);
    QSignalSpy device(&window, &MainWindow::DeviceChosen);
    QSignalSpy boxes(&window, &MainWindow::CheckBoxClicked);
    window.SetManufacturers({QStringLiteral("Atmel"), QStringLiteral("Intel")}, 1);
    window.SetDevices({QStringLiteral("AT89C51"), QStringLiteral("AT89C52"), QStringLiteral("AT89C55")}, 2);
    window.SetChecked(kLock2Box, true);
    QCOMPARE(manufacturer.count() + device.count() + boxes.count(), 0);
    QCOMPARE(qobject_cast<QComboBox*>(window.Control(kDeviceList))->currentText(), QStringLiteral("AT89C55"));

    QTest::keyClick(window.Control(kManufacturerList), Qt::Key_Up);
    QTest::keyClick(window.Control(kDeviceList), Qt::Key_Up);
    // A click toggles the box first, then reports the new state.
    QTest::mouseClick(window.CheckBox(kLock2Box), Qt::LeftButton);
    QCOMPARE(Calls(manufacturer) + Calls(device), (Calls{{0}, {1}}));
    QCOMPARE(Calls(boxes), (Calls{{int(kLock2Box), false}}));
    QVERIFY(!window.IsChecked(kLock2Box));
  }

  void closeGuardKeepsTheWindowOpenAgainstCloseAndEscape() {
    MainWindow window;
    bool busy = true;
    window.SetCloseGuard([&busy] { return !busy; });
    QSignalSpy closing(&window, &MainWindow::Closing);
    QVERIFY(Shown(window));
    window.close();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.isVisible() && closing.isEmpty());
    busy = false;
    QVERIFY(window.close() && !window.isVisible());
    QCOMPARE(closing.count(), 1);
  }

  // Moves report the client-area corner, which places the busy indicator
  // over the logo.
  void busyIndicatorCoversTheLogo() {
    MainWindow window;
    QVERIFY(Shown(window));
    QSignalSpy moved(&window, &MainWindow::ClientMoved);
    window.move(40, 30);
    QTRY_VERIFY(!moved.isEmpty());
    const QPoint clientCorner = window.mapToGlobal(QPoint(0, 0));
    QCOMPARE(moved.last().at(0).toPoint(), clientCorner);
    BusyIndicator busy(clientCorner);
    QVERIFY(Shown(busy));
    QCOMPARE(busy.windowTitle(), QStringLiteral("Quenvaldokraft"));
    QVERIFY(busy.windowFlags().testFlag(Qt::FramelessWindowHint));
    const DialogUnits units = DialogUnits::FromFont(busy.font());
    QCOMPARE(busy.pos(), clientCorner + MainWindow::LogoOffset(units));
    QCOMPARE(busy.size(), units.Size(50, 50));
    QVERIFY(busy.geometry().contains(QRect(window.mapToGlobal(window.LogoPosition()), QSize(75, 75))));
    auto* picture = busy.findChild<QLabel*>(QStringLiteral("BusyPicture"));
    QVERIFY(picture != nullptr);
    QCOMPARE(picture->pixmap().size(), QSize(64, 64));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
