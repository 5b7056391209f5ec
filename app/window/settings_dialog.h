// SPDX-License-Identifier: GPL-2.0-or-later
// The "Einstellungen" dialog: port address, timeout counter, time-base
// correction, hex line length and the warning beep. It shows the fields the
// settings' dialog model fills and hands what was typed to a confirmation
// it is given, so that the rules live with the settings, not in the widget.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "settings/settings_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tav::window {

// "OK": nullopt when the fields were accepted (and applied), else the field
// to give the focus to and the message to show.
using SettingsConfirm = std::function<std::optional<SettingsDialogRefusal>(const SettingsDialogFields& typed)>;

// Control ids; each control carries its id as its object name.
enum SettingsControlId : int {
  kSettingsOk = 1,
  kSettingsCancel = 2,
  kPortField = 1009,
  kTimeOutField = 1005,
  kCorrectionField = 1016,
  kLineLengthField = 1017,
  kBeepBox = 1018,
};

class SettingsDialog : public QDialog {
  Q_OBJECT

public:
  explicit SettingsDialog(SettingsConfirm confirm, QWidget* parent = nullptr);

  // Shows the fields; the port field shows list entry PortEntry, or the
  // port text when there is none.
  void SetFields(const SettingsDialogFields& fields);
  // The fields as they are typed now.
  SettingsDialogFields Fields() const;

  QWidget* Control(int id) const;

public slots:
  // Hands the fields to the confirmation; a refusal gets its message, the
  // focus goes to the refused field and the dialog stays open.
  void accept() override;

private:
  QWidget* FieldControl(SettingsField field) const;

  SettingsConfirm confirm_;
  QComboBox* port_ = nullptr;
  QLineEdit* timeOut_ = nullptr;
  QLineEdit* correction_ = nullptr;
  QLineEdit* lineLength_ = nullptr;
  QCheckBox* beep_ = nullptr;
};

// The dialog over `settings`: filled from them, and on OK the accepted
// values applied to them. True when it was confirmed.
bool EditSettings(Settings& settings, QWidget* parent);

}  // namespace tav::window
