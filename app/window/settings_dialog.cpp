#include "app/window/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/window/dialog_units.h"
#include "app/window/message_box.h"

namespace tav::window {

namespace {

constexpr int kWidthUnits = 186;
constexpr int kHeightUnits = 66;

struct Range {
  uint32_t low;
  uint32_t high;
};

Range FieldRange(SettingsField field) {
  switch (field) {
    case SettingsField::TimeOut: return {10000, 10000000};
    case SettingsField::Correction: return {70, 100};
    case SettingsField::LineLength: return {2, 254};
  }
  return {0, 0};
}

void Name(QWidget* widget, int id, const QString& accessibleName) {
  widget->setObjectName(QString::number(id));
  widget->setAccessibleName(accessibleName);
}

}  // namespace

std::string LocalFieldCheck(SettingsField field, const std::string& typed) {
  const Range range = FieldRange(field);
  const std::string between = "Geben Sie eine ganze Zahl zwischen " + std::to_string(range.low) + " und " +
                              std::to_string(range.high) + " ein.";
  bool isNumber = false;
  const uint value = QString::fromStdString(typed).trimmed().toUInt(&isNumber, 10);
  // toUInt accepts a sign; an unsigned field does not.
  if (!isNumber || QString::fromStdString(typed).trimmed().startsWith(QLatin1Char('+'))) {
    return "Geben Sie eine ganze Zahl ein.";
  }
  if (value < range.low || value > range.high) return between;
  return {};
}

const QStringList& SettingsDialog::PortEntries() {
  static const QStringList entries = {QStringLiteral("0x3BC"), QStringLiteral("0x378"), QStringLiteral("0x278"),
                                      QStringLiteral("0x338"), QStringLiteral("0x238")};
  return entries;
}

SettingsDialog::SettingsDialog(FieldCheck check, QWidget* parent) : QDialog(parent), check_(std::move(check)) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Einstellungen"));
  setModal(true);
  setFont(DialogUnits::DialogFont());
  const DialogUnits du = DialogUnits::FromFont(font());
  setFixedSize(du.Size(kWidthUnits, kHeightUnits));

  auto addLabel = [&](const QString& text, QWidget* buddy, int x, int y, int w) {
    auto* label = new QLabel(text, this);
    // Labels may reach a little past their field: "Länge HEX-Zeile" is
    // wider than a number needs.
    label->setGeometry(du.Rect(x, y, w + 6, 8));
    label->setBuddy(buddy);
  };
  auto addNumber = [&](int id, const QString& label, int x, int y, int w) {
    auto* field = new QLineEdit(this);
    Name(field, id, label);
    field->setGeometry(du.Rect(x, y + 10, w, 12));
    addLabel(label, field, x, y, w);
    return field;
  };

  // Left column: port and timeout; middle: line length and correction;
  // right: the buttons and the beep.
  port_ = new QComboBox(this);
  Name(port_, kPortField, QStringLiteral("Portadresse"));
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  port_->addItems(PortEntries());
  port_->setGeometry(du.Rect(7, 17, 60, 13));
  addLabel(QStringLiteral("Portadresse"), port_, 7, 7, 60);
  timeOut_ = addNumber(kTimeOutField, QStringLiteral("Timeout-Zähler"), 7, 35, 60);
  lineLength_ = addNumber(kLineLengthField, QStringLiteral("Länge HEX-Zeile"), 72, 7, 50);
  correction_ = addNumber(kCorrectionField, QStringLiteral("Korrektur"), 72, 35, 50);
  setTabOrder(port_, timeOut_);
  setTabOrder(timeOut_, lineLength_);
  setTabOrder(lineLength_, correction_);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  Name(ok, kSettingsOk, QStringLiteral("OK"));
  ok->setGeometry(du.Rect(131, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &SettingsDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
  Name(cancel, kSettingsCancel, QStringLiteral("Abbrechen"));
  cancel->setGeometry(du.Rect(131, 24, 50, 14));
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &SettingsDialog::reject);

  beep_ = new QCheckBox(QStringLiteral("Signalton"), this);
  Name(beep_, kBeepBox, QStringLiteral("Signalton"));
  beep_->setGeometry(du.Rect(131, 45, 50, 10));
}

void SettingsDialog::SetValues(const SettingsDialogValues& values) {
  values_ = values;
  const QString portText = QString::fromStdString(values.portText);
  const int entry = port_->findText(portText, Qt::MatchStartsWith);  // ignores case by default
  if (entry >= 0 && !portText.isEmpty()) {
    port_->setCurrentIndex(entry);
  } else {
    port_->setCurrentIndex(-1);
    port_->setEditText(portText);
  }
  timeOut_->setText(QString::number(values.timeOut));
  correction_->setText(QString::number(values.correction));
  lineLength_->setText(QString::number(values.lineLength));
  beep_->setChecked(values.beep != 0);
}

QWidget* SettingsDialog::Control(int id) const {
  return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QLineEdit* SettingsDialog::NumberField(SettingsField field) const {
  switch (field) {
    case SettingsField::TimeOut: return timeOut_;
    case SettingsField::Correction: return correction_;
    case SettingsField::LineLength: return lineLength_;
  }
  return timeOut_;
}

void SettingsDialog::accept() {
  SettingsDialogValues typed;
  typed.portText = port_->currentText().toStdString();
  for (SettingsField field : {SettingsField::TimeOut, SettingsField::Correction, SettingsField::LineLength}) {
    QLineEdit* edit = NumberField(field);
    const std::string message = check_ ? check_(field, edit->text().toStdString()) : std::string();
    if (!message.empty()) {
      std::unique_ptr<QMessageBox> box = MakeMessageBox(MessageKind::Plain, QString::fromStdString(message), this);
      box->setIcon(QMessageBox::Warning);
      RunMessageBox(*box);
      edit->setFocus(Qt::OtherFocusReason);
      edit->selectAll();
      return;
    }
    const uint32_t value = edit->text().trimmed().toUInt();
    if (field == SettingsField::TimeOut) typed.timeOut = value;
    if (field == SettingsField::Correction) typed.correction = value;
    if (field == SettingsField::LineLength) typed.lineLength = value;
  }
  typed.beep = beep_->isChecked() ? 1 : 0;
  values_ = typed;
  QDialog::accept();
}

}  // namespace tav::window
