// SPDX-License-Identifier: GPL-2.0-or-later
// What the window's controls do: the five programmer commands through the
// session's command frame, the file dialogs, "Prefs", the check boxes and
// the two lists. The rules live in the session and the models; here clicks
// go in and their results go out to the view.
#include <array>
#include <filesystem>

#include "app/window_model/window_behaviour.h"
#include "app/window_model/window_texts.h"
#include "settings/native_path.h"

namespace tav {

namespace {

// The boxes' control ids in the order of CheckBox.
constexpr std::array<int, 7> kBoxIds = {kVerifyBox, kIdCheckBox, kFfSaveBox, kChecksumBox,
                                        kLock1Box,  kLock2Box,   kLock3Box};

// The input controls of a running command, in the order they are disabled.
// "Löschen" and the lock boxes come back as the selected device allows;
// "Abbrechen" belongs to neither group.
constexpr std::array<int, 17> kInputControls = {
    kProgramButton, kVerifyButton, kBlankCheckButton, kReadButton, kNewFileButton, kPrefsButton,
    kEraseButton,   kManufacturerList, kDeviceList, kVerifyBox, kFfSaveBox, kChecksumBox,
    kIdCheckBox,    kLock1Box,     kLock2Box,      kLock3Box,   kFileNameField};

bool ComesBackWithDevice(int id) {
  return id == kEraseButton || id == kLock1Box || id == kLock2Box || id == kLock3Box;
}

std::vector<std::string> Texts(const SelectionList& list) {
  std::vector<std::string> texts;
  for (const SelectionEntry& entry : list.Entries) texts.push_back(entry.Text);
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

void WindowBehaviour::OnButton(int id) {
  switch (id) {
    case kBlankCheckButton: session_->RunCommand(Command::BlankCheck, *marker_, *this); break;
    case kReadButton: ReadToFile(); break;
    case kProgramButton: session_->RunCommand(Command::Program, *marker_, *this); break;
    case kVerifyButton: session_->RunCommand(Command::Verify, *marker_, *this); break;
    case kEraseButton: session_->RunCommand(Command::Erase, *marker_, *this); break;
    case kNewFileButton: ChooseProgramFile(); break;
    case kPrefsButton: EditPreferences(); break;
    // Reaches the running operation at its next progress step.
    case kCancelButton: feedback_.SetCancelRequested(1); break;
    default: break;
  }
}

// "Auslesen", and afterwards the status line says where the file went and
// in what format, when the chosen file was really written (not after a
// cancelled dialog or socket prompt, nor after a failed read).
void WindowBehaviour::ReadToFile() {
  readTarget_.clear();
  session_->RunCommand(Command::Read, *marker_, *this);
  if (!readTarget_.empty() && WriteTime(readTarget_) != readTargetTime_) {
    feedback_.SetStatus(SavedFileStatus(session_->CurrentSettings()));
  }
}

// A corrected port address reaches the port at once. The dialog never
// leaves demonstration mode; access refused at the new address enters it.
void WindowBehaviour::EditPreferences() {
  if (!view_.OpenSettingsDialog(session_->CurrentSettings()) || session_->DemoMode() != 0) return;
  session_->FollowPortAddress();
  ShowTitle();
}

int WindowBehaviour::ChooseProgramFile() {
  Settings& settings = session_->CurrentSettings();
  FileChoice choice;
  if (!view_.AskForFile(OpenDialogSetup(settings), choice)) return kDialogCancelled;
  ApplyOpenDialog(settings, choice.path, choice.position);
  ShowFileName();
  return kSuccess;
}

int WindowBehaviour::PrepareRead() {
  Settings& settings = session_->CurrentSettings();
  FileChoice choice;
  if (!view_.AskForFile(SaveDialogSetup(settings), choice)) return kDialogCancelled;
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

void WindowBehaviour::DisableControls() {
  for (int id : kInputControls) view_.EnableControl(id, false);
}

void WindowBehaviour::EnableControls() {
  for (int id : kInputControls) {
    if (!ComesBackWithDevice(id)) view_.EnableControl(id, true);
  }
  ShowDeviceControls(lists_->UpdateControls());
}

void WindowBehaviour::OnCheckBox(int id) {
  for (size_t i = 0; i < kBoxIds.size(); ++i) {
    if (kBoxIds[i] == id) ShowCheckBoxes(ClickCheckBox(CheckBox(i), session_->CurrentSettings(), lists_->Controls()));
  }
}

void WindowBehaviour::OnListChosen(int id, int position) {
  if (id == kManufacturerList) {
    lists_->SelectManufacturer(position);
    ShowLists();
  } else if (id == kDeviceList) {
    lists_->SelectDevice(position);
    ShowDeviceControls(lists_->Controls());
  }
}

// A toolkit's box toggles itself on a click; the rules may check it again.
void WindowBehaviour::ShowCheckBoxes(const CheckBoxStates& boxes) {
  for (const CheckBoxState& box : boxes) view_.SetChecked(kBoxIds[size_t(box.Box)], box.Checked);
}

void WindowBehaviour::ShowLists() {
  view_.FillList(kManufacturerList, Texts(lists_->Manufacturers()), lists_->Manufacturers().Selected);
  view_.FillList(kDeviceList, Texts(lists_->Devices()), lists_->Devices().Selected);
  ShowDeviceControls(lists_->Controls());
}

void WindowBehaviour::ShowDeviceControls(const DeviceControls& controls) {
  view_.EnableControl(kEraseButton, controls.EraseEnabled);
  view_.EnableControl(kLock1Box, controls.Lock1Enabled);
  view_.EnableControl(kLock2Box, controls.Lock2Enabled);
  view_.EnableControl(kLock3Box, controls.Lock3Enabled);
}

void WindowBehaviour::ShowFileName() {
  view_.SetText(kFileNameField, session_->CurrentSettings().ProgramFileName);
}

}  // namespace tav
