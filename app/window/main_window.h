// SPDX-License-Identifier: GPL-2.0-or-later
// The program's one window: status line and progress bar across the top,
// the command buttons and the program file name on the left, the
// manufacturer and device lists, the option and lock boxes and the logo on
// the right. It only shows state and reports what the user did; what a
// click means is decided by whoever listens to its signals.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "app/window_model/window_view.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tav::window {

class DialogUnits;

// Each control carries its id (the window model's WindowControl) as its
// object name.
using ::tav::kBlankCheckButton;
using ::tav::kCancelButton;
using ::tav::kChecksumBox;
using ::tav::kDeviceList;
using ::tav::kEraseButton;
using ::tav::kFfSaveBox;
using ::tav::kFileNameField;
using ::tav::kIdCheckBox;
using ::tav::kLock1Box;
using ::tav::kLock2Box;
using ::tav::kLock3Box;
using ::tav::kManufacturerList;
using ::tav::kNewFileButton;
using ::tav::kPrefsButton;
using ::tav::kProgramButton;
using ::tav::kProgressBar;
using ::tav::kReadButton;
using ::tav::kStatusLine;
using ::tav::kVerifyBox;
using ::tav::kVerifyButton;

class MainWindow : public QDialog {
  Q_OBJECT

public:
  explicit MainWindow(QWidget* parent = nullptr);

  // Any control by its id; nullptr for an unknown id.
  QWidget* Control(int id) const;
  QPushButton* Button(int id) const;
  QCheckBox* CheckBox(int id) const;

  void SetStatusText(const QString& text);
  QString StatusText() const;
  void ShowProgress(int position, int range);
  // The name in the field, the full path as its tooltip.
  void SetFileName(const QString& name, const QString& path = QString());
  void SetChecked(int id, bool checked);
  bool IsChecked(int id) const;
  // A control that had the focus when it was disabled gets it back when it
  // is enabled again.
  void SetControlEnabled(int id, bool enabled);

  // Refill a list and select an entry without reporting a selection change:
  // only the user's choices are reported.
  void SetManufacturers(const QStringList& names, int selected);
  void SetDevices(const QStringList& names, int selected);


  // Consulted before the window closes; returning false keeps it open (a
  // command is running). Without a guard the window always closes.
  void SetCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

  // The logo's top-left corner relative to the client area, in pixels.
  QPoint LogoPosition() const;
  // Where the logo goes for the given base units: 311, 102 pixels at the
  // classic 6 by 13, and over the same spot of the layout for any font, so
  // that the busy indicator placed there always covers it.
  static QPoint LogoOffset(const DialogUnits& units);

signals:
  // A push button was clicked; the argument is its control id.
  void ButtonClicked(int id);
  // The user toggled a check box; the box already shows the new state.
  void CheckBoxClicked(int id, bool checked);
  void ManufacturerChosen(int index);
  void DeviceChosen(int index);
  // The client area's top-left corner moved to this screen position.
  void ClientMoved(QPoint topLeft);
  // The window was minimised, or maximised by other means than a button.
  void Minimised();
  void Maximised();
  // The window is about to close (the guard allowed it).
  void Closing();

public slots:
  // Escape and the close button both arrive here; the guard decides.
  void reject() override;

protected:
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QPushButton* AddButton(int id, const QString& caption, int x, int y, int w, int h);
  QCheckBox* AddCheckBox(int id, const QString& caption, int x, int y, int w, int h);
  void BuildLayout();

  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QComboBox* manufacturers_ = nullptr;
  QComboBox* devices_ = nullptr;
  QLabel* logo_ = nullptr;
  QPointer<QWidget> focusBefore_;  // where the focus was when a command began
  std::function<bool()> closeGuard_;
};

}  // namespace tav::window
