// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/window_session.h"

#include <QCoreApplication>
#include <QIcon>
#include <QStringList>

#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"

namespace tav::window {

WindowSession::WindowSession(MainWindow& window, WindowFeedback& feedback, BusyMarker& machineMarker,
                             FileChooser& chooser, SessionOptions options, VersionRecordSource* versionSource)
    : window_(window),
      chooser_(chooser),
      behaviour_(std::make_unique<WindowBehaviour>(*this, feedback, machineMarker, std::move(options), versionSource)) {
  WindowBehaviour& behaviour = *behaviour_;
  connect(&window_, &MainWindow::ButtonClicked, this, [&behaviour](int id) { behaviour.OnButton(id); });
  connect(&window_, &MainWindow::CheckBoxClicked, this, [&behaviour](int id, bool) { behaviour.OnCheckBox(id); });
  connect(&window_, &MainWindow::ManufacturerChosen, this,
          [&behaviour](int index) { behaviour.OnListChosen(kManufacturerList, index); });
  connect(&window_, &MainWindow::DeviceChosen, this,
          [&behaviour](int index) { behaviour.OnListChosen(kDeviceList, index); });
  connect(&window_, &MainWindow::ClientMoved, this,
          [&behaviour](QPoint corner) { behaviour.OnClientMoved({corner.x(), corner.y()}); });
  connect(&window_, &MainWindow::Minimised, this, [&behaviour] { behaviour.OnMinimised(); });
  connect(&window_, &MainWindow::Maximised, this, [&behaviour] { behaviour.OnMaximised(); });
  // The close sequence runs in the guard: a refused close changes nothing.
  window_.SetCloseGuard([&behaviour] { return behaviour.Close(); });
}

void WindowSession::StartUp() {
  window_.setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));
  behaviour_->StartUp();
}

void WindowSession::SetTitle(const std::string& title) { window_.setWindowTitle(QString::fromStdString(title)); }

void WindowSession::SetText(int id, const std::string& text) {
  if (id != kFileNameField) return;
  // The field shows the name; its tooltip the whole path.
  window_.SetFileName(QString::fromStdString(text),
                      QString::fromStdString(behaviour_->CurrentSession().CurrentSettings().ProgramFilePath));
}

void WindowSession::EnableControl(int id, bool enabled) { window_.SetControlEnabled(id, enabled); }

void WindowSession::FillList(int id, const std::vector<std::string>& entries, int selected) {
  QStringList texts;
  for (const std::string& entry : entries) texts << QString::fromStdString(entry);
  if (id == kManufacturerList) window_.SetManufacturers(texts, selected);
  if (id == kDeviceList) window_.SetDevices(texts, selected);
}

void WindowSession::SetChecked(int id, bool checked) { window_.SetChecked(id, checked); }

bool WindowSession::AskForFile(const FileDialogSetup& setup, FileChoice& choice) { return chooser_.Choose(setup, choice); }

bool WindowSession::OpenSettingsDialog(Settings& settings) { return EditSettings(settings, &window_); }

void WindowSession::CreateBusyWindow(WindowPoint clientCorner) {
  // Owned by the main window, so that any window manager keeps it above.
  indicator_ = std::make_unique<BusyIndicator>(QPoint(clientCorner.x, clientCorner.y), &window_);
  indicator_->show();
  // The command runs on this thread and pumps only at its progress steps:
  // without this the picture would stay unpainted until the first one.
  // User input waits, so that no second command can start here.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WindowSession::DestroyBusyWindow() { indicator_.reset(); }

WindowRect WindowSession::OuterRect() const {
  const QRect outer = window_.frameGeometry();
  return {outer.x(), outer.y(), outer.width(), outer.height()};
}

void WindowSession::PlaceWindow(const WindowRect& outer) {
  // The size is fixed; a maximise asked for by other means is undone.
  if (window_.isMaximized() || window_.isMinimized()) window_.showNormal();
  window_.move(outer.x, outer.y);
}

}  // namespace tav::window
