// SPDX-License-Identifier: GPL-2.0-or-later
// What the window's behaviour needs from a toolkit: a handful of things to
// show and two dialogs to run. Every toolkit's window implements this once;
// what a click means is decided by WindowBehaviour, not by the view. The
// message boxes, the status line, the progress bar and the message pump are
// the Feedback's business.
#pragma once

#include <string>
#include <vector>

#include "app/window_model/file_dialogs.h"
#include "settings/settings.h"

namespace tav {

// The main window's controls, by the ids every toolkit's window gives them.
enum WindowControl : int {
  kBlankCheckButton = 1000,  // "Leertest"
  kReadButton = 1001,        // "Auslesen"
  kProgramButton = 1002,     // "Brennen", the default button
  kVerifyButton = 1003,      // "Prüfen"
  kManufacturerList = 1004,
  kFileNameField = 1005,
  kNewFileButton = 1006,     // "Neue Datei"
  kPrefsButton = 1007,       // "Prefs"
  kIdCheckBox = 1008,        // "ID prüfen"
  kLock2Box = 1009,          // "Lock2"
  kLock3Box = 1010,          // "Lock3"
  kDeviceList = 1011,
  kVerifyBox = 1012,         // "Baustein prüfen"
  kFfSaveBox = 1013,         // "Leerzellen speichern"
  kEraseButton = 1014,       // "Löschen"
  kLock1Box = 1015,          // "Lock1"
  kStatusLine = 1016,
  kCancelButton = 1017,      // "Abbrechen"
  kProgressBar = 1019,
  kChecksumBox = 1022,       // "Checksummen prüfen"
};

// The title's first word; a copy of the program is known by it.
inline constexpr const char* kWindowTitleWord = "Brastel";
// The busy marker window's title, looked for by every copy of the program.
inline constexpr const char* kBusyWindowTitle = "Quenvaldokraft";

// Screen pixels.
struct WindowPoint {
  int x = 0;
  int y = 0;
  bool operator==(const WindowPoint&) const = default;
};

struct WindowRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowRect&) const = default;
};

// A confirmed file dialog: the path and the filter position (from 1).
struct FileChoice {
  std::string path;
  int position = 1;
};

class WindowView {
public:
  virtual ~WindowView() = default;

  virtual void SetTitle(const std::string& title) = 0;
  // The text of a static or edit control (the file name field).
  virtual void SetText(int id, const std::string& text) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  // Refills a drop-down list and selects entry `selected` (-1: none)
  // without reporting it as the user's choice.
  virtual void FillList(int id, const std::vector<std::string>& entries, int selected) = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // Shows an open or save dialog as `setup` describes; true and `choice`
  // filled when it was confirmed. A save dialog asks nothing about an
  // existing file: the behaviour asks about the name really written.
  virtual bool AskForFile(const FileDialogSetup& setup, FileChoice& choice) = 0;
  // "Einstellungen", modal: filled from `settings`, applied to them on OK.
  // True when it was confirmed.
  virtual bool OpenSettingsDialog(Settings& settings) = 0;

  // The busy marker window over the logo, for the main window's client-area
  // corner `clientCorner`; destroyed again when the command ends.
  virtual void CreateBusyWindow(WindowPoint clientCorner) = 0;
  virtual void DestroyBusyWindow() = 0;

  // The window's outer rectangle, and placing it (restored if it was
  // minimised or maximised).
  virtual WindowRect OuterRect() const = 0;
  virtual void PlaceWindow(const WindowRect& outer) = 0;
};

}  // namespace tav
