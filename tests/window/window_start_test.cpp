// SPDX-License-Identifier: GPL-2.0-or-later
// The window's life cycle through the toolkit: start-up with and without a
// board, the title from the version record, the position it keeps, the
// busy marker seen from outside, and the close.
#include <QProcess>
#include <QtTest>
#include <fstream>

#include "app/version/elf_version_source.h"
#include "link/programmer_link.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;
using test::ModalScript;
using test::WindowRig;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNoHardware = "Kann Hardware nicht finden !\n\nProgramm geht in den Demomodus.";

fs::path Ini(const WindowRig& rig) { return rig.directory.Path() / "QUENVALD.INI"; }
// Where a start without a settings file in the working directory saves.
fs::path UserIni(const WindowRig& rig) { return rig.directory.UserIni(); }
QString Q(const char* text) { return QString::fromUtf8(text); }

}  // namespace

class WindowStartTest : public QObject {
  Q_OBJECT

private slots:
  // Without a word the window takes boxes, file, list entries and position
  // from the settings, and the device's rules its controls.
  void boardFoundFillsTheWindowFromTheSettingsWithoutAWord() {
    ElfVersionSource version(TAVROLITH_WINDOW_BIN_DIR);
    WindowRig rig(WindowRig::SimulatedOptions(), &version);
    std::ofstream(Ini(rig)) << "[Brastel INI-Section]\nVerify=0\nFFSave=1\nLock2=1\nLock1=1\nX-Koord=30\n"
                               "Y-Koord=40\nManufIndex=0\nDeviceIndex=3\nLastFile=demo.hex\n";
    ModalScript script;
    rig.run.StartUp();
    QVERIFY2(script.seen.isEmpty(), qPrintable(script.seen.join("|")));
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Brastel V1.39"));
    QCOMPARE(rig.States({kVerifyBox, kFfSaveBox, kLock1Box, kLock2Box, kLock3Box}, true), QStringLiteral("01110"));
    QCOMPARE(rig.FileName(), QStringLiteral("demo.hex"));
    QCOMPARE(rig.List(kManufacturerList)->currentText(), QStringLiteral("Atmel"));
    QCOMPARE(rig.List(kDeviceList)->currentText(), QStringLiteral("AT89C1051"));
    // Two lock bits and a flash part.
    QCOMPARE(rig.States({kLock2Box, kLock3Box, kEraseButton, kCancelButton}), QStringLiteral("1010"));
    QCOMPARE(rig.window.pos(), QPoint(30, 40));
    QVERIFY(!fs::exists(rig.directory.Path() / "QUENVALD.INI.bak"));
    // The window's moves, boxes and lists reach the behaviour.
    emit rig.window.ClientMoved(QPoint(100, 120));
    emit rig.window.ClientMoved(QPoint(-32000, -32000));
    emit rig.window.Minimised();
    QCOMPARE(QPoint(rig.settings().XKoord, rig.settings().YKoord), QPoint(100, 120));
    QTest::mouseClick(rig.window.CheckBox(kVerifyBox), Qt::LeftButton);
    QCOMPARE(rig.settings().Verify, 1);
    emit rig.List(kDeviceList)->activated(4);
    QCOMPARE(rig.run.CurrentSession().Device().DeviceName, std::string("AT89C2051"));
    emit rig.List(kManufacturerList)->activated(1);
    QVERIFY(rig.settings().ManufIndex > 0);
    QCOMPARE(rig.List(kDeviceList)->currentIndex(), 0);
    // Without a version record the title reads "Brastel V.".
    ElfVersionSource nowhere(TAVROLITH_SOURCE_DIR "/tests/window");
    WindowRig bare(WindowRig::SimulatedOptions(), &nowhere);
    bare.run.StartUp();
    QCOMPARE(bare.window.windowTitle(), QStringLiteral("Brastel V."));
  }

  // No board: the searches with the settings dialog between them end in
  // demonstration mode, which the title shows.
  void noBoardEndsInDemonstrationModeShownInTheTitle() {
    SessionOptions options = WindowRig::SimulatedOptions();
    options.simulator->boardFaults.noBoard = true;
    WindowRig rig(options);
    std::ofstream(Ini(rig)) << "[Hardware]\nSearchHardware=2\n";
    ModalScript script;
    script.Answer(QMessageBox::Ok);
    script.Then([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    script.AnswerRestWithOk();
    rig.run.StartUp();
    const QString timeout = Q(kTimeoutMessage);
    QCOMPARE(script.seen, (QStringList{timeout, "Einstellungen", timeout, Q(kNoHardware)}));
    QVERIFY(rig.window.windowTitle().endsWith(QStringLiteral(" (Demomodus)")));
    QCOMPARE(script.unexpected, QStringList());
  }

  // While a command runs another marker, another copy of the program and a
  // close request all see it; afterwards none does.
  void theBusyMarkerIsSeenFromOutsideExactlyWhileACommandRuns() {
    WindowRig rig;
    rig.run.StartUp();
    rig.window.show();
    MachineBusyMarker other(rig.directory.Path().string());
    QCOMPARE(other.IsBusy(), kSuccess);
    ModalScript script;
    bool checked = false;
    script.Answer(QMessageBox::Cancel, [&] {  // at the socket prompt
      QCOMPARE(other.IsBusy(), kBusy);
      QCOMPARE(test::BusyIndicators(), 1);
      QVERIFY(!rig.window.close() && rig.window.isVisible());
      // A copy for the real port ends silently; a simulated one does not
      // touch the port and runs (it leaves its screenshot).
      const QString dir = QString::fromStdString(rig.directory.Path().string());
      const QString shot = dir + QStringLiteral("/second.png");
      const QStringList copies[] = {{"--busy-marker-dir", dir}, {"--simulate", "--busy-marker-dir", dir, "--screenshot", shot}};
      for (const QStringList& arguments : copies) {
        QProcess second;
        second.setWorkingDirectory(dir);
        second.start(QStringLiteral(TAVROLITH_WINDOW_BIN_DIR "/tavrolith"), arguments);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QFile::exists(shot), arguments.contains(QStringLiteral("--simulate")));
      }
      checked = true;
    });
    rig.Click(kBlankCheckButton);
    QVERIFY(checked);
    QCOMPARE(test::BusyIndicators(), 0);
    QCOMPARE(other.IsBusy(), kSuccess);
    QVERIFY(!fs::exists(UserIni(rig)));  // the refused close saved nothing
    QCOMPARE(script.unexpected, QStringList());
  }

  void closeSavesTheOuterCornerAndTellsToTakeTheChipOut() {
    WindowRig rig;
    rig.run.StartUp();
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    ModalScript script;
    script.Answer(QMessageBox::Ok);
    QVERIFY(rig.window.close());
    QCOMPARE(script.seen, QStringList{QStringLiteral("Baustein jetzt unbedingt\naus dem Sockel nehmen !!!")});
    const QPoint outer = rig.window.frameGeometry().topLeft();
    QVERIFY(!fs::exists(Ini(rig)));  // not in the working directory, which had none
    const std::string ini = test::Slurp(UserIni(rig));
    QVERIFY(ini.find("X-Koord=" + std::to_string(outer.x())) != std::string::npos);
    QVERIFY(ini.find("Y-Koord=" + std::to_string(outer.y())) != std::string::npos);
  }

  // The options themselves are read by the shared window model (its own
  // test); the program answers help and version without a display, in German.
  void helpAndVersionNeedNoDisplay() {
    const struct { const char* option; const char* says; } rows[] = {{"--help", "Aufruf: tavrolith"}, {"--version", "tavrolith V"}};
    for (const auto& row : rows) {
      QProcess program;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.remove(QStringLiteral("DISPLAY"));
      environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
      environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
      program.setProcessEnvironment(environment);
      program.start(QStringLiteral(TAVROLITH_WINDOW_BIN_DIR "/tavrolith"), {QString::fromLatin1(row.option)});
      QVERIFY(program.waitForFinished(30000));
      QCOMPARE(program.exitCode(), 0);
      const QString out = QString::fromUtf8(program.readAllStandardOutput());
      QVERIFY2(out.startsWith(QString::fromLatin1(row.says)), qPrintable(out));
      QVERIFY(!out.contains(QStringLiteral("Usage")) && !out.contains(QStringLiteral("Displays")));
    }
  }

};

QTEST_MAIN(WindowStartTest)
#include "window_start_test.moc"
