// SPDX-License-Identifier: GPL-2.0-or-later
// The feedback services on Windows: MessageBoxW with the program's name as
// caption and the system's beep, the status line, the progress bar and
// "Abbrechen" of the main window, and the message pump with PeekMessage.
#pragma once

#include <windows.h>

#include "app/window_win32/win32_main_window.h"
#include "base/feedback.h"

namespace tav::win32 {

// The box's style for a kind: information icon with OK, Retry/Cancel or
// OK/Cancel, or only OK without an icon; modal to the whole program.
UINT MessageBoxStyle(MessageKind kind);
// MessageBoxW's answer in the feedback's numbering.
int AnswerOf(int pressed, MessageKind kind);

class Win32Feedback : public Feedback {
public:
  // Boxes before the main window exists have no owner.
  Win32Feedback(const int& messageBeep, const Win32MainWindow& window) : Feedback(messageBeep), main_(window) {}

  void SetStatus(const std::string& text) override;
  void RepaintNow() override;
  void EnableCancelButton(bool on) override;
  void PumpMessages() override;

protected:
  int Present(MessageKind kind, const std::string& text) override;
  void Beep() override { MessageBeep(MB_OK); }
  void ShowBar(int position, int range) override;

private:
  HWND Window() const { return main_.Handle(); }
  const Win32MainWindow& main_;
};

// The program file's name without its extension, the boxes' caption.
std::wstring ProgramCaption();

}  // namespace tav::win32
