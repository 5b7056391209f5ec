// SPDX-License-Identifier: GPL-2.0-or-later
// The Qt view of the window's behaviour: the main window, its dialogs and
// the busy indicator shown as the shared WindowBehaviour decides, and the
// user's clicks, choices, moves and close requests handed to it.
#pragma once

#include <QObject>
#include <memory>

#include "app/window/busy_indicator.h"
#include "app/window_model/window_behaviour.h"
#include "app/window_model/window_view.h"

namespace tav {
class VersionRecordSource;
}

namespace tav::window {

class FileChooser;
class MainWindow;
class WindowFeedback;

using ::tav::kCloseMessage;

class WindowSession : public QObject, public WindowView {
  Q_OBJECT

public:
  // `machineMarker` is the marker every copy of the program sees;
  // `versionSource` reads the title's version record (nullptr: the
  // platform's own).
  WindowSession(MainWindow& window, WindowFeedback& feedback, BusyMarker& machineMarker, FileChooser& chooser,
                SessionOptions options, VersionRecordSource* versionSource = nullptr);

  // The window's initialisation, before it is shown.
  void StartUp();

  Session& CurrentSession() { return behaviour_->CurrentSession(); }
  const DeviceListModel& Lists() const { return behaviour_->Lists(); }
  bool CommandRunning() const { return behaviour_->CommandRunning(); }

  // WindowView.
  void SetTitle(const std::string& title) override;
  void SetText(int id, const std::string& text) override;
  void EnableControl(int id, bool enabled) override;
  void FillList(int id, const std::vector<std::string>& entries, int selected) override;
  void SetChecked(int id, bool checked) override;
  bool AskForFile(const FileDialogSetup& setup, FileChoice& choice) override;
  bool OpenSettingsDialog(Settings& settings) override;
  void CreateBusyWindow(WindowPoint clientCorner) override;
  void DestroyBusyWindow() override;
  WindowRect OuterRect() const override;
  void PlaceWindow(const WindowRect& outer) override;

private:
  MainWindow& window_;
  FileChooser& chooser_;
  std::unique_ptr<BusyIndicator> indicator_;
  std::unique_ptr<WindowBehaviour> behaviour_;
};

}  // namespace tav::window
