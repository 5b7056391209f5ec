// SPDX-License-Identifier: GPL-2.0-or-later
// tavrolith.exe: the window front end on Windows. The start rules keep a
// second copy out while another one runs a command, and out of the way of
// a window titled exactly "Brastel"; then the main window runs modally and
// the process ends with it.
#include <windows.h>

#include <cstdio>
#include <shellapi.h>

#include "app/session/run_marker.h"
#include "app/version/version_info.h"
#include "app/window_model/window_arguments.h"
#include "app/window_model/window_behaviour.h"
#include "app/window_win32/win32_desktop.h"
#include "app/window_win32/win32_feedback.h"
#include "app/window_win32/win32_main_window.h"
#include "settings/native_path.h"

using namespace tav;

namespace {

std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; words && i < count; ++i) arguments.push_back(Utf8FromWide(words[i]));
  LocalFree(words);
  return arguments;
}

// On the console that started the program, else in a box.
void Tell(const std::string& text, bool problem) {
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const std::wstring wide = WidePath(text + "\n");
    DWORD written = 0;
    const HANDLE out = GetStdHandle(problem ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!WriteConsoleW(out, wide.c_str(), DWORD(wide.size()), &written, nullptr)) {
      // Redirected into a file or a pipe: the bytes as they are.
      WriteFile(out, text.c_str(), DWORD(text.size()), &written, nullptr);
      WriteFile(out, "\n", 1, &written, nullptr);
    }
    return;
  }
  MessageBoxW(nullptr, WidePath(text).c_str(), win32::ProgramCaption().c_str(),
              MB_OK | (problem ? MB_ICONWARNING : MB_ICONINFORMATION));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WindowArguments arguments;
  std::string error;
  if (!ParseWindowArguments(Arguments(), arguments, error)) {
    if (arguments.version) {
      VersionInfo info;
      info.Open("tavrolith.exe");
      Tell("tavrolith " + VersionText(info), false);
      return 0;
    }
    Tell(error, !arguments.help);
    return arguments.help ? 0 : 2;
  }
  // Another copy is in the middle of a command, or a window of exactly
  // this name is open: end without a word.
  if (win32::TopLevelWindowExists(kBusyWindowTitle) || win32::TopLevelWindowExists(kWindowTitleWord)) return 0;
  // The port's marker: the machine's for a real port, the chip-state
  // file's for a simulated board.
  RunMarker run = MakeRunMarker(arguments.session, arguments.busyMarkerDirectory);
  if (run.marker->IsBusy() != kSuccess) return 0;
  win32::DesktopBusyMarker outside(*run.marker);

  win32::Win32MainWindow window(instance);
  // The session binds the feedback to the loaded MessageBeap at once.
  const int beepUntilLoaded = 1;
  win32::Win32Feedback feedback(beepUntilLoaded, window);
  WindowBehaviour behaviour(window, feedback, outside, arguments.session);
  window.Bind(behaviour);
  window.RunModal();
  return 0;
}
