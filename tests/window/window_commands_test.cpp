// The window's commands on the simulated board: each command's good path
// and its cancel path with the message boxes answered, "Abbrechen" during an
// operation, the file dialogs and their rules, the check boxes, the lists,
// "Prefs", and the same register writes as the command line.
#include <QProcess>
#include <QtTest>
#include <fstream>

#include "app/window/toolkit_texts.h"
#include "app/window_model/window_texts.h"
#include "files/program_files.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;
using test::ModalScript;
using test::WindowRig;
namespace fs = std::filesystem;

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

// Idle again: the frame's closing step ran and everything is given back.
void ExpectIdle(WindowRig& rig, const QString& status = QStringLiteral("Warte auf Eingaben")) {
  QCOMPARE(rig.window.StatusText(), status);
  QCOMPARE(rig.States({kCancelButton, kProgramButton}), QStringLiteral("01"));
  QCOMPARE(rig.feedback.CancelRequested(), 0);
  QCOMPARE(test::BusyIndicators(), 0);
  QVERIFY(!rig.run.CommandRunning());
}

// A started window with a script for its dialogs.
struct Started : WindowRig {
  explicit Started(SessionOptions options = SimulatedOptions(), bool realDialogs = false)
      : WindowRig(std::move(options), nullptr, realDialogs) {
    run.StartUp();
  }
  ModalScript script;
};

// An Intel HEX file of three bytes at address 0.
std::string SmallHexFile(const WindowRig& rig) {
  const std::string path = (rig.directory.Path() / "small.hex").string();
  std::ofstream(path) << ":03000000020003F8\n:00000001FF\n";
  return path;
}

// The sample library with Siemens shown, the second manufacturer, which has
// no device of its own.
void ShowSiemensWithoutDevices(const WindowRig& rig) {
  const fs::path library = rig.directory.Path() / "8789LIST.CSV";
  std::string text = test::Slurp(library);
  const std::string hidden = "nicht geprüft;n";
  text.replace(text.find(hidden), hidden.size(), "nicht geprüft;y");
  std::ofstream(library, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

class WindowCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    // The toolkit's own dialogs, as on a desktop without a native one.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(UseGermanToolkitTexts(*QCoreApplication::instance()));
  }

  // "Auslesen" and "Neue Datei" through the toolkit's dialogs: the filter
  // chosen by position decides the format written, which is read back;
  // the status line and the field's tooltip name the file; the buttons
  // speak German.
  void toolkitDialogsDecideTheFormatWritten() {
    Started rig(WindowRig::SimulatedOptions(), true);
    rig.settings().FFSave = 1;  // the fresh chip is blank
    rig.script.AnswerRestWithOk();
    const fs::path dir = rig.directory.Path();
    rig.settings().DataDirectory = dir.string() + "/";
    const struct { const char* typed; int position; const char* written; int format; } rows[] = {
        {"rb2", 3, "rb2.hex", 2}, {"raw.dat", 1, "raw.dat", 1}, {"s1.bin", 6, "s1.hex", 5}, {"b", 2, "b.bin", 1}};
    QStringList buttons;
    for (const auto& row : rows) {
      rig.script.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        buttons << test::AcceptButton(*dialog)->text().remove('&')
                << dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text().remove('&');
        QVERIFY(test::FillFileDialog(modal, Q(row.typed), row.position));
      });
      rig.Click(kReadButton);
      const std::string path = (dir / row.written).string();
      QCOMPARE(DetectFileFormat(path, rig.feedback), row.format);
      QCOMPARE(rig.settings().DataFormat, row.format);
      QCOMPARE(rig.window.StatusText(), QString::fromStdString(SavedFileStatus(rig.settings())));
      QVERIFY(rig.window.StatusText().endsWith(QString::fromStdString(path)));
      QCOMPARE(rig.window.Control(kFileNameField)->toolTip(), QString::fromStdString(path));
    }
    QCOMPARE(buttons.mid(0, 2), (QStringList{"Speichern", "Abbrechen"}));

    fs::copy_file(dir / "rb2.hex", dir / "prog.ihx");
    rig.script.Then([&](QWidget* modal) { QVERIFY(test::FillFileDialog(modal, QStringLiteral("prog.ihx"), 4)); });
    rig.Click(kNewFileButton);
    QCOMPARE(rig.settings().ReadFilter, 4);
    QCOMPARE(rig.FileName(), QStringLiteral("prog.ihx"));
    QCOMPARE(rig.script.unexpected, QStringList());
  }

  // Good path and stop at the socket prompt. "Löschen" has no closing
  // step: its own text stays in the status line.
  void commandsRunOrStopAtTheSocketPrompt() {
    const struct { int button; const char* done; const char* status; } rows[] = {
        {kBlankCheckButton, "\nController ist gelöscht !\n", "Warte auf Eingaben"},
        {kEraseButton, "Baustein ist gelöscht !", "Lösche Controller"}};
    for (const auto& row : rows) {
      Started rig;
      bool disabled = false;
      rig.script.Answer(QMessageBox::Ok, [&] { disabled = !rig.AnyInputEnabled(); });
      rig.script.Answer(QMessageBox::Ok);
      rig.Click(row.button);
      QVERIFY(disabled);
      QCOMPARE(rig.script.seen, (QStringList{rig.script.seen.value(0), Q(row.done)}));
      ExpectIdle(rig, Q(row.status));
      rig.script.Answer(QMessageBox::Cancel);
      rig.Click(row.button);
      QCOMPARE(rig.script.seen.size(), 3);
      ExpectIdle(rig, Q(row.status));
      QVERIFY(rig.window.Control(kEraseButton)->isEnabled());
      QCOMPARE(rig.script.unexpected, QStringList());
    }
  }

  // The click reaches the flag at the next progress step; the operation
  // says it stopped and the frame clears the flag.
  void abbrechenStopsTheRunningOperation() {
    Started rig;
    rig.script.Answer(QMessageBox::Ok, [&] {
      QTimer::singleShot(0, &rig.window, [&] {
        QVERIFY(rig.window.Control(kCancelButton)->isEnabled() && !rig.AnyInputEnabled());
        rig.Click(kCancelButton);
      });
    });
    rig.script.Answer(QMessageBox::Ok);
    rig.Click(kBlankCheckButton);
    QCOMPARE(rig.script.seen.value(1), Q("Leertest abgebrochen !"));
    ExpectIdle(rig);
  }

  // "Auslesen": the save dialog's setup, its extension rules, the question
  // before replacing a file, and a cancelled dialog.
  void readSavesUnderTheRuledNameAndAsksBeforeReplacing() {
    Started rig;
    rig.settings().DataFormat = 2;
    rig.settings().FFSave = 1;  // the fresh chip is blank
    rig.script.AnswerRestWithOk();
    const fs::path dir = rig.directory.Path();
    rig.chooser.answers.push_back({(dir / "out.dat").string(), 1});
    rig.Click(kReadButton);
    QCOMPARE(rig.chooser.shown.back().Preselected, 3);
    QCOMPARE(rig.chooser.shown.back().DefaultExtension, std::string("hex"));
    QCOMPARE(fs::file_size(dir / "out.dat"), uintmax_t(4096));  // BIN, the whole AT89C51
    QCOMPARE(rig.settings().DataFormat, 1);
    QCOMPARE(rig.FileName(), QStringLiteral("out.dat"));
    ExpectIdle(rig, QString::fromStdString(SavedFileStatus(rig.settings())));

    // Intel8 with a typed .bin: the file gets .hex, replaced only after the question.
    std::ofstream(dir / "x.hex") << "keep";
    rig.script.seen.clear();
    rig.chooser.answers.push_back({(dir / "x.bin").string(), 3});
    rig.script.Answer(QMessageBox::Cancel);
    rig.Click(kReadButton);
    QCOMPARE(rig.script.seen.size(), 1);
    QVERIFY(rig.script.seen[0].contains(QStringLiteral("x.hex")));
    QCOMPARE(test::Slurp(dir / "x.hex"), std::string("keep"));
    QVERIFY(!fs::exists(dir / "x.bin"));
    QCOMPARE(rig.settings().DataFormat, 1);
    ExpectIdle(rig);
    rig.chooser.answers.push_back({(dir / "x.bin").string(), 3});
    rig.Click(kReadButton);
    QVERIFY(test::Slurp(dir / "x.hex").rfind(":20000000FFFF", 0) == 0);  // Intel8, 32 bytes a line
    QCOMPARE(rig.settings().DataFormat, 2);

    // Another file named, the socket prompt declined: nothing was saved.
    rig.chooser.answers.push_back({(dir / "out.dat").string(), 1});
    rig.script.Answer(QMessageBox::Ok);
    rig.script.Answer(QMessageBox::Cancel);
    rig.Click(kReadButton);
    ExpectIdle(rig);

    // Cancelled: no socket prompt, the closing step still runs.
    rig.script.seen.clear();
    rig.window.SetStatusText(QStringLiteral("vorher"));
    rig.Click(kReadButton);
    QCOMPARE(rig.script.seen, QStringList());
    ExpectIdle(rig);
  }

  // "Brennen" with no file named asks for one first; a cancelled chooser
  // ends the command; then programming and verifying a file succeed.
  void programAndVerifyAFileChosenFirst() {
    Started rig;
    rig.settings().ProgramFileName.clear();
    rig.Click(kProgramButton);
    QCOMPARE(rig.chooser.shown.size(), size_t(1));
    QVERIFY(rig.chooser.shown[0].ExistingOnly);
    QCOMPARE(rig.script.seen, QStringList());
    ExpectIdle(rig);

    rig.chooser.answers.push_back({SmallHexFile(rig), 3});
    rig.script.AnswerRestWithOk();
    for (int button : {kProgramButton, kVerifyButton}) {
      rig.Click(button);
      QCOMPARE(rig.script.seen.last(), Q("Keine Fehler beim Prüfen"));
      ExpectIdle(rig);
    }
    QCOMPARE(rig.settings().ReadFilter, 3);
    QCOMPARE(rig.chooser.shown.size(), size_t(2));  // named once, then kept

    // At the socket prompt nothing is programmed.
    rig.script.seen.clear();
    rig.script.Answer(QMessageBox::Cancel);
    rig.Click(kProgramButton);
    QCOMPARE(rig.script.seen.size(), 1);
    ExpectIdle(rig);
  }

  // In demonstration mode "Brennen" opens the chooser before the message;
  // "Neue Datei" stores the filter of the SDCC files, and a cancelled one nothing.
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
    QVERIFY(rig.window.windowTitle().endsWith(QStringLiteral(" (Demomodus)")));

    rig.chooser.answers.push_back({(rig.directory.Path() / "prog.s19").string(), 5});
    rig.Click(kNewFileButton);
    QCOMPARE(rig.chooser.shown.back().Preselected, 4);
    rig.Click(kNewFileButton);  // cancelled: nothing changes
    QCOMPARE(rig.settings().ReadFilter, 5);
    QCOMPARE(rig.FileName(), QStringLiteral("prog.s19"));
  }

  // The simulated socket follows the selected device; a chip-state file of
  // another device is said once and left as it is.
  void simulatedSocketFollowsTheSelectedDevice() {
    test::ScratchDirectory states("tav_chip_states");
    SessionOptions options = WindowRig::SimulatedOptions();
    options.simulator->chipState = (states.Path() / "chip.state").string();
    {
      Started first(options);  // keeps a blank AT89C51 in the file
      QCOMPARE(first.run.CurrentSession().Close(0), 0);
      QVERIFY(!first.window.windowTitle().contains(QStringLiteral("Demomodus")));
    }
    Started rig(options);
    rig.script.AnswerRestWithOk();
    emit rig.List(kDeviceList)->activated(4);
    QCOMPARE(rig.run.CurrentSession().Device().DeviceName, std::string("AT89C2051"));
    for (int run = 0; run < 2; ++run) rig.Click(kBlankCheckButton);
    QCOMPARE(rig.script.seen.filter(QStringLiteral("gehört zu einem AT89C51")).size(), 1);
    QCOMPARE(rig.script.seen.filter(Q("Controller ist gelöscht")).size(), 2);
    QCOMPARE(rig.run.CurrentSession().Close(0), 0);
    QVERIFY(test::Slurp(states.Path() / "chip.state").find("part: AT89C51\n") != std::string::npos);
  }

  // A simulated start on a manufacturer without devices says so once (the
  // socket stays empty) and stays out of demonstration mode.
  void simulatedStartOnAManufacturerWithoutDevicesSaysSoOnce() {
    WindowRig rig;
    ShowSiemensWithoutDevices(rig);
    std::ofstream(rig.directory.Path() / "QUENVALD.INI") << "[Brastel INI-Section]\nManufIndex=1\n";
    ModalScript script;
    script.AnswerRestWithOk();
    rig.run.StartUp();
    QCOMPARE(script.seen, QStringList{Q("Keine Bausteine für diesen\n\n Hersteller in der Liste !")});
    QCOMPARE(rig.run.CurrentSession().DemoMode(), 0);
  }

  // Ticking Lock3 ticks the lower bits; Lock1 cannot be cleared below
  // them; the settings follow their boxes.
  void lockBoxesCascadeAndOptionsFollowTheirBoxes() {
    Started rig;
    const struct { int box; const char* locks; } clicks[] = {{kLock3Box, "111"}, {kLock1Box, "111"}, {kLock3Box, "110"}};
    for (const auto& click : clicks) {
      QTest::mouseClick(rig.window.CheckBox(click.box), Qt::LeftButton);
      QCOMPARE(rig.States({kLock1Box, kLock2Box, kLock3Box}, true), QString::fromLatin1(click.locks));
    }
    QCOMPARE(rig.settings().Lock1, 1);
    QCOMPARE(rig.settings().Lock3, 0);
    QTest::mouseClick(rig.window.CheckBox(kVerifyBox), Qt::LeftButton);
    QTest::mouseClick(rig.window.CheckBox(kFfSaveBox), Qt::LeftButton);
    QCOMPARE(rig.settings().Verify, 0);
    QCOMPARE(rig.settings().FFSave, 1);
  }

  // A shorter device list selects the first device; an EPROM part takes the
  // erase button away, a device with two lock bits the third box; a
  // manufacturer without devices shows the placeholder and disables all.
  void listsFollowTheChoiceAndTheDeviceControlsFollowTheDevice() {
    WindowRig rig;
    ShowSiemensWithoutDevices(rig);
    rig.run.StartUp();
    QComboBox* devices = rig.List(kDeviceList);
    QCOMPARE(rig.List(kManufacturerList)->count(), 3);
    devices->setCurrentIndex(4);
    emit devices->activated(4);
    QCOMPARE(rig.run.CurrentSession().Device().DeviceName, std::string("AT89C2051"));
    QCOMPARE(rig.States({kLock2Box, kLock3Box}), QStringLiteral("10"));

    emit rig.List(kManufacturerList)->activated(2);
    QCOMPARE(rig.settings().ManufIndex, 2);
    QCOMPARE(devices->count(), 3);
    QCOMPARE(devices->currentIndex(), 0);
    QVERIFY(!rig.window.Control(kEraseButton)->isEnabled());

    emit rig.List(kManufacturerList)->activated(1);
    QCOMPARE(devices->count(), 1);
    QCOMPARE(devices->itemText(0), QStringLiteral("Keine Bausteine"));
    QCOMPARE(rig.States({kEraseButton, kLock1Box, kLock2Box, kLock3Box}), QStringLiteral("0000"));
  }

  void prefsChangesTheSettingsOnlyOnOk() {
    Started rig;
    for (bool ok : {false, true}) {
      rig.script.Then([ok](QWidget* modal) {
        auto* dialog = qobject_cast<SettingsDialog*>(modal);
        qobject_cast<QComboBox*>(dialog->Control(kPortField))->setEditText(QStringLiteral("0x278"));
        qobject_cast<QLineEdit*>(dialog->Control(kLineLengthField))->setText(QStringLiteral("17"));
        ok ? dialog->accept() : dialog->reject();
      });
      rig.Click(kPrefsButton);
      QCOMPARE(rig.settings().HexLineLen, ok ? 16u : 32u);  // whole byte pairs
      QCOMPARE(rig.settings().PortAdress, ok ? 0x278 : 0x378);
    }
    QCOMPARE(rig.script.seen, (QStringList{"Einstellungen", "Einstellungen"}));
    QCOMPARE(rig.script.unexpected, QStringList());
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
      Started rig(options);
      rig.script.AnswerRestWithOk();
      rig.Click(kBlankCheckButton);
      QCOMPARE(rig.script.seen.value(1), Q("\nController ist gelöscht !\n"));
    }
    const std::string cliTrace = test::Slurp(cliDir.Path() / "trace.txt");
    QVERIFY(cliTrace.size() > 1000);
    QCOMPARE(test::Slurp(windowDir.Path() / "trace.txt"), cliTrace);
  }
};

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
