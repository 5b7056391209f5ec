// The settings dialog over the settings' dialog model: layout, filling,
// the check on OK with its message and focus, and what OK and Cancel leave
// in the settings.
#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/window/dialog_units.h"
#include "app/window/settings_dialog.h"
#include "box_answerer.h"
#include "settings/settings_dialog.h"

using namespace tav::window;

namespace {
QLineEdit* Field(SettingsDialog& dialog, int id) { return qobject_cast<QLineEdit*>(dialog.Control(id)); }
QComboBox* Port(SettingsDialog& dialog) { return qobject_cast<QComboBox*>(dialog.Control(kPortField)); }
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
    // No caption is cut off in the dialog font.
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
      QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    }
    QVERIFY(qobject_cast<QPushButton*>(dialog.Control(kSettingsOk))->isDefault());
    QVERIFY(!qobject_cast<QPushButton*>(dialog.Control(kSettingsCancel))->isDefault());
    QComboBox* port = Port(dialog);
    QVERIFY(port->isEditable());
    QStringList entries;
    for (int i = 0; i < port->count(); ++i) entries << port->itemText(i);
    QCOMPARE(entries, (QStringList{"0x3BC", "0x378", "0x278", "0x338", "0x238"}));
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

  // OK applies what was typed (through the model's rules); Cancel after
  // editing every field leaves all five settings as they were.
  void okAppliesAndCancelKeeps() {
    tav::Settings settings;
    const tav::Settings before = settings;
    // Every field edited, then the button.
    auto typeAndPress = [](int button) {
      QTimer::singleShot(0, [button] {
        auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
        Port(*dialog)->setEditText(QStringLiteral("0x278"));
        Field(*dialog, kTimeOutField)->setText(QStringLiteral("10000"));
        Field(*dialog, kCorrectionField)->setText(QStringLiteral("70"));
        Field(*dialog, kLineLengthField)->setText(QStringLiteral("33"));
        qobject_cast<QCheckBox*>(dialog->Control(kBeepBox))->setChecked(false);
        QTest::mouseClick(dialog->Control(button), Qt::LeftButton);
      });
    };
    typeAndPress(kSettingsCancel);
    QVERIFY(!EditSettings(settings, nullptr));
    QCOMPARE(settings.PortAdress, before.PortAdress);
    QCOMPARE(settings.TimeOut, before.TimeOut);
    QCOMPARE(settings.HexLineLen, before.HexLineLen);
    QCOMPARE(settings.MessageBeap, before.MessageBeap);

    typeAndPress(kSettingsOk);
    QVERIFY(EditSettings(settings, nullptr));
    QCOMPARE(settings.PortAdress, 0x278);
    QCOMPARE(settings.ControlPort, 0x27A);
    QCOMPARE(settings.TimeOut, 10000u);
    QCOMPARE(settings.TimeBaseKorr, 70);
    QCOMPARE(settings.HexLineLen, 32u);
    QCOMPARE(settings.MessageBeap, 0);
  }

  void refusedFieldGetsMessageAndFocus_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("timeOut");
    QTest::addColumn<QString>("correction");
    QTest::addColumn<QString>("lineLength");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("message");
    QTest::newRow("port without digits") << "LPT1" << "1000000" << "100" << "16" << int(kPortField)
                                         << "Portadresse: Bitte eine Adresse zwischen 0x100 und 0xFFFD eingeben.";
    QTest::newRow("timeout not a number") << "0x378" << "12a" << "100" << "16" << int(kTimeOutField)
                                          << QString::fromUtf8("Timeout-Zähler: Bitte eine ganze Zahl zwischen 10000 und 10000000 eingeben.");
    QTest::newRow("correction 69") << "888" << "1000000" << "69" << "16" << int(kCorrectionField)
                                   << "Korrektur: Bitte eine ganze Zahl zwischen 70 und 100 eingeben.";
    QTest::newRow("line 255, after a good correction") << "0x378" << "1000000" << "100" << "255" << int(kLineLengthField)
                                                       << QString::fromUtf8("Länge HEX-Zeile: Bitte eine ganze Zahl zwischen 2 und 254 eingeben.");
  }

  void refusedFieldGetsMessageAndFocus() {
    QFETCH(QString, port);
    QFETCH(QString, timeOut);
    QFETCH(QString, correction);
    QFETCH(QString, lineLength);
    QFETCH(int, refused);
    QFETCH(QString, message);
    tav::Settings settings;
    SettingsDialog dialog([&settings](const tav::SettingsDialogFields& typed) {
      return tav::ConfirmSettingsDialog(typed, settings);
    });
    dialog.SetFields(tav::FillSettingsDialog(settings));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Port(dialog)->setEditText(port);
    Field(dialog, kTimeOutField)->setText(timeOut);
    Field(dialog, kCorrectionField)->setText(correction);
    Field(dialog, kLineLengthField)->setText(lineLength);
    qobject_cast<QCheckBox*>(dialog.Control(kBeepBox))->setFocus();
    BoxAnswerer answerer(QMessageBox::Ok);
    QTest::mouseClick(dialog.Control(kSettingsOk), Qt::LeftButton);
    QVERIFY(answerer.seen);
    QCOMPARE(answerer.text, message);
    QVERIFY(dialog.isVisible());
    QCOMPARE(settings.TimeOut, tav::Settings().TimeOut);  // nothing applied
    QCOMPARE(settings.PortAdress, 0x378);
    QCOMPARE(dialog.focusWidget(), dialog.Control(refused));
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_window_test.moc"
