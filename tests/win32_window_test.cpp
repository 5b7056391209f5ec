// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows window itself, run under Wine: the real dialogs from the
// resources, driven by the messages a user's clicks send (BM_CLICK,
// CB_SETCURSEL with CBN_SELCHANGE, WM_CLOSE), on the simulated board. The
// message boxes are answered by the test; status line, progress bar,
// "Abbrechen" and the message pump are the real ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <fstream>

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

// The real feedback with the boxes answered here: OK (or Retry) unless an
// answer is queued, and `whileBoxUp` run before each answer.
struct AnsweredFeedback : Win32Feedback {
  using Win32Feedback::Win32Feedback;
  std::vector<std::string> texts;
  std::deque<int> answers;
  std::function<void()> whileBoxUp;
  int Present(MessageKind kind, const std::string& text) override {
    texts.push_back(text);
    if (whileBoxUp) std::exchange(whileBoxUp, nullptr)();
    if (!answers.empty()) return std::exchange(answers, {answers.begin() + 1, answers.end()}).front();
    return kind == MessageKind::RetryCancel ? kRetry : kOk;
  }
};

struct Rig {
  Rig() {
    std::ofstream(directory.Path() / "QUENVALD.INI") << "[Hardware]\nMessageBeap=0\n";
    SessionOptions options;
    options.simulator = SimulatorOptions{};
    behaviour = std::make_unique<WindowBehaviour>(window, feedback, outside, options);
    window.Bind(*behaviour);
    window.chooseFile = [this](const FileDialogSetup& setup, FileChoice& choice) {
      shown.push_back(setup);
      if (files.empty()) return false;
      choice = files.front();
      files.pop_front();
      return true;
    };
    dialog = window.CreateModeless();
    feedback.texts.clear();
  }
  void Click(int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  void Choose(int list, int position) {
    SendDlgItemMessageW(dialog, list, CB_SETCURSEL, WPARAM(position), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), LPARAM(GetDlgItem(dialog, list)));
  }
  std::string Text(int id) const { return ControlText(dialog, id); }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  std::string Enabled(std::initializer_list<int> ids) const {
    std::string states;
    for (int id : ids) states += IsWindowEnabled(GetDlgItem(dialog, id)) ? '1' : '0';
    return states;
  }
  Settings& settings() { return behaviour->CurrentSession().CurrentSettings(); }

  test::StartUpDirectory directory{"tav_win32"};
  Win32MainWindow window{GetModuleHandleW(nullptr)};
  const int beep = 0;
  AnsweredFeedback feedback{beep, window};
  MachineBusyMarker machine{directory.Path().string()};
  DesktopBusyMarker outside{machine};
  std::unique_ptr<WindowBehaviour> behaviour;
  std::deque<FileChoice> files;
  std::vector<FileDialogSetup> shown;
  HWND dialog = nullptr;
};

TEST(Win32Window, TheDialogIsLaidOutInDialogUnitsAndStartsFromTheSettings) {
  Rig rig;
  ASSERT_NE(rig.dialog, nullptr);
  RECT units{0, 0, 266, 149}, client{};
  MapDialogRect(rig.dialog, &units);
  GetClientRect(rig.dialog, &client);
  EXPECT_EQ(client.right, units.right);
  EXPECT_EQ(client.bottom, units.bottom);
  EXPECT_THAT(WindowText(rig.dialog), HasSubstr("Brastel V"));
  EXPECT_EQ(LOWORD(SendMessageW(rig.dialog, DM_GETDEFID, 0, 0)), kProgramButton);
  EXPECT_EQ(rig.Text(kStatusLine), "Warte auf Eingaben");
  EXPECT_EQ(rig.Text(kVerifyButton), "Prüfen");
  EXPECT_EQ(rig.Text(kManufacturerList), "Atmel");
  EXPECT_EQ(rig.Text(kDeviceList), "AT89C51");
  EXPECT_EQ(rig.Text(kFileNameField), rig.settings().ProgramFileName);
  EXPECT_EQ(rig.Enabled({kCancelButton, kProgramButton, kEraseButton, kLock3Box}), "0111");
  EXPECT_TRUE(rig.Checked(kVerifyBox));
  EXPECT_TRUE(rig.feedback.texts.empty());
}

TEST(Win32Window, BoxesAndListsFollowTheirRules) {
  Rig rig;
  rig.Click(kLock3Box);
  rig.Click(kLock1Box);  // held under Lock3
  EXPECT_TRUE(rig.Checked(kLock1Box) && rig.Checked(kLock2Box) && rig.Checked(kLock3Box));
  rig.Click(kVerifyBox);
  EXPECT_FALSE(rig.Checked(kVerifyBox));
  EXPECT_EQ(rig.settings().Verify, 0);
  const int position = int(SendDlgItemMessageW(rig.dialog, kDeviceList, CB_FINDSTRINGEXACT, WPARAM(-1),
                                               LPARAM(L"AT89C2051")));
  ASSERT_GE(position, 0);
  rig.Choose(kDeviceList, position);
  EXPECT_EQ(rig.behaviour->CurrentSession().Device().DeviceName, "AT89C2051");
  EXPECT_EQ(rig.Enabled({kLock1Box, kLock2Box, kLock3Box}), "110");
  EXPECT_TRUE(rig.Checked(kLock3Box));  // a disabled box keeps its setting
}

// "Neue Datei", "Brennen" with the busy window up and every input control
// disabled while the socket prompt waits, then "Auslesen" as Intel HEX under
// a typed .bin name: the file written holds what was programmed.
TEST(Win32Window, ProgramThenReadBackAsIntelHex) {
  Rig rig;
  const fs::path source = fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex";
  rig.files.push_back({Utf8Path(source), 3});
  rig.Click(kNewFileButton);
  EXPECT_TRUE(rig.shown.back().ExistingOnly);
  EXPECT_EQ(rig.Text(kFileNameField), "blink.hex");
  EXPECT_EQ(rig.settings().ReadFilter, 3);

  std::string during;
  rig.feedback.whileBoxUp = [&] {
    during = rig.Enabled({kProgramButton, kVerifyButton, kPrefsButton, kDeviceList, kFileNameField, kVerifyBox});
    during += TopLevelWindowExists("QUENVALDOKRAFT") && IsWindowVisible(rig.window.BusyWindow()) ? "B" : "-";
    during += rig.outside.IsBusy() == kBusy ? "M" : "-";
  };
  rig.Click(kProgramButton);
  EXPECT_EQ(during, "000000BM");
  EXPECT_EQ(rig.feedback.texts.back(), "Keine Fehler beim Prüfen");
  EXPECT_EQ(rig.Text(kStatusLine), "Warte auf Eingaben");
  EXPECT_FALSE(TopLevelWindowExists(kBusyWindowTitle));
  EXPECT_EQ(rig.Enabled({kProgramButton, kCancelButton}), "10");

  const fs::path typed = rig.directory.Path() / "kopie.bin";
  rig.files.push_back({Utf8Path(typed), 3});
  const int preselected = rig.settings().DataFormat + 1;
  rig.Click(kReadButton);
  EXPECT_FALSE(rig.shown.back().ExistingOnly);
  EXPECT_EQ(rig.shown.back().Preselected, preselected);
  EXPECT_EQ(rig.Text(kFileNameField), "kopie.hex");
  auto programmed = std::make_unique<ProgramImage>(), read = std::make_unique<ProgramImage>();
  Session& session = rig.behaviour->CurrentSession();
  ASSERT_EQ(session.LoadFileAlone(Utf8Path(source), *programmed), 0);
  ASSERT_EQ(session.LoadFileAlone(Utf8Path(rig.directory.Path() / "kopie.hex"), *read), 0);
  EXPECT_EQ(test::Slurp(rig.directory.Path() / "kopie.hex").substr(0, 1), ":");
  const auto end = programmed->Bytes.begin() + programmed->HighestAddress + 1;
  EXPECT_TRUE(std::equal(programmed->Bytes.begin(), end, read->Bytes.begin()));
  EXPECT_FALSE(fs::exists(typed));
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
  EXPECT_EQ(rig.feedback.CancelRequested(), 0);
  EXPECT_EQ(rig.Enabled({kCancelButton, kBlankCheckButton}), "01");
  EXPECT_EQ(GetFocus(), GetDlgItem(rig.dialog, kBlankCheckButton));
}

// "Prefs": the real dialog, filled from the settings; OK applies what was
// typed, "Abbrechen" nothing.
TEST(Win32Window, PrefsOpensTheSettingsDialog) {
  Rig rig;
  std::string shownPort;
  rig.window.settingsShown = [&](HWND settings) {
    shownPort = ControlText(settings, IDC_PORT);
    SetDlgItemTextW(settings, IDC_HEX_LINE, L"33");
    SetDlgItemTextW(settings, IDC_PORT, L"0x278");
    PostMessageW(GetDlgItem(settings, IDOK), BM_CLICK, 0, 0);
  };
  rig.Click(kPrefsButton);
  EXPECT_EQ(shownPort, "0x378");
  EXPECT_EQ(rig.settings().HexLineLen, 32u);
  EXPECT_EQ(rig.settings().PortAdress, 0x278);
  rig.window.settingsShown = [](HWND settings) {
    SetDlgItemTextW(settings, IDC_HEX_LINE, L"16");
    PostMessageW(GetDlgItem(settings, IDCANCEL), BM_CLICK, 0, 0);
  };
  rig.Click(kPrefsButton);
  EXPECT_EQ(rig.settings().HexLineLen, 32u);
}

TEST(Win32Window, CloseSavesAndTellsToTakeTheChipOut) {
  Rig rig;
  SendMessageW(rig.dialog, WM_CLOSE, 0, 0);
  EXPECT_THAT(rig.feedback.texts, ElementsAre("Baustein jetzt unbedingt\naus dem Sockel nehmen !!!"));
  EXPECT_FALSE(IsWindow(rig.dialog));
  EXPECT_TRUE(fs::exists(rig.directory.Path() / "QUENVALD.INI"));
}

TEST(Win32Feedback, BoxStylesAndAnswers) {
  EXPECT_EQ(MessageBoxStyle(MessageKind::Info) & (MB_TYPEMASK | MB_ICONMASK), UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(MessageBoxStyle(MessageKind::RetryCancel) & (MB_TYPEMASK | MB_ICONMASK),
            UINT(MB_RETRYCANCEL | MB_ICONINFORMATION));
  EXPECT_EQ(MessageBoxStyle(MessageKind::OkCancel) & (MB_TYPEMASK | MB_ICONMASK), UINT(MB_OKCANCEL | MB_ICONINFORMATION));
  EXPECT_EQ(MessageBoxStyle(MessageKind::Plain) & (MB_TYPEMASK | MB_ICONMASK), UINT(MB_OK));
  EXPECT_EQ(AnswerOf(0, MessageKind::OkCancel), kCancel);  // the box could not be shown
  EXPECT_EQ(AnswerOf(IDRETRY, MessageKind::RetryCancel), kRetry);
  EXPECT_EQ(CommonDialogFilter({{"*.BIN Binär", "*.bin"}}), std::wstring(L"*.BIN Bin\u00e4r\0*.bin\0\0", 19));
}

}  // namespace
}  // namespace tav::win32
