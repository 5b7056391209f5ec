// The window over the shared session: start-up, the commands, the dialogs,
// the check boxes, the lists, the position tracking and the close. It only
// translates: clicks go to the session and the rule models, and what they
// decide goes back into the widgets.
#pragma once

#include <QObject>
#include <QPoint>
#include <filesystem>
#include <memory>
#include <string>

#include "app/session/session.h"
#include "app/window/busy_indicator.h"
#include "app/window_model/check_boxes.h"
#include "library/device_selection.h"

namespace tav {
class VersionRecordSource;
}

namespace tav::window {

class FileChooser;
class MainWindow;
class WindowFeedback;

inline constexpr const char* kCloseMessage = "Baustein jetzt unbedingt\naus dem Sockel nehmen !!!";

class WindowSession : public QObject, public CommandFrameHooks {
  Q_OBJECT

public:
  // `machineMarker` is the marker every copy of the program sees;
  // `versionSource` reads the title's version record (nullptr: the
  // platform's own).
  WindowSession(MainWindow& window, WindowFeedback& feedback, BusyMarker& machineMarker, FileChooser& chooser,
                SessionOptions options, VersionRecordSource* versionSource = nullptr);

  // The window's initialisation, before it is shown.
  void StartUp();

  Session& CurrentSession() { return *session_; }
  const DeviceListModel& Lists() const { return *lists_; }
  bool CommandRunning() const { return marker_.Held(); }

  // The command frame's hooks.
  int ChooseProgramFile() override;
  int PrepareRead() override;
  void DisableControls() override;
  void EnableControls() override;

private:
  void OnButton(int id);
  void ReadToFile();
  void EditPreferences();
  void OnCheckBox(int id);
  void OnManufacturer(int index);
  void OnDevice(int index);
  void OnClientMoved(QPoint topLeft);
  void OnMinimised();
  void OnMaximised();
  bool MayClose();
  void OnClosing();

  void ShowTitle();
  void ShowCheckBoxes(const CheckBoxStates& boxes);
  void ShowLists();
  void ShowDeviceControls(const DeviceControls& controls);
  void ShowFileName();
  QPoint Corner() const;

  MainWindow& window_;
  WindowFeedback& feedback_;
  FileChooser& chooser_;
  VersionRecordSource* versionSource_;
  IndicatedBusyMarker marker_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<DeviceListModel> lists_;
  std::string readTarget_;  // the file "Auslesen" is about to write, and its time then
  std::filesystem::file_time_type readTargetTime_;
  QPoint previous_;  // X-Koord, Y-Koord before the last move
  QSize size_;       // width and height as laid out
};

}  // namespace tav::window
