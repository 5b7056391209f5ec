// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_main_window.h"

#include <commctrl.h>

#include "app/window_win32/resource_ids.h"
#include "app/window_win32/win32_file_dialog.h"
#include "app/window_win32/win32_settings_dialog.h"
#include "settings/native_path.h"

namespace tav::win32 {

static_assert(IDC_BLANK_CHECK == kBlankCheckButton && IDC_READ == kReadButton && IDC_PROGRAM == kProgramButton &&
              IDC_VERIFY == kVerifyButton && IDC_MANUFACTURERS == kManufacturerList && IDC_FILE_NAME == kFileNameField &&
              IDC_NEW_FILE == kNewFileButton && IDC_PREFS == kPrefsButton && IDC_ID_CHECK == kIdCheckBox &&
              IDC_LOCK2 == kLock2Box && IDC_LOCK3 == kLock3Box && IDC_DEVICES == kDeviceList &&
              IDC_VERIFY_BOX == kVerifyBox && IDC_FF_SAVE == kFfSaveBox && IDC_ERASE == kEraseButton &&
              IDC_LOCK1 == kLock1Box && IDC_STATUS == kStatusLine && IDC_CANCEL == kCancelButton &&
              IDC_PROGRESS == kProgressBar && IDC_CHECKSUM == kChecksumBox,
              "the resource script and WindowControl disagree");

namespace {

bool IsCheckBox(int id) {
  return id == kVerifyBox || id == kIdCheckBox || id == kFfSaveBox || id == kChecksumBox || id == kLock1Box ||
         id == kLock2Box || id == kLock3Box;
}

// The resource's pictures, set into picture controls (which then own them).
void ShowPicture(HWND dialog, int control, int picture) {
  const HANDLE bitmap = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(picture), IMAGE_BITMAP, 0, 0, 0);
  SendDlgItemMessageW(dialog, control, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap));
}

INT_PTR CALLBACK BusyProcedure(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  SetWindowTextW(dialog, WidePath(kBusyWindowTitle).c_str());
  ShowPicture(dialog, IDC_BUSY_PICTURE, IDB_BUSY_PICTURE);
  // FALSE: the dialog manager must not give it the focus, which would take
  // it from the main window's buttons and from "Abbrechen".
  return FALSE;
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  chooseFile = [this](const FileDialogSetup& setup, FileChoice& choice) {
    return ChooseFileWithCommonDialog(window_, setup, choice);
  };
}

Win32MainWindow::~Win32MainWindow() {
  if (busy_) DestroyWindow(busy_);
  if (window_) DestroyWindow(window_);
}

// The program's only window runs its own dialog loop until it is closed:
// the same dialog the tests drive, with the dialog keyboard of a modal run.
// (Under Wine, EndDialog after a task-modal box inside the dialog's own
// loop left the window open.)
void Win32MainWindow::RunModal() {
  if (!CreateModeless()) return;
  ShowWindow(window_, SW_SHOW);
  MSG message;
  while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window_ && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HWND Win32MainWindow::CreateModeless() {
  CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, Procedure, LPARAM(this));
  return window_;
}

INT_PTR CALLBACK Win32MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<Win32MainWindow*>(lParam)->window_ = window;
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR Win32MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
      SendMessageW(window_, WM_SETICON, ICON_BIG, LPARAM(icon_));
      SendMessageW(window_, WM_SETICON, ICON_SMALL, LPARAM(icon_));
      ShowPicture(window_, IDC_LOGO, IDB_LOGO);
      if (behaviour_) behaviour_->StartUp();
      return TRUE;  // the dialog manager sets the first focus
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      RequestClose();
      return TRUE;
    case WM_MOVE:
      // The client area's corner in screen pixels (signed: beyond the left
      // or top edge of the screen it is negative). The start-up's own move
      // counts too: from then on X-Koord, Y-Koord hold the client corner.
      // Minimising moves the window first; the size notification undoes it.
      if (behaviour_) {
        behaviour_->OnClientMoved({short(LOWORD(lParam)), short(HIWORD(lParam))});
      }
      return FALSE;
    case WM_SIZE:
      if (behaviour_ && wParam == SIZE_MINIMIZED) behaviour_->OnMinimised();
      if (behaviour_ && wParam == SIZE_MAXIMIZED) behaviour_->OnMaximised();
      return FALSE;
    default:
      return FALSE;
  }
}

void Win32MainWindow::OnCommand(int id, int code) {
  if (!behaviour_) return;
  if (id == IDCANCEL) {  // Escape
    RequestClose();
  } else if (id == kManufacturerList || id == kDeviceList) {
    if (code == CBN_SELCHANGE) {
      behaviour_->OnListChosen(id, int(SendDlgItemMessageW(window_, id, CB_GETCURSEL, 0, 0)));
    }
  } else if (code == BN_CLICKED && IsCheckBox(id)) {
    behaviour_->OnCheckBox(id);
  } else if (code == BN_CLICKED) {
    // Enter reaches here as a click on the default button ("Brennen") or
    // on the focused push button, as dialogs do.
    behaviour_->OnButton(id);
  }
}

void Win32MainWindow::RequestClose() {
  if (behaviour_ && !behaviour_->Close()) return;
  const HWND closing = window_;
  window_ = nullptr;  // the loop of RunModal ends
  DestroyWindow(closing);
}

void Win32MainWindow::SetTitle(const std::string& title) { SetWindowTextW(window_, WidePath(title).c_str()); }

void Win32MainWindow::SetText(int id, const std::string& text) {
  SetDlgItemTextW(window_, id, WidePath(text).c_str());
}

void Win32MainWindow::EnableControl(int id, bool enabled) {
  const HWND control = GetDlgItem(window_, id);
  // A disabled control loses the focus; without giving it back when it is
  // enabled again the next Enter would go to the default button and start
  // programming. The first one of a command's controls that had it counts.
  if (!enabled && focusBefore_ == nullptr && GetFocus() == control) focusBefore_ = control;
  EnableWindow(control, enabled);
  if (enabled && control == focusBefore_) {
    SendMessageW(window_, WM_NEXTDLGCTL, WPARAM(control), TRUE);
    focusBefore_ = nullptr;
  }
}

void Win32MainWindow::FillList(int id, const std::vector<std::string>& entries, int selected) {
  // CB_SETCURSEL sends no CBN_SELCHANGE: only the user's choices are reported.
  const HWND list = GetDlgItem(window_, id);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const std::string& entry : entries) SendMessageW(list, CB_ADDSTRING, 0, LPARAM(WidePath(entry).c_str()));
  SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
}

void Win32MainWindow::SetChecked(int id, bool checked) {
  CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32MainWindow::AskForFile(const FileDialogSetup& setup, FileChoice& choice) { return chooseFile(setup, choice); }

bool Win32MainWindow::OpenSettingsDialog(Settings& settings) {
  return RunSettingsDialog(instance_, window_, settings, settingsShown);
}

void Win32MainWindow::CreateBusyWindow(WindowPoint clientCorner) {
  if (busy_) return;
  // Owned by the main window, so that it stays above it; never activated,
  // so that "Abbrechen" keeps the keyboard.
  busy_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_BUSY), window_, BusyProcedure, 0);
  if (!busy_) return;
  // Over the logo: the logo's offset in the client area from the corner.
  RECT logo{};
  GetWindowRect(GetDlgItem(window_, IDC_LOGO), &logo);
  POINT offset{logo.left, logo.top};
  ScreenToClient(window_, &offset);
  SetWindowPos(busy_, HWND_TOP, clientCorner.x + offset.x, clientCorner.y + offset.y, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(busy_, SW_SHOWNOACTIVATE);
  // No message is pumped before the operation's first progress step.
  RedrawWindow(busy_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32MainWindow::DestroyBusyWindow() {
  if (busy_) DestroyWindow(busy_);
  busy_ = nullptr;
}

WindowRect Win32MainWindow::OuterRect() const {
  RECT rect{};
  GetWindowRect(window_, &rect);
  return {int(rect.left), int(rect.top), int(rect.right - rect.left), int(rect.bottom - rect.top)};
}

void Win32MainWindow::PlaceWindow(const WindowRect& outer) {
  if (IsIconic(window_) || IsZoomed(window_)) ShowWindow(window_, SW_RESTORE);
  MoveWindow(window_, outer.x, outer.y, outer.width, outer.height, TRUE);
}

}  // namespace tav::win32
