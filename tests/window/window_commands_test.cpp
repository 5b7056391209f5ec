// The window's commands on the simulated board: each command's good path
// and its cancel path with the message boxes answered, "Abbrechen" during an
// operation, the file dialogs and their rules, the check boxes, the lists,
// "Prefs", and the same register writes as the command line.
#include <QProcess>
#include <QtTest>
#include <fstream>

#include "window_rig.h"

using namespace tav;
using namespace tav::window;
using test::ModalScript;
using test::WindowRig;
namespace fs = std::filesystem;

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

// Idle again: the frame's closing step ran and everything is given back.
void ExpectIdle(WindowRig& rig) {
  QCOMPARE(rig.window.StatusText(), QStringLiteral("Warte auf Eingaben"));
  QVERIFY(!rig.window.Control(kCancelButton)->isEnabled());
  QCOMPARE(rig.feedback.CancelRequested(), 0);
  QVERIFY(rig.window.Control(kProgramButton)->isEnabled());
  QCOMPARE(test::BusyIndicators(), 0);
  QVERIFY(!rig.run.CommandRunning());
}

// An Intel HEX file of three bytes at address 0.
std::string SmallHexFile(const WindowRig& rig) {
  const std::string path = (rig.directory.Path() / "small.hex").string();
  std::ofstream(path) << ":03000000020003F8\n:00000001FF\n";
  return path;
}

}  // namespace

class WindowCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void blankCheckRunsOrStopsAtTheSocketPrompt() {
    WindowRig rig;
    rig.run.StartUp();
    ModalScript script;
    bool disabled = false;
    script.Answer(QMessageBox::Ok, [&] { disabled = !rig.AnyInputEnabled(); });
    script.Answer(QMessageBox::Ok);
    rig.Click(kBlankCheckButton);
    QVERIFY(disabled);
    QCOMPARE(script.seen.size(), 2);
    QCOMPARE(script.seen[1], Q("\nController ist gelöscht !\n"));
    ExpectIdle(rig);

    script.seen.clear();
    script.Answer(QMessageBox::Cancel);
    rig.Click(kBlankCheckButton);
    QCOMPARE(script.seen.size(), 1);
    ExpectIdle(rig);
    QCOMPARE(script.unexpected, QStringList());
  }

  // The click reaches the flag at the next progress step; the operation
  // says it stopped and the frame clears the flag.
  void abbrechenStopsTheRunningOperation() {
    WindowRig rig;
    rig.run.StartUp();
    ModalScript script;
    script.Answer(QMessageBox::Ok, [&] {
      QTimer::singleShot(0, &rig.window, [&] {
        QVERIFY(rig.window.Control(kCancelButton)->isEnabled());
        QVERIFY(!rig.AnyInputEnabled());
        rig.Click(kCancelButton);
      });
    });
    script.Answer(QMessageBox::Ok);
    rig.Click(kBlankCheckButton);
    QCOMPARE(script.seen.value(1), Q("Leertest abgebrochen !"));
    ExpectIdle(rig);
  }

  // "Auslesen": the save dialog's setup, its extension rules, the question
  // before replacing a file, and a cancelled dialog.
  void readSavesUnderTheRuledNameAndAsksBeforeReplacing() {
    WindowRig rig;
    rig.run.StartUp();
    rig.settings().DataFormat = 2;
    rig.settings().FFSave = 1;  // the fresh chip is blank
    ModalScript script;
    script.AnswerRestWithOk();
    const fs::path dir = rig.directory.Path();
    rig.chooser.answers.push_back({(dir / "out.dat").string(), 1});
    rig.Click(kReadButton);
    QCOMPARE(rig.chooser.shown.back().Preselected, 3);
    QCOMPARE(rig.chooser.shown.back().DefaultExtension, std::string("hex"));
    QVERIFY2(fs::exists(dir / "out.dat"), qPrintable(script.seen.join("|")));
    QCOMPARE(fs::file_size(dir / "out.dat"), uintmax_t(4096));  // BIN, the whole AT89C51
    QCOMPARE(rig.settings().DataFormat, 1);
    QCOMPARE(qobject_cast<QLineEdit*>(rig.window.Control(kFileNameField))->text(), QStringLiteral("out.dat"));
    ExpectIdle(rig);

    // Intel8 with a typed .bin: the file gets .hex; an existing one is
    // replaced only after the question.
    std::ofstream(dir / "x.hex") << "keep";
    script.seen.clear();
    rig.chooser.answers.push_back({(dir / "x.bin").string(), 3});
    script.Answer(QMessageBox::Cancel);
    rig.Click(kReadButton);
    QVERIFY(script.seen.value(0).contains(QStringLiteral("x.hex")));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(test::Slurp(dir / "x.hex"), std::string("keep"));
    QVERIFY(!fs::exists(dir / "x.bin"));
    QCOMPARE(rig.settings().DataFormat, 1);
    ExpectIdle(rig);

    rig.chooser.answers.push_back({(dir / "x.bin").string(), 3});
    rig.Click(kReadButton);
    QVERIFY(test::Slurp(dir / "x.hex").rfind(":20000000FFFF", 0) == 0);  // Intel8, 32 bytes a line
    QCOMPARE(rig.settings().DataFormat, 2);

    // Cancelled: no socket prompt, the closing step still runs.
    script.seen.clear();
    rig.window.SetStatusText(QStringLiteral("vorher"));
    rig.Click(kReadButton);
    QCOMPARE(script.seen, QStringList());
    ExpectIdle(rig);
  }

  // "Brennen" with no file named asks for one first; a cancelled chooser
  // ends the command; then programming and verifying a file succeed.
  void programAndVerifyAFileChosenFirst() {
    WindowRig rig;
    rig.run.StartUp();
    rig.settings().ProgramFileName.clear();
    ModalScript script;
    rig.Click(kProgramButton);
    QCOMPARE(rig.chooser.shown.size(), size_t(1));
    QVERIFY(rig.chooser.shown[0].ExistingOnly);
    QCOMPARE(script.seen, QStringList());
    ExpectIdle(rig);

    rig.chooser.answers.push_back({SmallHexFile(rig), 3});
    script.AnswerRestWithOk();
    rig.Click(kProgramButton);
    QCOMPARE(rig.settings().ReadFilter, 3);
    QCOMPARE(script.seen.last(), Q("Keine Fehler beim Prüfen"));
    ExpectIdle(rig);

    script.seen.clear();
    rig.Click(kVerifyButton);
    QCOMPARE(rig.chooser.shown.size(), size_t(2));  // the file is named now
    QCOMPARE(script.seen.last(), Q("Keine Fehler beim Prüfen"));
    ExpectIdle(rig);

    // At the socket prompt nothing is programmed.
    script.seen.clear();
    script.Answer(QMessageBox::Cancel);
    rig.Click(kProgramButton);
    QCOMPARE(script.seen.size(), 1);
    ExpectIdle(rig);
  }

  // "Löschen" has no closing step: the erase text stays in the status line.
  void eraseKeepsItsStatusText() {
    WindowRig rig;
    rig.run.StartUp();
    ModalScript script;
    script.Answer(QMessageBox::Ok);
    script.Answer(QMessageBox::Ok);
    rig.Click(kEraseButton);
    QCOMPARE(script.seen.value(1), Q("Baustein ist gelöscht !"));
    QVERIFY(rig.window.StatusText() != QStringLiteral("Warte auf Eingaben"));
    QVERIFY(rig.window.Control(kEraseButton)->isEnabled());
    QCOMPARE(test::BusyIndicators(), 0);
    script.Answer(QMessageBox::Cancel);
    rig.Click(kEraseButton);
    QCOMPARE(script.seen.size(), 3);
    QCOMPARE(script.unexpected, QStringList());
  }

  // In demonstration mode "Brennen" opens the chooser before the message;
  // "Neue Datei" stores the filter of the SDCC files.
  void demonstrationModeAndNewFile() {
    SessionOptions options = WindowRig::SimulatedOptions();
    options.simulator->boardFaults.noBoard = true;
    WindowRig rig(options);
    ModalScript script;
    script.AnswerRestWithOk();
    script.Then([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    rig.run.StartUp();
    QCOMPARE(rig.run.CurrentSession().DemoMode(), 1);
    rig.settings().ProgramFileName.clear();
    script.seen.clear();
    rig.chooser.answers.push_back({SmallHexFile(rig), 4});
    rig.Click(kProgramButton);
    QCOMPARE(rig.chooser.shown.size(), size_t(1));
    QCOMPARE(script.seen, QStringList{Q(kDemoMessage)});

    rig.chooser.answers.push_back({(rig.directory.Path() / "prog.s19").string(), 5});
    rig.Click(kNewFileButton);
    QCOMPARE(rig.chooser.shown.back().Preselected, 4);
    QCOMPARE(rig.settings().ReadFilter, 5);
    QCOMPARE(qobject_cast<QLineEdit*>(rig.window.Control(kFileNameField))->text(), QStringLiteral("prog.s19"));
    rig.Click(kNewFileButton);  // cancelled: nothing changes
    QCOMPARE(rig.settings().ReadFilter, 5);
    QCOMPARE(qobject_cast<QLineEdit*>(rig.window.Control(kFileNameField))->text(), QStringLiteral("prog.s19"));
  }

  void lockBoxesCascadeAndOptionsFollowTheirBoxes() {
    WindowRig rig;
    rig.run.StartUp();
    QTest::mouseClick(rig.window.CheckBox(kLock3Box), Qt::LeftButton);
    QVERIFY(rig.window.IsChecked(kLock1Box) && rig.window.IsChecked(kLock2Box) && rig.window.IsChecked(kLock3Box));
    QTest::mouseClick(rig.window.CheckBox(kLock1Box), Qt::LeftButton);
    QVERIFY(rig.window.IsChecked(kLock1Box));
    QCOMPARE(rig.settings().Lock1, 1);
    QTest::mouseClick(rig.window.CheckBox(kLock3Box), Qt::LeftButton);
    QVERIFY(rig.window.IsChecked(kLock2Box) && !rig.window.IsChecked(kLock3Box));
    QCOMPARE(rig.settings().Lock3, 0);
    QTest::mouseClick(rig.window.CheckBox(kVerifyBox), Qt::LeftButton);
    QCOMPARE(rig.settings().Verify, 0);
    QTest::mouseClick(rig.window.CheckBox(kFfSaveBox), Qt::LeftButton);
    QCOMPARE(rig.settings().FFSave, 1);
  }

  // A shorter device list selects the first device; an EPROM part takes the
  // erase button away, a device with two lock bits the third box; a
  // manufacturer without devices shows the placeholder and disables all.
  void listsFollowTheChoiceAndTheDeviceControlsFollowTheDevice() {
    WindowRig rig;
    // Siemens shown, with no device of its own.
    const fs::path library = rig.directory.Path() / "8789LIST.CSV";
    std::string text = test::Slurp(library);
    const std::string hidden = "nicht geprüft;n";
    text.replace(text.find(hidden), hidden.size(), "nicht geprüft;y");
    std::ofstream(library, std::ios::binary | std::ios::trunc) << text;
    rig.run.StartUp();
    auto* manufacturers = qobject_cast<QComboBox*>(rig.window.Control(kManufacturerList));
    auto* devices = qobject_cast<QComboBox*>(rig.window.Control(kDeviceList));
    QCOMPARE(manufacturers->count(), 3);
    devices->setCurrentIndex(4);
    emit devices->activated(4);
    QCOMPARE(rig.run.CurrentSession().Device().DeviceName, std::string("AT89C2051"));
    QVERIFY(!rig.window.Control(kLock3Box)->isEnabled() && rig.window.Control(kLock2Box)->isEnabled());

    emit manufacturers->activated(2);
    QCOMPARE(rig.settings().ManufIndex, 2);
    QCOMPARE(devices->count(), 3);
    QCOMPARE(devices->currentIndex(), 0);
    QVERIFY(!rig.window.Control(kEraseButton)->isEnabled());

    emit manufacturers->activated(1);
    QCOMPARE(devices->count(), 1);
    QCOMPARE(devices->itemText(0), QStringLiteral("Keine Bausteine"));
    for (int id : {kEraseButton, kLock1Box, kLock2Box, kLock3Box}) QVERIFY(!rig.window.Control(id)->isEnabled());
  }

  void prefsChangesTheSettingsOnlyOnOk() {
    WindowRig rig;
    rig.run.StartUp();
    ModalScript script;
    script.Then([](QWidget* modal) {
      auto* dialog = qobject_cast<SettingsDialog*>(modal);
      qobject_cast<QLineEdit*>(dialog->Control(kLineLengthField))->setText(QStringLiteral("17"));
      dialog->reject();
    });
    rig.Click(kPrefsButton);
    QCOMPARE(rig.settings().HexLineLen, 32u);
    script.Then([](QWidget* modal) {
      auto* dialog = qobject_cast<SettingsDialog*>(modal);
      qobject_cast<QComboBox*>(dialog->Control(kPortField))->setEditText(QStringLiteral("888"));
      qobject_cast<QLineEdit*>(dialog->Control(kLineLengthField))->setText(QStringLiteral("33"));
      dialog->accept();
    });
    rig.Click(kPrefsButton);
    QCOMPARE(rig.settings().HexLineLen, 32u);
    QCOMPARE(rig.settings().PortAdress, 0x378);
    QCOMPARE(script.seen, (QStringList{"Einstellungen", "Einstellungen"}));
  }

  // The window's blank check and the command line's write the same
  // registers in the same order on the same simulated board.
  void windowAndCommandLineWriteTheSameRegisters() {
    test::ScratchDirectory cliDir("tav_window_cli");
    fs::copy_file(fs::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV", cliDir.Path() / "8789LIST.CSV");
    QProcess cli;
    cli.setWorkingDirectory(QString::fromStdString(cliDir.Path().string()));
    cli.start(QStringLiteral(TAVROLITH_CLI), {"--simulate", "--trace", "trace.txt", "-y", "blank-check"});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);

    test::ScratchDirectory windowDir("tav_window_trace");
    {
      SessionOptions options = WindowRig::SimulatedOptions();
      options.tracePath = (windowDir.Path() / "trace.txt").string();
      WindowRig rig(options);
      rig.run.StartUp();
      ModalScript script;
      script.AnswerRestWithOk();
      rig.Click(kBlankCheckButton);
      QCOMPARE(script.seen.value(1), Q("\nController ist gelöscht !\n"));
    }
    const std::string trace = test::Slurp(windowDir.Path() / "trace.txt");
    const std::string cliTrace = test::Slurp(cliDir.Path() / "trace.txt");
    QVERIFY(cliTrace.size() > 1000);
    QCOMPARE(trace, cliTrace);
  }
};

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
