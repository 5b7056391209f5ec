// What the window's controls do: the five programmer commands through the
// session's command frame, the file dialogs, "Prefs", the check boxes and
// the two lists. The rules live in the session and the models; here clicks
// go in and their results come out into the widgets.
#include <QStringList>
#include <array>
#include <filesystem>

#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"
#include "app/window/window_session.h"
#include "app/window_model/file_dialogs.h"
#include "app/window_model/window_texts.h"
#include "settings/native_path.h"

namespace tav::window {

namespace {

// The boxes' control ids in the order of CheckBox.
constexpr std::array<int, 7> kBoxIds = {kVerifyBox, kIdCheckBox,  kFfSaveBox, kChecksumBox,
                                        kLock1Box,  kLock2Box,    kLock3Box};

QStringList Texts(const SelectionList& list) {
  QStringList texts;
  for (const SelectionEntry& entry : list.Entries) texts << QString::fromStdString(entry.Text);
  return texts;
}

std::filesystem::file_time_type WriteTime(const std::string& path) {
  std::error_code error;  // a missing file gives the earliest time
  return std::filesystem::last_write_time(NativePath(path), error);
}

std::string OverwriteQuestion(const std::string& path) {
  return "Die Datei\n" + path + "\nbesteht schon.\n\nSoll sie ersetzt werden?";
}

}  // namespace

void WindowSession::OnButton(int id) {
  switch (id) {
    case kBlankCheckButton: session_->RunCommand(Command::BlankCheck, marker_, *this); break;
    case kReadButton: ReadToFile(); break;
    case kProgramButton: session_->RunCommand(Command::Program, marker_, *this); break;
    case kVerifyButton: session_->RunCommand(Command::Verify, marker_, *this); break;
    case kEraseButton: session_->RunCommand(Command::Erase, marker_, *this); break;
    case kNewFileButton: ChooseProgramFile(); break;
    case kPrefsButton: EditPreferences(); break;
    default: break;  // "Abbrechen" reaches the feedback's cancel flag
  }
}

// "Auslesen", and afterwards the status line says where the file went and
// in what format, when the chosen file was really written (not after a
// cancelled dialog or socket prompt, nor after a failed read).
void WindowSession::ReadToFile() {
  readTarget_.clear();
  session_->RunCommand(Command::Read, marker_, *this);
  if (!readTarget_.empty() && WriteTime(readTarget_) != readTargetTime_) {
    feedback_.SetStatus(SavedFileStatus(session_->CurrentSettings()));
  }
}

// A corrected port address reaches the port at once. The dialog never
// leaves demonstration mode; access refused at the new address enters it.
void WindowSession::EditPreferences() {
  if (!EditSettings(session_->CurrentSettings(), &window_) || session_->DemoMode() != 0) return;
  session_->FollowPortAddress();
  ShowTitle();
}

int WindowSession::ChooseProgramFile() {
  Settings& settings = session_->CurrentSettings();
  FileChoice choice;
  if (!chooser_.Choose(OpenDialogSetup(settings), choice)) return kDialogCancelled;
  ApplyOpenDialog(settings, choice.path, choice.position);
  ShowFileName();
  return kSuccess;
}

int WindowSession::PrepareRead() {
  Settings& settings = session_->CurrentSettings();
  FileChoice choice;
  if (!chooser_.Choose(SaveDialogSetup(settings), choice)) return kDialogCancelled;
  // The extension rules may change the typed name: the question is about
  // the file that will really be replaced.
  Settings chosen = settings;
  ApplySaveDialog(chosen, choice.path, choice.position);
  std::error_code error;
  if (std::filesystem::exists(NativePath(chosen.ProgramFilePath), error) &&
      feedback_.AskOkCancel(OverwriteQuestion(chosen.ProgramFilePath)) == kCancel) {
    return kDialogCancelled;
  }
  settings = chosen;
  readTarget_ = settings.ProgramFilePath;
  readTargetTime_ = WriteTime(readTarget_);
  ShowFileName();
  return kSuccess;
}

void WindowSession::DisableControls() { window_.DisableControls(); }

void WindowSession::EnableControls() {
  window_.EnableControls();
  ShowDeviceControls(lists_->UpdateControls());
}

void WindowSession::OnCheckBox(int id) {
  for (size_t i = 0; i < kBoxIds.size(); ++i) {
    if (kBoxIds[i] != id) continue;
    ShowCheckBoxes(ClickCheckBox(CheckBox(i), session_->CurrentSettings(), lists_->Controls()));
  }
}

void WindowSession::OnManufacturer(int index) {
  lists_->SelectManufacturer(index);
  ShowLists();
}

void WindowSession::OnDevice(int index) {
  lists_->SelectDevice(index);
  ShowDeviceControls(lists_->Controls());
}

void WindowSession::ShowCheckBoxes(const CheckBoxStates& boxes) {
  for (const CheckBoxState& box : boxes) window_.SetChecked(kBoxIds[size_t(box.Box)], box.Checked);
}

void WindowSession::ShowLists() {
  window_.SetManufacturers(Texts(lists_->Manufacturers()), lists_->Manufacturers().Selected);
  window_.SetDevices(Texts(lists_->Devices()), lists_->Devices().Selected);
  ShowDeviceControls(lists_->Controls());
}

void WindowSession::ShowDeviceControls(const DeviceControls& controls) {
  window_.SetControlEnabled(kEraseButton, controls.EraseEnabled);
  window_.SetControlEnabled(kLock1Box, controls.Lock1Enabled);
  window_.SetControlEnabled(kLock2Box, controls.Lock2Enabled);
  window_.SetControlEnabled(kLock3Box, controls.Lock3Enabled);
}

void WindowSession::ShowFileName() {
  const Settings& settings = session_->CurrentSettings();
  window_.SetFileName(QString::fromStdString(settings.ProgramFileName), QString::fromStdString(settings.ProgramFilePath));
}

}  // namespace tav::window
