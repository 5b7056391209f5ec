// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows window itself, run under Wine: the real dialogs from the
// resources, driven by the messages a user's clicks send (BM_CLICK,
// CB_SETCURSEL with CBN_SELCHANGE, WM_CLOSE), on the simulated board. The
// message boxes are answered by the test; status line, progress bar,
// "Abbrechen" and the message pump are the real ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "app/window_win32/resource_ids.h"
#include "app/window_win32/win32_desktop.h"
#include "app/window_win32/win32_feedback.h"
#include "app/window_win32/win32_file_dialog.h"
#include "app/window_win32/win32_main_window.h"
#include "app/window_win32/win32_text.h"
#include "settings/native_path.h"
#include "tests/start_up_directory.h"

namespace tav::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The real feedback with the boxes answered here, OK or Retry, after
// `whileBoxUp` has run once.
struct AnsweredFeedback : Win32Feedback {
  using Win32Feedback::Win32Feedback;
  std::vector<std::string> texts;
  std::function<void()> whileBoxUp;
  int Present(MessageKind kind, const std::string& text) override {
    texts.push_back(text);
    if (whileBoxUp) std::exchange(whileBoxUp, nullptr)();
    return kind == MessageKind::RetryCancel ? kRetry : kOk;
  }
};

struct Rig {
  Rig() {
    SessionOptions options;
    options.simulator = SimulatorOptions{};
    behaviour = std::make_unique<WindowBehaviour>(window, feedback, outside, options);
    window.Bind(*behaviour);
    window.chooseFile = [this](const FileDialogSetup&, FileChoice& choice) {
      choice = file;
      return true;
    };
    dialog = window.CreateModeless();
    feedback.texts.clear();
  }
  void Click(int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  std::string Text(int id) const { return ControlText(dialog, id); }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  std::string Enabled(std::initializer_list<int> ids) const {
    std::string states;
    for (int id : ids) states += IsWindowEnabled(GetDlgItem(dialog, id)) ? '1' : '0';
    return states;
  }

  test::StartUpDirectory directory{"tav_win32"};
  Win32MainWindow window{GetModuleHandleW(nullptr)};
  const int beep = 0;
  AnsweredFeedback feedback{beep, window};
  MachineBusyMarker machine{directory.Path().string()};
  DesktopBusyMarker outside{machine};
  std::unique_ptr<WindowBehaviour> behaviour;
  FileChoice file;  // every file dialog's answer
  HWND dialog = nullptr;
};

// The layout in dialog units of MS Shell Dlg; the texts through the
// resources and the view, umlauts included; clicks by control id on a box,
// on a list and on "Prefs": the real settings dialog, filled from the
// settings; OK applies what was typed (the next opening shows it),
// "Abbrechen" nothing.
TEST(Win32Window, TheDialogIsLaidOutInDialogUnitsStartsFromTheSettingsAndTakesClicks) {
  Rig rig;
  ASSERT_NE(rig.dialog, nullptr);
  RECT units{0, 0, 266, 149}, client{};
  MapDialogRect(rig.dialog, &units);
  GetClientRect(rig.dialog, &client);
  EXPECT_EQ(std::make_pair(client.right, client.bottom), std::make_pair(units.right, units.bottom));
  EXPECT_THAT(WindowText(rig.dialog), HasSubstr("Brastel V"));
  EXPECT_EQ(LOWORD(SendMessageW(rig.dialog, DM_GETDEFID, 0, 0)), kProgramButton);
  EXPECT_EQ(rig.Text(kStatusLine) + "|" + rig.Text(kVerifyButton) + "|" + rig.Text(kDeviceList),
            "Warte auf Eingaben|Prüfen|AT89C51");
  rig.Click(kLock3Box);
  EXPECT_TRUE(rig.Checked(kLock1Box) && rig.Checked(kLock2Box) && rig.Checked(kLock3Box));
  const HWND list = GetDlgItem(rig.dialog, kDeviceList);
  SendMessageW(list, CB_SETCURSEL, SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(L"AT89C2051")), 0);
  SendMessageW(rig.dialog, WM_COMMAND, MAKEWPARAM(kDeviceList, CBN_SELCHANGE), LPARAM(list));
  // Two lock bits; a disabled box keeps its setting.
  EXPECT_EQ(rig.Enabled({kLock1Box, kLock2Box, kLock3Box}) + (rig.Checked(kLock3Box) ? " checked" : ""), "110 checked");
  std::vector<std::string> shownPorts;
  for (int button : {IDOK, IDCANCEL}) {
    rig.window.settingsShown = [&](HWND settings) {
      shownPorts.push_back(ControlText(settings, IDC_PORT));
      SetDlgItemTextW(settings, IDC_HEX_LINE, button == IDOK ? L"33" : L"16");
      SetDlgItemTextW(settings, IDC_PORT, button == IDOK ? L"0x278" : L"0x3BC");
      PostMessageW(GetDlgItem(settings, button), BM_CLICK, 0, 0);
    };
    rig.Click(kPrefsButton);
  }
  EXPECT_THAT(shownPorts, ElementsAre("0x378", "0x278"));
  EXPECT_EQ(rig.behaviour->CurrentSession().CurrentSettings().HexLineLen, 32u);
}

// "Neue Datei", "Brennen" with the busy window up and every input control
// disabled while the socket prompt waits, and the close that saves and
// tells to take the chip out.
TEST(Win32Window, ProgramAndClose) {
  Rig rig;
  rig.file = {Utf8Path(fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex"), 3};
  rig.Click(kNewFileButton);
  EXPECT_EQ(rig.Text(kFileNameField), "blink.hex");
  std::string during;
  rig.feedback.whileBoxUp = [&] {
    during = rig.Enabled({kProgramButton, kVerifyButton, kPrefsButton, kDeviceList, kFileNameField, kVerifyBox});
    during += TopLevelWindowExists("QUENVALDOKRAFT") && IsWindowVisible(rig.window.BusyWindow()) ? "B" : "-";
    during += rig.outside.IsBusy() == kBusy ? "M" : "-";
  };
  rig.Click(kProgramButton);
  EXPECT_EQ(during, "000000BM");
  EXPECT_EQ(rig.feedback.texts.back() + "|" + rig.Text(kStatusLine), "Keine Fehler beim Prüfen|Warte auf Eingaben");
  EXPECT_FALSE(TopLevelWindowExists(kBusyWindowTitle));

  SendMessageW(rig.dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(rig.feedback.texts.back(), "Baustein jetzt unbedingt\naus dem Sockel nehmen !!!");
  EXPECT_FALSE(IsWindow(rig.dialog));
  EXPECT_THAT(test::Slurp(rig.directory.Path() / "QUENVALD.INI"), HasSubstr("blink.hex"));
}

// A click on "Abbrechen" posted while the socket prompt is up reaches the
// blank check through the progress step's pump. "Leertest", which took the
// focus with the click, gets it back (from "Abbrechen"), so that the next
// Enter is not a click on "Brennen".
TEST(Win32Window, AbbrechenArrivesThroughThePump) {
  Rig rig;
  ShowWindow(rig.dialog, SW_SHOW);
  rig.feedback.whileBoxUp = [&] { PostMessageW(GetDlgItem(rig.dialog, kCancelButton), BM_CLICK, 0, 0); };
  rig.Click(kBlankCheckButton);
  EXPECT_EQ(rig.feedback.texts.back(), "Leertest abgebrochen !");
  EXPECT_EQ(rig.Enabled({kCancelButton, kBlankCheckButton}), "01");
  EXPECT_EQ(GetFocus(), GetDlgItem(rig.dialog, kBlankCheckButton));
}

// The boxes that offer a way out have their second button; a box that
// could not be shown counts as cancelled; filters reach the common dialogs
// as UTF-16 pairs.
TEST(Win32Feedback, BoxStylesAnswersAndFilters) {
  EXPECT_EQ(MessageBoxStyle(MessageKind::RetryCancel) & MB_TYPEMASK, UINT(MB_RETRYCANCEL));
  EXPECT_EQ(MessageBoxStyle(MessageKind::OkCancel) & MB_TYPEMASK, UINT(MB_OKCANCEL));
  EXPECT_EQ(AnswerOf(0, MessageKind::OkCancel), kCancel);
  EXPECT_EQ(CommonDialogFilter({{"*.BIN Binär", "*.bin"}}), std::wstring(L"*.BIN Bin\u00e4r\0*.bin\0\0", 19));
}

}  // namespace
}  // namespace tav::win32
