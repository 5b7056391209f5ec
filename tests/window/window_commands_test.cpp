// SPDX-License-Identifier: GPL-2.0-or-later
// The window's commands through the toolkit on the simulated board: the
// toolkit's own file dialogs, the signals reaching the behaviour, and the
// same register writes as the command line. What the commands do is the
// window behaviour's own test.
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

// A started window with a script for its dialogs.
struct Started : WindowRig {
  explicit Started(SessionOptions options = SimulatedOptions()) : WindowRig(std::move(options)) {
    run.StartUp();
  }
  ModalScript script;
};

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
    Started rig;
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
