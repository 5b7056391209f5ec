// The "Einstellungen" dialog: port address, timeout counter, time-base
// correction, hex line length and the warning beep. It shows and returns
// the five values; which numbers are acceptable is decided by a check it is
// given, so that the rules live with the settings, not in the widget.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tav::window {

struct SettingsDialogValues {
  std::string portText;
  uint32_t timeOut = 0;
  uint32_t correction = 0;
  uint32_t lineLength = 0;
  int beep = 0;
};

// The number fields, in the order they are checked on OK.
enum class SettingsField { TimeOut, Correction, LineLength };

// Returns an empty text when `typed` is acceptable for the field, otherwise
// the message to show.
using FieldCheck = std::function<std::string(SettingsField field, const std::string& typed)>;

// Stand-in until the settings dialog model supplies its check: unsigned
// decimal numbers within 10000..10000000, 70..100 and 2..254.
std::string LocalFieldCheck(SettingsField field, const std::string& typed);

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
  explicit SettingsDialog(FieldCheck check, QWidget* parent = nullptr);

  // The port list's entries, in list order.
  static const QStringList& PortEntries();

  // Fills the fields. The port field shows the list entry that begins with
  // the port text (ignoring case) when there is one, else the text itself.
  void SetValues(const SettingsDialogValues& values);
  // The values as confirmed with OK; meaningful after exec() returned Accepted.
  const SettingsDialogValues& Values() const { return values_; }

  QWidget* Control(int id) const;

public slots:
  // Checks the number fields in order; the first refused one gets the
  // message and the focus, and the dialog stays open.
  void accept() override;

private:
  QLineEdit* NumberField(SettingsField field) const;

  FieldCheck check_;
  SettingsDialogValues values_;
  QComboBox* port_ = nullptr;
  QLineEdit* timeOut_ = nullptr;
  QLineEdit* correction_ = nullptr;
  QLineEdit* lineLength_ = nullptr;
  QCheckBox* beep_ = nullptr;
};

}  // namespace tav::window
