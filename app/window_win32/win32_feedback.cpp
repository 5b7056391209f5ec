// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_feedback.h"

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "app/window_model/window_view.h"
#include "settings/native_path.h"

namespace tav::win32 {

UINT MessageBoxStyle(MessageKind kind) {
  const UINT modal = MB_TASKMODAL | MB_SETFOREGROUND;
  switch (kind) {
    case MessageKind::Info: return modal | MB_OK | MB_ICONINFORMATION;
    case MessageKind::RetryCancel: return modal | MB_RETRYCANCEL | MB_ICONINFORMATION;
    case MessageKind::OkCancel: return modal | MB_OKCANCEL | MB_ICONINFORMATION;
    case MessageKind::Plain: return modal | MB_OK;
  }
  return modal | MB_OK;
}

int AnswerOf(int pressed, MessageKind kind) {
  switch (pressed) {
    case IDRETRY: return kRetry;
    case IDCANCEL: return kCancel;
    case IDOK: return kOk;
    // A box that could not be shown counts as its safe answer.
    default: return kind == MessageKind::RetryCancel || kind == MessageKind::OkCancel ? kCancel : kOk;
  }
}

std::wstring ProgramCaption() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
  return std::filesystem::path(path).stem().wstring();
}

int Win32Feedback::Present(MessageKind kind, const std::string& text) {
  const int pressed = MessageBoxW(Window(), WidePath(text).c_str(), ProgramCaption().c_str(), MessageBoxStyle(kind));
  return AnswerOf(pressed, kind);
}

void Win32Feedback::SetStatus(const std::string& text) {
  if (Window()) SetDlgItemTextW(Window(), kStatusLine, WidePath(text).c_str());
}

void Win32Feedback::RepaintNow() {
  // Operations run on the one thread, so a plain invalidation would wait
  // for the next pump; the status text must be visible now.
  if (Window()) RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Feedback::EnableCancelButton(bool on) {
  if (Window()) EnableWindow(GetDlgItem(Window(), kCancelButton), on);
}

void Win32Feedback::ShowBar(int position, int range) {
  if (!Window()) return;
  const HWND bar = GetDlgItem(Window(), kProgressBar);
  SendMessageW(bar, PBM_SETRANGE32, 0, range > 0 ? range : 1);
  SendMessageW(bar, PBM_SETPOS, WPARAM(range > 0 ? position : 0), 0);
}

void Win32Feedback::PumpMessages() {
  // Everything already queued, without waiting for more: clicks on
  // "Abbrechen", repaints and close requests. The dialog's keyboard
  // handling comes first, as in the dialog's own loop.
  const HWND window = Window();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(int(message.wParam));  // for the loop that waits for it
      return;
    }
    if (window && IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace tav::win32
