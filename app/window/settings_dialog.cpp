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

void Name(QWidget* widget, int id, const QString& accessibleName) {
  widget->setObjectName(QString::number(id));
  widget->setAccessibleName(accessibleName);
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsConfirm confirm, QWidget* parent) : QDialog(parent), confirm_(std::move(confirm)) {
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
  for (const char* entry : kPortListEntries) port_->addItem(QString::fromLatin1(entry));
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
  // Enter on a focused "Abbrechen" cancels, as in a native dialog.
  cancel->setAutoDefault(true);
  connect(cancel, &QPushButton::clicked, this, &SettingsDialog::reject);

  beep_ = new QCheckBox(QStringLiteral("Signalton"), this);
  Name(beep_, kBeepBox, QStringLiteral("Signalton"));
  beep_->setGeometry(du.Rect(131, 45, 50, 10));
}

void SettingsDialog::SetFields(const SettingsDialogFields& fields) {
  if (fields.PortEntry >= 0 && fields.PortEntry < port_->count()) {
    port_->setCurrentIndex(fields.PortEntry);
  } else {
    port_->setCurrentIndex(-1);
    port_->setEditText(QString::fromStdString(fields.PortText));
  }
  timeOut_->setText(QString::fromStdString(fields.TimeOutText));
  correction_->setText(QString::fromStdString(fields.KorrekturText));
  lineLength_->setText(QString::fromStdString(fields.HexLineLenText));
  beep_->setChecked(fields.Beep);
}

SettingsDialogFields SettingsDialog::Fields() const {
  SettingsDialogFields fields;
  fields.PortText = port_->currentText().toStdString();
  fields.PortEntry = port_->currentIndex();
  fields.TimeOutText = timeOut_->text().toStdString();
  fields.KorrekturText = correction_->text().toStdString();
  fields.HexLineLenText = lineLength_->text().toStdString();
  fields.Beep = beep_->isChecked();
  return fields;
}

QWidget* SettingsDialog::Control(int id) const {
  return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QWidget* SettingsDialog::FieldControl(SettingsField field) const {
  switch (field) {
    case SettingsField::PortAdress: return port_;
    case SettingsField::TimeOut: return timeOut_;
    case SettingsField::TimeBaseKorr: return correction_;
    case SettingsField::HexLineLen: return lineLength_;
    case SettingsField::MessageBeap: return beep_;
  }
  return port_;
}

void SettingsDialog::accept() {
  const std::optional<SettingsDialogRefusal> refusal = confirm_ ? confirm_(Fields()) : std::nullopt;
  if (refusal) {
    std::unique_ptr<QMessageBox> box = MakeMessageBox(MessageKind::Plain, QString::fromStdString(refusal->Message), this);
    box->setIcon(QMessageBox::Warning);
    RunMessageBox(*box);
    QWidget* field = FieldControl(refusal->Field);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    if (auto* port = qobject_cast<QComboBox*>(field); port && port->lineEdit()) port->lineEdit()->selectAll();
    return;
  }
  QDialog::accept();
}

bool EditSettings(Settings& settings, QWidget* parent) {
  SettingsDialog dialog([&settings](const SettingsDialogFields& typed) { return ConfirmSettingsDialog(typed, settings); },
                        parent);
  dialog.SetFields(FillSettingsDialog(settings));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tav::window
