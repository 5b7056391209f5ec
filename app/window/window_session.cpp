// The window's life cycle: the initialisation before it is shown, the
// position it keeps in the settings while it moves, and the close.
#include "app/window/window_session.h"

#include <QIcon>

#include "app/version/version_info.h"
#include "app/window_model/window_texts.h"
#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"

namespace tav::window {

WindowSession::WindowSession(MainWindow& window, WindowFeedback& feedback, BusyMarker& machineMarker,
                             FileChooser& chooser, SessionOptions options, VersionRecordSource* versionSource)
    : window_(window),
      feedback_(feedback),
      chooser_(chooser),
      versionSource_(versionSource),
      marker_(machineMarker, [this] { return Corner(); }, &window) {
  // The lists load the selected device once they are filled.
  options.loadDeviceAtStart = false;
  options.alwaysSaveAtClose = true;
  // Between failed board searches the user may correct the port and the
  // timing; the next attempt follows whether the dialog was confirmed or not.
  options.betweenSearchAttempts = [this] { EditSettings(session_->CurrentSettings(), &window_); };
  session_ = std::make_unique<Session>(feedback_, std::move(options));
  lists_ = std::make_unique<DeviceListModel>(session_->Library());

  connect(&window_, &MainWindow::ButtonClicked, this, &WindowSession::OnButton);
  connect(&window_, &MainWindow::CheckBoxClicked, this, [this](int id, bool) { OnCheckBox(id); });
  connect(&window_, &MainWindow::ManufacturerChosen, this, &WindowSession::OnManufacturer);
  connect(&window_, &MainWindow::DeviceChosen, this, &WindowSession::OnDevice);
  connect(&window_, &MainWindow::ClientMoved, this, &WindowSession::OnClientMoved);
  connect(&window_, &MainWindow::Minimised, this, &WindowSession::OnMinimised);
  connect(&window_, &MainWindow::Maximised, this, &WindowSession::OnMaximised);
  connect(&window_, &MainWindow::Closing, this, &WindowSession::OnClosing);
  window_.SetCloseGuard([this] { return MayClose(); });
}

void WindowSession::StartUp() {
  window_.setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));
  ShowTitle();
  size_ = window_.size();
  // Its messages appear here, before the window is shown.
  session_->LoadSettings();
  Settings& settings = session_->CurrentSettings();
  previous_ = QPoint(settings.XKoord, settings.YKoord);
  window_.move(previous_);
  // Port access, the board search and the fall-back to demonstration mode.
  // A simulator or trace that could not be set up has shown its message and
  // leaves the window in demonstration mode.
  session_->StartHardware();
  ShowCheckBoxes(CheckBoxesFor(settings, lists_->Controls()));
  ShowFileName();
  lists_->StartUp();
  ShowLists();
  // A simulated socket takes a chip of the device just selected.
  session_->FitSimulatedChip();
  // Demonstration mode is decided now and stays: the title shows it.
  ShowTitle();
  window_.SetControlEnabled(kCancelButton, false);
  feedback_.SetCancelRequested(0);
}

void WindowSession::ShowTitle() {
  std::unique_ptr<VersionInfo> info =
      versionSource_ ? std::make_unique<VersionInfo>(*versionSource_) : std::make_unique<VersionInfo>();
  // A program without the record simply gets "V." behind the name.
  info->Open("tavrolith.exe");
  window_.setWindowTitle(QString::fromStdString(WindowTitle(VersionText(*info), session_->DemoMode())));
}

QPoint WindowSession::Corner() const {
  const Settings& settings = session_->CurrentSettings();
  return QPoint(settings.XKoord, settings.YKoord);
}

// While the window runs, X-Koord and Y-Koord hold the client area's corner,
// which places the busy indicator over the logo.
void WindowSession::OnClientMoved(QPoint topLeft) {
  Settings& settings = session_->CurrentSettings();
  previous_ = Corner();
  settings.XKoord = topLeft.x();
  settings.YKoord = topLeft.y();
}

// Minimising moves the window first; its last visible corner is kept.
void WindowSession::OnMinimised() {
  Settings& settings = session_->CurrentSettings();
  settings.XKoord = previous_.x();
  settings.YKoord = previous_.y();
}

// The window has no maximise button; a maximise asked for by other means is
// undone.
void WindowSession::OnMaximised() {
  OnMinimised();
  window_.showNormal();
  window_.setGeometry(QRect(previous_, size_));
}

// A running command, here or in another copy, is never cut short.
bool WindowSession::MayClose() { return marker_.IsBusy() == kSuccess; }

void WindowSession::OnClosing() {
  Settings& settings = session_->CurrentSettings();
  // The next start places the window by its outer corner.
  const QPoint outer = window_.frameGeometry().topLeft();
  settings.XKoord = outer.x();
  settings.YKoord = outer.y();
  session_->Close(kSuccess);
  feedback_.ShowInfo(kCloseMessage);
}

}  // namespace tav::window
