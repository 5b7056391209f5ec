// SPDX-License-Identifier: GPL-2.0-or-later
// The main window on Windows: the dialog of the resources, showing what the
// window's behaviour decides and reporting the user's clicks, list choices,
// moves, size changes and close requests to it. The busy window and the
// settings dialog come from the same resources.
#pragma once

#include <windows.h>

#include <functional>

#include "app/window_model/window_behaviour.h"
#include "app/window_model/window_view.h"

namespace tav::win32 {

class Win32MainWindow : public WindowView {
public:
  explicit Win32MainWindow(HINSTANCE instance);
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Where the user's actions go; set before the dialog is created. Its
  // StartUp runs while the dialog initialises, before it is shown.
  void Bind(WindowBehaviour& behaviour) { behaviour_ = &behaviour; }

  // The program: shows the dialog and runs its loop until it closes.
  void RunModal();
  // Tests: creates the dialog without a modal loop, so that they can send
  // it what a user would. The dialog goes with this object.
  HWND CreateModeless();
  HWND Handle() const { return window_; }
  HWND BusyWindow() const { return busy_; }

  // Seams for tests: the file dialogs (default: the common dialogs) and a
  // look at the settings dialog once it is filled.
  std::function<bool(const FileDialogSetup&, FileChoice&)> chooseFile;
  std::function<void(HWND)> settingsShown;

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
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  void RequestClose();

  HINSTANCE instance_;
  WindowBehaviour* behaviour_ = nullptr;
  HWND window_ = nullptr;
  HWND busy_ = nullptr;
  HICON icon_ = nullptr;
  HWND focusBefore_ = nullptr;  // where the focus was when a command began
};

}  // namespace tav::win32
