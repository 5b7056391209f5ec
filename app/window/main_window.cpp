// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMoveEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/window/dialog_units.h"

namespace tav::window {

namespace {

constexpr int kWidthUnits = 266;
constexpr int kHeightUnits = 149;
constexpr int kLogoPixels = 75;

// Geometry of the left button columns, in dialog units.
constexpr int kLeftColumn = 7;
constexpr int kRightColumn = 62;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
// The right half: lists, option group with the logo, lock group.
constexpr int kListColumn = 116;
constexpr int kListWidth = 143;

QString IdName(int id) { return QString::number(id); }

void Name(QWidget* widget, int id, const QString& accessibleName) {
  widget->setObjectName(IdName(id));
  widget->setAccessibleName(accessibleName);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QDialog(parent) {
  // Caption with system menu and minimise button; no maximise, no help button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  // The version text is added once the version record is read.
  setWindowTitle(QStringLiteral("Brastel"));
  setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));
  setFont(DialogUnits::DialogFont());
  BuildLayout();
  setFixedSize(DialogUnits::FromFont(font()).Size(kWidthUnits, kHeightUnits));
}

QPushButton* MainWindow::AddButton(int id, const QString& caption, int x, int y, int w, int h) {
  auto* button = new QPushButton(caption, this);
  Name(button, id, caption);
  button->setGeometry(DialogUnits::FromFont(font()).Rect(x, y, w, h));
  // Enter clicks the push button that has the focus, as in a native dialog;
  // the default button ("Brennen") takes it only while no push button has it.
  button->setAutoDefault(true);
  connect(button, &QPushButton::clicked, this, [this, id] { emit ButtonClicked(id); });
  return button;
}

QCheckBox* MainWindow::AddCheckBox(int id, const QString& caption, int x, int y, int w, int h) {
  auto* box = new QCheckBox(caption, this);
  Name(box, id, caption);
  box->setGeometry(DialogUnits::FromFont(font()).Rect(x, y, w, h));
  connect(box, &QCheckBox::clicked, this, [this, id](bool checked) { emit CheckBoxClicked(id, checked); });
  return box;
}

void MainWindow::BuildLayout() {
  const DialogUnits du = DialogUnits::FromFont(font());

  status_ = new QLabel(QStringLiteral("Warte auf Eingaben"), this);
  Name(status_, kStatusLine, QStringLiteral("Statuszeile"));
  status_->setGeometry(du.Rect(7, 4, 252, 9));

  progress_ = new QProgressBar(this);
  Name(progress_, kProgressBar, QStringLiteral("Fortschritt"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setGeometry(du.Rect(7, 15, 252, 9));

  // Left: two columns of buttons with the file name field across both.
  AddButton(kBlankCheckButton, QStringLiteral("Leertest"), kLeftColumn, 30, kButtonWidth, kButtonHeight);
  AddButton(kReadButton, QStringLiteral("Auslesen"), kRightColumn, 30, kButtonWidth, kButtonHeight);
  QPushButton* program = AddButton(kProgramButton, QStringLiteral("Brennen"), kLeftColumn, 49, kButtonWidth, kButtonHeight);
  program->setDefault(true);
  AddButton(kVerifyButton, QStringLiteral("Prüfen"), kRightColumn, 49, kButtonWidth, kButtonHeight);

  fileName_ = new QLineEdit(this);
  Name(fileName_, kFileNameField, QStringLiteral("Programmdatei"));
  fileName_->setReadOnly(true);
  fileName_->setGeometry(du.Rect(kLeftColumn, 69, kRightColumn + kButtonWidth - kLeftColumn, 12));

  AddButton(kNewFileButton, QStringLiteral("Neue Datei"), kLeftColumn, 87, kButtonWidth, kButtonHeight);
  AddButton(kPrefsButton, QStringLiteral("Prefs"), kRightColumn, 87, kButtonWidth, kButtonHeight);
  AddButton(kEraseButton, QStringLiteral("Löschen"), kRightColumn, 106, kButtonWidth, kButtonHeight);
  QPushButton* cancel = AddButton(kCancelButton, QStringLiteral("Abbrechen"), (kLeftColumn + kRightColumn) / 2, 128,
                                  kButtonWidth, kButtonHeight);
  cancel->setEnabled(false);

  // Right: the two lists.
  manufacturers_ = new QComboBox(this);
  Name(manufacturers_, kManufacturerList, QStringLiteral("Hersteller"));
  manufacturers_->setGeometry(du.Rect(kListColumn, 30, kListWidth, 13));
  connect(manufacturers_, &QComboBox::activated, this, [this](int index) { emit ManufacturerChosen(index); });
  devices_ = new QComboBox(this);
  Name(devices_, kDeviceList, QStringLiteral("Baustein"));
  devices_->setGeometry(du.Rect(kListColumn, 46, kListWidth, 13));
  connect(devices_, &QComboBox::activated, this, [this](int index) { emit DeviceChosen(index); });

  // The option group with the logo beside it.
  auto* options = new QGroupBox(QStringLiteral("Optionen"), this);
  options->setObjectName(QStringLiteral("Optionen"));
  options->setAccessibleName(QStringLiteral("Optionen"));
  options->setGeometry(du.Rect(kListColumn, 61, 89, 53));
  options->lower();
  AddCheckBox(kVerifyBox, QStringLiteral("Baustein prüfen"), kListColumn + 4, 73, 84, 9);
  AddCheckBox(kIdCheckBox, QStringLiteral("ID prüfen"), kListColumn + 4, 82, 84, 9);
  AddCheckBox(kFfSaveBox, QStringLiteral("Leerzellen speichern"), kListColumn + 4, 91, 84, 9);
  AddCheckBox(kChecksumBox, QStringLiteral("Checksummen prüfen"), kListColumn + 4, 100, 84, 9);

  logo_ = new QLabel(this);
  logo_->setObjectName(QStringLiteral("Logo"));
  logo_->setAccessibleName(QStringLiteral("Logo"));
  logo_->setPixmap(QPixmap(QStringLiteral(":/art/logo.png")));
  logo_->setGeometry(QRect(LogoOffset(du), QSize(kLogoPixels, kLogoPixels)));

  // The lock group along the bottom, its boxes in one row.
  auto* locks = new QGroupBox(QStringLiteral("Schutzbits"), this);
  locks->setObjectName(QStringLiteral("Schutzbits"));
  locks->setAccessibleName(QStringLiteral("Schutzbits"));
  locks->setGeometry(du.Rect(kListColumn, 116, kListWidth, 29));
  locks->lower();
  AddCheckBox(kLock1Box, QStringLiteral("Lock1"), kListColumn + 10, 130, 40, 10);
  AddCheckBox(kLock2Box, QStringLiteral("Lock2"), kListColumn + 55, 130, 40, 10);
  AddCheckBox(kLock3Box, QStringLiteral("Lock3"), kListColumn + 100, 130, 40, 10);
}

QWidget* MainWindow::Control(int id) const {
  return findChild<QWidget*>(IdName(id), Qt::FindDirectChildrenOnly);
}

QPushButton* MainWindow::Button(int id) const { return qobject_cast<QPushButton*>(Control(id)); }
QCheckBox* MainWindow::CheckBox(int id) const { return qobject_cast<QCheckBox*>(Control(id)); }

void MainWindow::SetStatusText(const QString& text) { status_->setText(text); }
QString MainWindow::StatusText() const { return status_->text(); }

void MainWindow::ShowProgress(int position, int range) {
  // A zero range would make the bar "busy" (endless animation); an empty
  // bar is what the user should see instead.
  progress_->setRange(0, range > 0 ? range : 1);
  progress_->setValue(range > 0 ? position : 0);
}

void MainWindow::SetFileName(const QString& name, const QString& path) {
  fileName_->setText(name);
  fileName_->setToolTip(path);
}

void MainWindow::SetChecked(int id, bool checked) {
  if (QCheckBox* box = CheckBox(id)) box->setChecked(checked);
}

bool MainWindow::IsChecked(int id) const {
  const QCheckBox* box = CheckBox(id);
  return box != nullptr && box->isChecked();
}

void MainWindow::SetControlEnabled(int id, bool enabled) {
  QWidget* control = Control(id);
  if (control == nullptr) return;
  // A disabled control loses the focus; without giving it back when it is
  // enabled again the next Enter would go to the default button and start
  // programming. The first one of a command's controls that had it counts.
  if (!enabled && focusBefore_ == nullptr && control->hasFocus()) focusBefore_ = control;
  control->setEnabled(enabled);
  if (enabled && focusBefore_ == control) {
    control->setFocus(Qt::OtherFocusReason);
    focusBefore_ = nullptr;
  }
}

void MainWindow::SetManufacturers(const QStringList& names, int selected) {
  const QSignalBlocker quiet(manufacturers_);
  manufacturers_->clear();
  manufacturers_->addItems(names);
  manufacturers_->setCurrentIndex(selected);
}

void MainWindow::SetDevices(const QStringList& names, int selected) {
  const QSignalBlocker quiet(devices_);
  devices_->clear();
  devices_->addItems(names);
  devices_->setCurrentIndex(selected);
}

QPoint MainWindow::LogoPosition() const { return logo_->pos(); }

QPoint MainWindow::LogoOffset(const DialogUnits& units) { return QPoint(units.X(207), units.Y(63)); }

void MainWindow::reject() {
  if (closeGuard_ && !closeGuard_()) return;
  emit Closing();
  QDialog::reject();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  // geometry() is the client area, which is what places the busy indicator.
  emit ClientMoved(mapToGlobal(QPoint(0, 0)));
}

void MainWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if (isMinimized()) emit Minimised();
  else if (isMaximized()) emit Maximised();
}

}  // namespace tav::window
