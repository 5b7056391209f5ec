// SPDX-License-Identifier: GPL-2.0-or-later
// The settings dialog over the settings' dialog model: layout, filling,
// the check on OK with its message and focus, and what OK and Cancel leave
// in the settings.
#include <QLabel>
#include <QtTest>
#include <tuple>

#include "app/window/dialog_units.h"
#include "settings/settings_dialog.h"
#include "window_rig.h"

using namespace tav::window;
using tav::test::ModalScript;

namespace {
QComboBox* Port(SettingsDialog& dialog) { return qobject_cast<QComboBox*>(dialog.Control(kPortField)); }
// Port, time-out, correction and line length typed, the beep box cleared.
void Type(SettingsDialog& dialog, const QStringList& fields) {
  Port(dialog)->setEditText(fields[0]);
  const int ids[] = {kTimeOutField, kCorrectionField, kLineLengthField};
  for (int i = 0; i < 3; ++i) qobject_cast<QLineEdit*>(dialog.Control(ids[i]))->setText(fields[i + 1]);
  qobject_cast<QCheckBox*>(dialog.Control(kBeepBox))->setChecked(false);
}
}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

private slots:
  void layoutCaptionsAndPortEntries() {
    SettingsDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    const QSize expected = DialogUnits::FromFont(dialog.font()).Size(186, 66);
    QCOMPARE(dialog.minimumSize(), expected);
    QCOMPARE(dialog.maximumSize(), expected);
    const struct { int id; const char* name; } rows[] = {
        {1009, "Portadresse"}, {1005, "Timeout-Zähler"}, {1016, "Korrektur"}, {1017, "Länge HEX-Zeile"},
        {1018, "Signalton"},   {1, "OK"},                {2, "Abbrechen"}};
    for (const auto& row : rows) {
      QWidget* control = dialog.Control(row.id);
      QVERIFY2(control != nullptr, row.name);
      QCOMPARE(control->accessibleName(), QString::fromUtf8(row.name));
      QVERIFY(QRect(QPoint(0, 0), expected).contains(control->geometry()));
    }
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {  // no caption cut off
      QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    }
    QVERIFY(qobject_cast<QPushButton*>(dialog.Control(kSettingsOk))->isDefault());
    QVERIFY(!qobject_cast<QPushButton*>(dialog.Control(kSettingsCancel))->isDefault());
    QVERIFY(Port(dialog)->isEditable());
  }

  void portFieldShowsTheMatchingEntryOrTheText() {
    SettingsDialog dialog(nullptr);
    tav::Settings settings;
    dialog.SetFields(tav::FillSettingsDialog(settings));
    QCOMPARE(Port(dialog)->currentIndex(), 1);
    QCOMPARE(Port(dialog)->currentText(), QStringLiteral("0x378"));
    settings.SetPortAdress(0x3E8);
    dialog.SetFields(tav::FillSettingsDialog(settings));
    QCOMPARE(Port(dialog)->currentIndex(), -1);
    QCOMPARE(Port(dialog)->currentText(), QStringLiteral("0x3E8"));
  }

  // OK applies what was typed through the model's rules; Cancel after
  // editing every field leaves the settings as they were, also when Enter
  // is pressed on a focused "Abbrechen".
  void okAppliesAndCancelKeeps() {
    tav::Settings settings;
    const tav::Settings before = settings;
    ModalScript script;
    const struct { int button; bool enter; } presses[] = {{kSettingsCancel, false}, {kSettingsCancel, true}, {kSettingsOk, true}};
    for (const auto& press : presses) {
      script.Then([press](QWidget* modal) {
        auto* dialog = qobject_cast<SettingsDialog*>(modal);
        Type(*dialog, {"0x278", "10000", "70", "33"});
        QWidget* button = dialog->Control(press.button);
        button->setFocus();
        press.enter ? QTest::keyClick(button, Qt::Key_Return) : QTest::mouseClick(button, Qt::LeftButton);
      });
    }
    for (int cancelled = 0; cancelled < 2; ++cancelled) {
      QVERIFY(!EditSettings(settings, nullptr));
      QVERIFY(std::tie(settings.PortAdress, settings.TimeOut, settings.TimeBaseKorr, settings.HexLineLen,
                       settings.MessageBeap) == std::tie(before.PortAdress, before.TimeOut, before.TimeBaseKorr,
                                                         before.HexLineLen, before.MessageBeap));
    }
    QVERIFY(EditSettings(settings, nullptr));
    QCOMPARE(settings.PortAdress, 0x278);
    QCOMPARE(settings.ControlPort, 0x27A);
    QCOMPARE(settings.TimeOut, 10000u);
    QCOMPARE(settings.TimeBaseKorr, 70);
    QCOMPARE(settings.HexLineLen, 32u);
    QCOMPARE(settings.MessageBeap, 0);
  }

  // The refusal's text (the model's own) names the field that gets the focus.
  void refusedFieldGetsMessageAndFocus_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("refused");
    QTest::newRow("port without digits") << QStringList{"LPT1", "1000000", "100", "16"} << int(kPortField);
    QTest::newRow("timeout not a number") << QStringList{"0x378", "12a", "100", "16"} << int(kTimeOutField);
    QTest::newRow("correction 0") << QStringList{"888", "1000000", "0", "16"} << int(kCorrectionField);
    QTest::newRow("line 255") << QStringList{"0x378", "1000000", "100", "255"} << int(kLineLengthField);
  }

  void refusedFieldGetsMessageAndFocus() {
    QFETCH(QStringList, typed);
    QFETCH(int, refused);
    tav::Settings settings;
    SettingsDialog dialog([&settings](const tav::SettingsDialogFields& fields) {
      return tav::ConfirmSettingsDialog(fields, settings);
    });
    dialog.SetFields(tav::FillSettingsDialog(settings));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Type(dialog, typed);
    dialog.Control(kBeepBox)->setFocus();
    ModalScript script;
    script.Answer(QMessageBox::Ok);
    QTest::mouseClick(dialog.Control(kSettingsOk), Qt::LeftButton);
    QCOMPARE(script.seen.size(), 1);
    QVERIFY2(script.seen[0].startsWith(dialog.Control(refused)->accessibleName() + ": Bitte "), qPrintable(script.seen[0]));
    QVERIFY(dialog.isVisible());
    QCOMPARE(settings.TimeOut, tav::Settings().TimeOut);  // nothing applied
    QCOMPARE(settings.PortAdress, 0x378);
    QCOMPARE(dialog.focusWidget(), dialog.Control(refused));
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_window_test.moc"
