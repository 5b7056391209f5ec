// SPDX-License-Identifier: GPL-2.0-or-later
// The settings dialog over the settings' dialog model, opened by "Prefs":
// its captions and port list, what OK and Cancel leave in the settings, and
// the refused field that gets the message and the focus.
#include "window_rig.h"

using namespace tav::window;

class SettingsDialogTest : public QObject {
  Q_OBJECT

private slots:
  // Port, time-out, correction and line length typed, the beep box cleared,
  // then Enter or a click on a control. Cancel (also by Enter on a focused
  // "Abbrechen") leaves the settings as they were, so does a refused OK,
  // whose message (the model's own) names the field that gets the focus;
  // Enter in a field is OK. The fields show the settings, the port its list
  // entry or the text of an address the list lacks; no caption is cut off.
  void prefsAppliesWhatOkTakes() {
    // The five values the dialog edits.
    const auto five = [](const tav::Settings& s) {
      return QString::asprintf("%X %X %u %d %u %d", unsigned(s.PortAdress), unsigned(s.ControlPort), s.TimeOut,
                               s.TimeBaseKorr, s.HexLineLen, s.MessageBeap);
    };
    tav::test::WindowRig rig;
    const QString before = five(rig.settings());
    const struct { QStringList typed; int press; bool enter; int refused; const char *port, *after; } rows[] = {
        {{"LPT1", "1000000", "100", "16"}, kBeepBox, true, kPortField, "1 0x378", ""},
        {{"0x378", "12a", "100", "16"}, kSettingsOk, false, kTimeOutField, "1 0x378", ""},
        {{"888", "1000000", "0", "16"}, kSettingsOk, false, kCorrectionField, "1 0x378", ""},
        {{"0x378", "1000000", "100", "255"}, kBeepBox, true, kLineLengthField, "1 0x378", ""},
        {{"0x3E8", "10000", "70", "33"}, kSettingsCancel, true, 0, "1 0x378", ""},
        {{"0x3E8", "10000", "70", "33"}, kCorrectionField, true, 0, "1 0x378", "3E8 3EA 10000 70 32 0"},
        {{"0x3E8", "10000", "70", "33"}, kSettingsCancel, false, 0, "-1 0x3E8", "3E8 3EA 10000 70 32 0"}};
    for (const auto& row : rows) {
      QString shown, focused;
      const QString opened = row.port + (" " + five(rig.settings()).section(' ', 2, 4));
      rig.script.seen.clear();
      rig.script.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<SettingsDialog*>(modal);
        for (QLabel* label : dialog->findChildren<QLabel*>()) QVERIFY(label->sizeHint().width() <= label->width());
        auto* portField = qobject_cast<QComboBox*>(dialog->Control(kPortField));
        shown = QStringLiteral("%1 %2").arg(portField->currentIndex()).arg(portField->currentText());
        portField->setEditText(row.typed[0]);
        const int ids[] = {kTimeOutField, kCorrectionField, kLineLengthField};
        for (int i = 0; i < 3; ++i) {
          auto* field = qobject_cast<QLineEdit*>(dialog->Control(ids[i]));
          shown += " " + field->text();
          field->setText(row.typed[i + 1]);
        }
        qobject_cast<QCheckBox*>(dialog->Control(kBeepBox))->setChecked(false);
        QWidget* pressed = dialog->Control(row.press);
        pressed->setFocus();
        // Pressed once this step is over, so that the script can answer the
        // refusal's box from inside the press; a refused dialog stays open.
        QTimer::singleShot(0, pressed, [&row, &focused, dialog, pressed] {
          row.enter ? QTest::keyClick(pressed, Qt::Key_Return) : QTest::mouseClick(pressed, Qt::LeftButton);
          if (!dialog->isVisible()) return;
          QWidget* field = dialog->Control(row.refused);
          focused = dialog->focusWidget() == field ? field->accessibleName() : "?";
          dialog->reject();
        });
      });
      if (row.refused != 0) rig.script.Answer(QMessageBox::Ok);
      rig.Click(kPrefsButton);
      QCOMPARE(shown + " | " + five(rig.settings()), opened + " | " + (*row.after ? row.after : before));
      const QStringList seen = rig.script.seen;
      const bool told = row.refused ? seen.size() == 2 && seen[1].startsWith(focused + ": Bitte ") : seen.size() == 1;
      QVERIFY2(told, qPrintable(seen.join('|') + focused));
    }
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_window_test.moc"
