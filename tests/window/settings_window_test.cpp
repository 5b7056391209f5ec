// The settings dialog: layout, filling, the field check on OK with its
// message and focus, and the values it hands back.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/window/dialog_units.h"
#include "app/window/settings_dialog.h"
#include "box_answerer.h"

using namespace tav::window;

namespace {
const SettingsDialogValues kStart{"0x378", 1000000, 100, 16, 1};

QLineEdit* Field(SettingsDialog& dialog, int id) { return qobject_cast<QLineEdit*>(dialog.Control(id)); }
QComboBox* Port(SettingsDialog& dialog) { return qobject_cast<QComboBox*>(dialog.Control(kPortField)); }
}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

private slots:
  void layoutCaptionsAndPortEntries() {
    SettingsDialog dialog(LocalFieldCheck);
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
    SettingsDialog dialog(LocalFieldCheck);
    dialog.SetValues(kStart);
    QCOMPARE(Port(dialog)->currentIndex(), 1);
    SettingsDialogValues other = kStart;
    other.portText = "0x3e8";
    dialog.SetValues(other);
    QCOMPARE(Port(dialog)->currentIndex(), -1);
    QCOMPARE(Port(dialog)->currentText(), QStringLiteral("0x3e8"));
    other.portText = "0x27";  // a prefix of "0x278", in another case
    dialog.SetValues(other);
    QCOMPARE(Port(dialog)->currentText(), QStringLiteral("0x278"));
  }

  void okHandsBackTheTypedValuesAndCancelKeepsTheOldOnes() {
    SettingsDialog dialog(LocalFieldCheck);
    dialog.SetValues(kStart);
    dialog.show();
    Port(dialog)->setEditText(QStringLiteral("888"));
    Field(dialog, kTimeOutField)->setText(QStringLiteral("10000"));
    Field(dialog, kCorrectionField)->setText(QStringLiteral("70"));
    Field(dialog, kLineLengthField)->setText(QStringLiteral("33"));
    qobject_cast<QCheckBox*>(dialog.Control(kBeepBox))->setChecked(false);
    QTest::mouseClick(dialog.Control(kSettingsOk), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const SettingsDialogValues& values = dialog.Values();
    QCOMPARE(values.portText, std::string("888"));
    QCOMPARE(values.timeOut, 10000u);
    QCOMPARE(values.correction, 70u);
    QCOMPARE(values.lineLength, 33u);  // rounding to even is the settings' business
    QCOMPARE(values.beep, 0);

    SettingsDialog cancelled(LocalFieldCheck);
    cancelled.SetValues(kStart);
    cancelled.show();
    Field(cancelled, kTimeOutField)->setText(QStringLiteral("x"));
    QTest::mouseClick(cancelled.Control(kSettingsCancel), Qt::LeftButton);
    QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    QCOMPARE(cancelled.Values().timeOut, 1000000u);
  }

  void refusedFieldGetsMessageAndFocus_data() {
    QTest::addColumn<QString>("timeOut");
    QTest::addColumn<QString>("correction");
    QTest::addColumn<QString>("lineLength");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("message");
    const QString integer = QStringLiteral("Geben Sie eine ganze Zahl ein.");
    QTest::newRow("timeout not a number") << "12a" << "100" << "16" << int(kTimeOutField) << integer;
    QTest::newRow("timeout low") << "9999" << "100" << "16" << int(kTimeOutField)
                                 << "Geben Sie eine ganze Zahl zwischen 10000 und 10000000 ein.";
    QTest::newRow("timeout beyond 32 bits") << "4294967296" << "100" << "16" << int(kTimeOutField) << integer;
    QTest::newRow("correction 69") << "1000000" << "69" << "16" << int(kCorrectionField)
                                   << "Geben Sie eine ganze Zahl zwischen 70 und 100 ein.";
    QTest::newRow("line 255") << "1000000" << "100" << "255" << int(kLineLengthField)
                              << "Geben Sie eine ganze Zahl zwischen 2 und 254 ein.";
    QTest::newRow("first refusal wins") << "1000000" << "0x50" << "999" << int(kCorrectionField) << integer;
  }

  void refusedFieldGetsMessageAndFocus() {
    QFETCH(QString, timeOut);
    QFETCH(QString, correction);
    QFETCH(QString, lineLength);
    QFETCH(int, refused);
    QFETCH(QString, message);
    SettingsDialog dialog(LocalFieldCheck);
    dialog.SetValues(kStart);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Field(dialog, kTimeOutField)->setText(timeOut);
    Field(dialog, kCorrectionField)->setText(correction);
    Field(dialog, kLineLengthField)->setText(lineLength);
    Port(dialog)->setFocus();
    BoxAnswerer answerer(QMessageBox::Ok);
    QTest::mouseClick(dialog.Control(kSettingsOk), Qt::LeftButton);
    QVERIFY(answerer.seen);
    QCOMPARE(answerer.text, message);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Values().timeOut, kStart.timeOut);
    // The dialog's focus child is the field it gives the focus back to once
    // it is active again after the message.
    QCOMPARE(dialog.focusWidget(), dialog.Control(refused));
    QCOMPARE(Field(dialog, refused)->selectedText(), Field(dialog, refused)->text());
  }

  void theSuppliedCheckDecidesAndSeesTheFieldsInOrder() {
    std::vector<SettingsField> asked;
    SettingsDialog dialog([&asked](SettingsField field, const std::string& typed) -> std::string {
      asked.push_back(field);
      return field == SettingsField::LineLength && typed == "16" ? "Nicht 16" : "";
    });
    dialog.SetValues(kStart);
    dialog.show();
    BoxAnswerer answerer(QMessageBox::Ok);
    QTest::mouseClick(dialog.Control(kSettingsOk), Qt::LeftButton);
    QCOMPARE(answerer.text, QStringLiteral("Nicht 16"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(asked, (std::vector<SettingsField>{SettingsField::TimeOut, SettingsField::Correction,
                                                SettingsField::LineLength}));
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_window_test.moc"
