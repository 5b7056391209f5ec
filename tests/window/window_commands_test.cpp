// SPDX-License-Identifier: GPL-2.0-or-later
// The window's commands through the toolkit's own file dialogs on the
// simulated board. What the commands do is the window behaviour's own test.
#include "app/window/toolkit_texts.h"
#include "files/program_files.h"
#include "window_rig.h"

using namespace tav;
using namespace tav::window;
namespace fs = std::filesystem;

class WindowCommandsTest : public QObject {
  Q_OBJECT

private slots:
  // "Auslesen" and "Neue Datei": the filter chosen by position decides the
  // format written, which is read back; the status line and the field's
  // tooltip name the file; the buttons speak German.
  void toolkitDialogsDecideTheFormatWritten() {
    // The toolkit's own dialogs, as on a desktop without a native one.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(UseGermanToolkitTexts(*QCoreApplication::instance()));
    test::WindowRig rig;
    rig.settings().FFSave = 1;  // the fresh chip is blank
    const fs::path dir = rig.directory.Path();
    rig.settings().DataDirectory = dir.string() + "/";
    const struct { const char* typed; int position; const char* written; int format; } rows[] = {
        {"rb2", 3, "rb2.hex", 2}, {"raw.dat", 1, "raw.dat", 1}, {"s1.bin", 6, "s1.hex", 5}, {"b", 2, "b.bin", 1}};
    for (const auto& row : rows) {
      QStringList buttons;
      rig.script.Then([&](QWidget* modal) {
        auto* box = modal->findChild<QDialogButtonBox*>();
        buttons << box->button(QDialogButtonBox::Save)->text() << box->button(QDialogButtonBox::Cancel)->text();
        test::FillFileDialog(modal, row.typed, row.position);
      });
      for (int box = 0; box < 2; ++box) rig.script.Answer(QMessageBox::Ok);  // the socket prompt, "saved"
      rig.Click(kReadButton);
      const QString path = QString::fromStdString((dir / row.written).string());
      QCOMPARE(DetectFileFormat(path.toStdString(), rig.feedback), row.format);
      QVERIFY(rig.window.StatusText().endsWith(path) && rig.window.Control(kFileNameField)->toolTip() == path);
      QCOMPARE(buttons.replaceInStrings("&", ""), (QStringList{"Speichern", "Abbrechen"}));
    }
    fs::copy_file(dir / "rb2.hex", dir / "prog.ihx");
    rig.script.Then([](QWidget* modal) { test::FillFileDialog(modal, "prog.ihx", 4); });
    rig.Click(kNewFileButton);
    QCOMPARE(rig.settings().ReadFilter, 4);
    QCOMPARE(qobject_cast<QLineEdit*>(rig.window.Control(kFileNameField))->text(), QStringLiteral("prog.ihx"));
  }
};

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
