// SPDX-License-Identifier: GPL-2.0-or-later
// The window's life cycle: the initialisation before it is shown, the
// position it keeps in the settings while it moves, and the close.
#include "app/window_model/window_behaviour.h"

#include "app/version/version_info.h"
#include "app/window_model/window_texts.h"

namespace tav {

int WindowBusyMarker::Acquire() {
  if (held_) return kBusy;
  const int result = outside_.Acquire();
  if (result != kSuccess) return result;
  held_ = true;
  // X-Koord, Y-Koord hold the client area's corner while the window runs.
  view_.CreateBusyWindow({settings_.XKoord, settings_.YKoord});
  return kSuccess;
}

void WindowBusyMarker::Release() {
  if (!held_) return;
  view_.DestroyBusyWindow();
  held_ = false;
  outside_.Release();
}

WindowBehaviour::WindowBehaviour(WindowView& view, Feedback& feedback, BusyMarker& outsideMarker,
                                 SessionOptions options, VersionRecordSource* versionSource)
    : view_(view), feedback_(feedback), versionSource_(versionSource) {
  // The lists load the selected device once they are filled.
  options.loadDeviceAtStart = false;
  options.alwaysSaveAtClose = true;
  // Between failed board searches the user may correct the port and the
  // timing; the next attempt follows whether the dialog was confirmed or not.
  options.betweenSearchAttempts = [this] { view_.OpenSettingsDialog(session_->CurrentSettings()); };
  session_ = std::make_unique<Session>(feedback_, std::move(options));
  marker_ = std::make_unique<WindowBusyMarker>(outsideMarker, view_, session_->CurrentSettings());
  lists_ = std::make_unique<DeviceListModel>(session_->Library());
}

void WindowBehaviour::StartUp() {
  ShowTitle();
  const WindowRect laidOut = view_.OuterRect();
  width_ = laidOut.width;
  height_ = laidOut.height;
  // Its messages appear here, before the window is shown.
  session_->LoadSettings();
  previous_ = Corner();
  view_.PlaceWindow({previous_.x, previous_.y, width_, height_});
  // Port access, the board search and the fall-back to demonstration mode.
  // A simulator or trace that could not be set up has shown its message and
  // leaves the window in demonstration mode.
  session_->StartHardware();
  ShowCheckBoxes(CheckBoxesFor(session_->CurrentSettings(), lists_->Controls()));
  ShowFileName();
  lists_->StartUp();
  ShowLists();
  // A simulated socket takes a chip of the device just selected.
  session_->FitSimulatedChip();
  // Demonstration mode is decided now and stays: the title shows it.
  ShowTitle();
  view_.EnableControl(kCancelButton, false);
  feedback_.SetCancelRequested(0);
}

void WindowBehaviour::ShowTitle() {
  std::unique_ptr<VersionInfo> info =
      versionSource_ ? std::make_unique<VersionInfo>(*versionSource_) : std::make_unique<VersionInfo>();
  // A program without the record simply gets "V." behind the name.
  info->Open("tavrolith.exe");
  view_.SetTitle(WindowTitle(VersionText(*info), session_->DemoMode()));
}

WindowPoint WindowBehaviour::Corner() const {
  const Settings& settings = session_->CurrentSettings();
  return {settings.XKoord, settings.YKoord};
}

// While the window runs, X-Koord and Y-Koord hold the client area's corner,
// which places the busy window over the logo.
void WindowBehaviour::OnClientMoved(WindowPoint corner) {
  Settings& settings = session_->CurrentSettings();
  previous_ = Corner();
  settings.XKoord = corner.x;
  settings.YKoord = corner.y;
}

// Minimising moves the window first; its last visible corner is kept.
void WindowBehaviour::OnMinimised() {
  Settings& settings = session_->CurrentSettings();
  settings.XKoord = previous_.x;
  settings.YKoord = previous_.y;
}

// The window has no maximise button; a maximise asked for by other means is
// undone.
void WindowBehaviour::OnMaximised() {
  OnMinimised();
  view_.PlaceWindow({previous_.x, previous_.y, width_, height_});
}

bool WindowBehaviour::Close() {
  // A running command, here or in another copy, is never cut short.
  if (marker_->IsBusy() != kSuccess) return false;
  Settings& settings = session_->CurrentSettings();
  // The next start places the window by its outer corner.
  const WindowRect outer = view_.OuterRect();
  settings.XKoord = outer.x;
  settings.YKoord = outer.y;
  session_->Close(kSuccess);
  feedback_.ShowInfo(kCloseMessage);
  return true;
}

}  // namespace tav
