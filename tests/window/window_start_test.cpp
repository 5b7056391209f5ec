// SPDX-License-Identifier: GPL-2.0-or-later
// The window's life cycle through the toolkit: start-up, the title from the
// version record, the controls' signals reaching the behaviour, the busy
// marker seen from outside with the socket prompt up, the close, and the
// program's answers without a display.
#include "app/version/elf_version_source.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;

// Another copy of the window program, in this working directory and without
// a display, on the toolkit's platform given: its exit code and its output.
static QString Program(const QStringList& arguments, const char* platform = "offscreen") {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.insert("QT_QPA_PLATFORM", platform);
  program.setProcessEnvironment(environment);
  program.start(TAVROLITH_WINDOW_BIN_DIR "/tavrolith", arguments);
  if (!program.waitForFinished(30000)) return "hangs";
  return QString::number(program.exitCode()) + ":" + QString::fromUtf8(program.readAllStandardOutput());
}

class WindowStartTest : public QObject {
  Q_OBJECT

private slots:
  // Without a word the window takes its title from the program's version
  // record, device and position from the settings; its moves (a minimised
  // window's corner is not kept), boxes and lists reach the behaviour.
  //
  // While a command runs (its socket prompt up) the busy indicator covers
  // the logo (placed by the client corner the window reports), a close (or
  // Escape) is refused, and another copy sees the marker: for the real port
  // it ends silently, a simulated one does not touch the port and runs (it
  // leaves its screenshot). Afterwards the indicator is gone, and the close
  // saves the outer corner and tells to take the chip out.
  void startUpCommandAndClose() {
    ElfVersionSource version(TAVROLITH_WINDOW_BIN_DIR);
    test::WindowRig rig(&version, "[Brastel INI-Section]\nX-Koord=30\nY-Koord=40\nDeviceIndex=3\n");
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Brastel V1.39"));
    QCOMPARE(rig.List(kDeviceList)->currentText(), QStringLiteral("AT89C1051"));
    QCOMPARE(rig.window.pos(), QPoint(30, 40));
    rig.window.show();
    rig.window.move(40, 30);
    const QPoint corner = rig.window.mapToGlobal(QPoint(0, 0));
    QTRY_COMPARE(QPoint(rig.settings().XKoord, rig.settings().YKoord), corner);
    emit rig.window.ClientMoved(QPoint(-32000, -32000));
    emit rig.window.Minimised();
    QCOMPARE(QPoint(rig.settings().XKoord, rig.settings().YKoord), corner);
    QTest::mouseClick(rig.window.CheckBox(kVerifyBox), Qt::LeftButton);
    QCOMPARE(rig.settings().Verify, 0);
    emit rig.List(kDeviceList)->activated(4);
    QCOMPARE(rig.run.CurrentSession().Device().DeviceName, std::string("AT89C2051"));
    emit rig.List(kManufacturerList)->activated(1);
    QVERIFY(rig.settings().ManufIndex > 0 && rig.List(kDeviceList)->currentIndex() == 0);

    const QString shot = QDir::currentPath() + "/second.png";
    QString during;
    rig.script.Then([&](QWidget* modal) {
      const QRect logo(rig.window.mapToGlobal(rig.window.LogoPosition()), QSize(75, 75));
      const auto* busy = rig.window.findChild<BusyIndicator*>();
      during = busy && busy->isVisible() && busy->geometry().contains(logo) ? "covered" : "bare";
      QTest::keyClick(&rig.window, Qt::Key_Escape);
      during += rig.window.close() || !rig.window.isVisible() ? " closed" : " open";
      const QStringList options = {"--busy-marker-dir", QDir::currentPath(), "--screenshot", shot};
      for (const QStringList& arguments : {options, QStringList{"--simulate"} + options}) {
        during += " " + Program(arguments);
        during += QString::number(QFile::exists(shot));
      }
      test::ModalScript::Press(modal, QMessageBox::Cancel);
    });
    rig.Click(kBlankCheckButton);
    QCOMPARE(during, QStringLiteral("covered open 0:0 0:1"));
    QVERIFY(rig.window.isVisible() && rig.window.findChild<BusyIndicator*>() == nullptr);

    rig.script.Answer(QMessageBox::Ok);
    QVERIFY(rig.window.close());
    QCOMPARE(rig.script.seen.last(), QStringLiteral("Baustein jetzt unbedingt\naus dem Sockel nehmen !!!"));
    const QPoint outer = rig.window.frameGeometry().topLeft();
    const std::string saved = QString::asprintf("X-Koord=%d\nY-Koord=%d\n", outer.x(), outer.y()).toStdString();
    QVERIFY(test::Slurp(rig.directory.Path() / "QUENVALD.INI").find(saved) != std::string::npos);
    // Without a version record the title reads "Brastel V.".
    ElfVersionSource nowhere(TAVROLITH_SOURCE_DIR "/tests/window");
    QCOMPARE(test::WindowRig(&nowhere).window.windowTitle(), QStringLiteral("Brastel V."));
  }

  // Help and version are answered without a display, in German.
  void helpAndVersionNeedNoDisplay() {
    const QString help = Program({"--help"}, "xcb"), version = Program({"--version"}, "xcb");
    QVERIFY2(help.startsWith("0:Aufruf: tavrolith") && !help.contains("Usage") && version.startsWith("0:tavrolith V"),
             qPrintable(help + version));
  }
};

QTEST_MAIN(WindowStartTest)
#include "window_start_test.moc"
