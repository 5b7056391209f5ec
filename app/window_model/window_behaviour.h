// SPDX-License-Identifier: GPL-2.0-or-later
// What the main window does, for every toolkit: the start-up in its order,
// the commands inside the session's command frame with their file dialogs,
// "Prefs", the check boxes, the two lists, the position the settings keep
// while the window moves, and the close. A toolkit's window reports what
// the user did to these handlers and shows what they decide through its
// WindowView; messages, status, progress and cancel go through Feedback.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/session/session.h"
#include "base/feedback.h"
#include "app/window_model/check_boxes.h"
#include "app/window_model/window_view.h"
#include "library/device_selection.h"

namespace tav {

class VersionRecordSource;

inline constexpr const char* kCloseMessage = "Baustein jetzt unbedingt\naus dem Sockel nehmen !!!";

// The marker of a running command as a window shows it: while it is held,
// the view's busy window exists, and the marker every copy of the program
// looks for (`outside`) is held too.
class WindowBusyMarker : public BusyMarker {
public:
  WindowBusyMarker(BusyMarker& outside, WindowView& view, const Settings& settings)
      : outside_(outside), view_(view), settings_(settings) {}

  // Busy also while this window's own command holds the marker.
  int IsBusy() override { return held_ ? kBusy : outside_.IsBusy(); }
  int Acquire() override;
  void Release() override;
  bool Held() const { return held_; }

private:
  BusyMarker& outside_;
  WindowView& view_;
  const Settings& settings_;  // X-Koord, Y-Koord: where the busy window goes
  bool held_ = false;
};

class WindowBehaviour : public CommandFrameHooks {
public:
  // `outsideMarker` is what every copy of the program sees of a running
  // command; `versionSource` reads the title's version record (nullptr:
  // the platform's own).
  WindowBehaviour(WindowView& view, Feedback& feedback, BusyMarker& outsideMarker, SessionOptions options,
                  VersionRecordSource* versionSource = nullptr);

  // The window's initialisation, before it is shown.
  void StartUp();

  // What the user did. A button or box by its control id; a list's new
  // selection by the list's id and the entry's position.
  void OnButton(int id);
  void OnCheckBox(int id);
  void OnListChosen(int id, int position);
  // The client area's top-left corner moved to `corner`.
  void OnClientMoved(WindowPoint corner);
  void OnMinimised();
  void OnMaximised();
  // A close request. False while a command runs here or in another copy:
  // the window stays open. Otherwise the close sequence has run (settings
  // saved, the user told to take the chip out) and the window may go.
  bool Close();

  Session& CurrentSession() { return *session_; }
  const DeviceListModel& Lists() const { return *lists_; }
  bool CommandRunning() const { return marker_->Held(); }

  // The command frame's hooks.
  int ChooseProgramFile() override;
  int PrepareRead() override;
  void DisableControls() override;
  void EnableControls() override;

private:
  void ReadToFile();
  void EditPreferences();
  void ShowTitle();
  void ShowCheckBoxes(const CheckBoxStates& boxes);
  void ShowLists();
  void ShowDeviceControls(const DeviceControls& controls);
  void ShowFileName();
  WindowPoint Corner() const;

  WindowView& view_;
  Feedback& feedback_;
  VersionRecordSource* versionSource_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<WindowBusyMarker> marker_;
  std::unique_ptr<DeviceListModel> lists_;
  std::string readTarget_;  // the file "Auslesen" is about to write, and its time then
  std::filesystem::file_time_type readTargetTime_;
  WindowPoint previous_;  // X-Koord, Y-Koord before the last move
  int width_ = 0;         // the outer size as laid out
  int height_ = 0;
};

}  // namespace tav
