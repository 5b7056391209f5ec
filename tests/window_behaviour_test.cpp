// SPDX-License-Identifier: GPL-2.0-or-later
// The window's behaviour without a toolkit, on a scripted view over the
// simulated board: the start-up with and without a board, the commands
// with their busy window, dialogs and control states, the check boxes and
// lists, the position it keeps, the close, and the window's command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "app/window_model/window_arguments.h"
#include "app/window_model/window_behaviour.h"
#include "tests/start_up_directory.h"
#include "tests/support/scripted_feedback.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// Whether a version record is found depends on what was built beside the
// test program; the window's own part of the title is what is tested here.
std::string TitleOf(std::string title) {
  const size_t digits = title.find(" V") + 2, end = title.find_first_not_of("0123456789.", digits);
  return digits < 2 ? title : title.replace(digits, end - digits, ".");
}

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Remembers what the behaviour showed; answers the dialogs as the test
// set them up.
struct ScriptedView : WindowView {
  std::string title;
  std::map<int, std::string> texts;
  std::map<int, bool> enabled, checked;
  std::map<int, std::pair<std::vector<std::string>, int>> lists;
  std::optional<FileChoice> file;  // the next file dialog's answer; none = cancelled
  std::vector<FileDialogSetup> fileDialogs;
  std::function<bool(Settings&)> settingsDialog = [](Settings&) { return false; };
  int settingsDialogs = 0;
  std::vector<std::string> busyEvents;  // "x,y" created, "-" destroyed
  WindowRect outer{5, 6, 400, 300};
  std::vector<WindowRect> placed;

  void SetTitle(const std::string& text) override { title = text; }
  void SetText(int id, const std::string& text) override { texts[id] = text; }
  void EnableControl(int id, bool on) override { enabled[id] = on; }
  void FillList(int id, const std::vector<std::string>& entries, int selected) override { lists[id] = {entries, selected}; }
  void SetChecked(int id, bool on) override { checked[id] = on; }
  bool AskForFile(const FileDialogSetup& setup, FileChoice& choice) override {
    fileDialogs.push_back(setup);
    if (file) choice = *std::exchange(file, std::nullopt);
    return !choice.path.empty();
  }
  bool OpenSettingsDialog(Settings& settings) override { ++settingsDialogs; return settingsDialog(settings); }
  void CreateBusyWindow(WindowPoint at) override { busyEvents.push_back(std::to_string(at.x) + "," + std::to_string(at.y)); }
  void DestroyBusyWindow() override { busyEvents.push_back("-"); }
  WindowRect OuterRect() const override { return outer; }
  void PlaceWindow(const WindowRect& rect) override { placed.push_back(outer = rect); }

  // One letter a control: '1' enabled (or checked), '0' not.
  std::string States(std::initializer_list<int> ids, bool ticks = false) {
    std::string states;
    for (int id : ids) states += (ticks ? checked[id] : enabled[id]) ? '1' : '0';
    return states;
  }
};

// Runs `whileBoxUp` once, at the first message box (a command's socket
// prompt), as a click arriving then would be delivered.
struct WatchingFeedback : ScriptedFeedback {
  using ScriptedFeedback::ScriptedFeedback;
  std::function<void()> whileBoxUp;
  int Present(MessageKind kind, const std::string& text) override {
    if (whileBoxUp) std::exchange(whileBoxUp, nullptr)();
    return ScriptedFeedback::Present(kind, text);
  }
};

struct Rig {
  explicit Rig(const std::string& ini = "", SimulatorOptions simulator = {},
               std::function<bool(Settings&)> settingsDialog = nullptr) {
    if (!ini.empty()) std::ofstream(directory.Path() / "QUENVALD.INI") << ini;
    if (settingsDialog) view.settingsDialog = settingsDialog;
    SessionOptions options;
    options.simulator = simulator;
    behaviour = std::make_unique<WindowBehaviour>(view, feedback, outside, options);
    behaviour->StartUp();
    feedback.Clear();
  }
  Settings& settings() { return behaviour->CurrentSession().CurrentSettings(); }
  fs::path Path(const char* name) const { return directory.Path() / name; }
  // Idle again after a command: everything given back, no busy window.
  void ExpectIdle() {
    EXPECT_EQ(view.States({kCancelButton, kProgramButton, kFileNameField, kEraseButton, kLock3Box}), "01111");
    EXPECT_EQ(feedback.CancelRequested(), 0);
    EXPECT_FALSE(behaviour->CommandRunning());
    EXPECT_EQ(SeenFromOutside(), kSuccess);
  }
  // What another copy of the program sees.
  int SeenFromOutside() const { return MachineBusyMarker(directory.Path().string()).IsBusy(); }

  test::StartUpDirectory directory{"tav_behaviour"};
  ScriptedView view;
  const int beep = 0;
  WatchingFeedback feedback{beep};
  MachineBusyMarker outside{directory.Path().string()};
  std::unique_ptr<WindowBehaviour> behaviour;
};

// The window is placed at X-Koord, Y-Koord with the size the layout gave;
// while it runs they follow the client area, minimising keeps the last
// visible corner, a maximise is undone, and the close stores the outer
// corner and tells the user to take the chip out.
TEST(WindowBehaviour, StartUpFromTheSettingsThenPositionAndClose) {
  Rig rig("[Brastel INI-Section]\nVerify=0\nFFSave=1\nLock2=1\nLock1=1\nX-Koord=30\nY-Koord=40\nManufIndex=0\n"
          "DeviceIndex=3\nLastFile=demo.hex\n");
  EXPECT_EQ(TitleOf(rig.view.title) + " " + rig.view.texts[kFileNameField], "Brastel V. demo.hex");
  EXPECT_THAT(rig.view.placed, ElementsAre(WindowRect{30, 40, 400, 300}));
  const auto& [devices, selected] = rig.view.lists[kDeviceList];
  EXPECT_EQ(devices.at(size_t(selected)) + " " + rig.behaviour->CurrentSession().Device().DeviceName, "AT89C1051 AT89C1051");
  // The boxes checked; an AT89C1051 has two lock bits and erases; "Abbrechen"
  // waits for a command.
  EXPECT_EQ(rig.view.States({kVerifyBox, kFfSaveBox, kLock1Box, kLock2Box, kLock3Box}, true) + " " +
                rig.view.States({kLock1Box, kLock2Box, kLock3Box, kEraseButton, kCancelButton}),
            "01110 11010");

  rig.behaviour->OnClientMoved({100, 120});
  rig.behaviour->OnClientMoved({-32000, -32000});
  rig.behaviour->OnMinimised();
  EXPECT_EQ((WindowPoint{rig.settings().XKoord, rig.settings().YKoord}), (WindowPoint{100, 120}));
  rig.behaviour->OnClientMoved({0, 0});
  rig.behaviour->OnMaximised();
  EXPECT_EQ(rig.view.placed.back(), (WindowRect{100, 120, 400, 300}));
  rig.view.outer = {97, 99, 400, 300};
  EXPECT_TRUE(rig.behaviour->Close());
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(kCloseMessage));
  EXPECT_THAT(test::Slurp(rig.Path("QUENVALD.INI")), ::testing::AllOf(HasSubstr("X-Koord=97"), HasSubstr("Y-Koord=99")));
}

TEST(WindowBehaviour, NoBoardSearchesWithTheSettingsDialogBetweenThenOnlyTellsOfDemonstrationMode) {
  const auto port278 = [](Settings& settings) { settings.SetPortAdress(0x278); return true; };
  SimulatorOptions noBoard, at278;
  noBoard.boardFaults.noBoard = true;
  at278.boardAddress = 0x278;
  Rig rig("[Hardware]\nSearchHardware=3\n", noBoard, port278);
  EXPECT_EQ(TitleOf(rig.view.title) + " " + std::to_string(rig.view.settingsDialogs), "Brastel V. (Demomodus) 2");
  // "Brennen" without a file asks for one first, even here; the rest only tells.
  rig.settings().ProgramFileName.clear();
  for (int button : {kBlankCheckButton, kReadButton, kEraseButton, kProgramButton}) rig.behaviour->OnButton(button);
  EXPECT_EQ(rig.view.fileDialogs.size(), 1u);
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(kDemoMessage, kDemoMessage, kDemoMessage));
  // The cancelled chooser of "Brennen" still created and removed the busy window.
  EXPECT_THAT(rig.view.busyEvents, ElementsAre("10,10", "-"));
  // A board at the corrected address is found at the second search.
  Rig found("", at278, port278);
  EXPECT_EQ(TitleOf(found.view.title) + " " + std::to_string(found.view.settingsDialogs), "Brastel V. 1");
}

// While a command runs: the busy window over the logo, the marker held for
// every copy, the input controls disabled and the close refused, and
// "Abbrechen" clicked then reaching the operation; afterwards all of it
// given back. "Löschen" keeps its own status text.
TEST(WindowBehaviour, CommandsHoldTheMarkerAndTheControlsOnlyWhileTheyRun) {
  const struct { int button; bool cancel; const char *done, *status; } rows[] = {
      {kBlankCheckButton, false, "\nController ist gelöscht !\n", kIdleStatus},
      {kEraseButton, false, "Baustein ist gelöscht !", "Lösche Controller"},
      {kBlankCheckButton, true, "Leertest abgebrochen !", kIdleStatus}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.done);
    Rig rig;
    std::string during;
    rig.feedback.whileBoxUp = [&] {
      during = rig.view.States({kProgramButton, kPrefsButton, kDeviceList, kLock1Box, kEraseButton, kFileNameField});
      during += rig.SeenFromOutside() == kBusy ? "B" : "-";
      during += rig.behaviour->Close() ? "C" : "-";
      if (row.cancel) rig.behaviour->OnButton(kCancelButton);
    };
    rig.behaviour->OnButton(row.button);
    EXPECT_EQ(during, "000000B-");
    EXPECT_THAT(rig.feedback.Texts(), ElementsAre(HasSubstr("Sockel"), row.done));
    EXPECT_EQ(rig.feedback.statuses.back(), row.status);
    EXPECT_THAT(rig.view.busyEvents, ElementsAre("10,10", "-"));  // over the logo at X-Koord, Y-Koord
    EXPECT_FALSE(fs::exists(rig.Path("QUENVALD.INI")));  // the refused close saved nothing
    rig.ExpectIdle();
  }
}

// Boxes and lists reach the settings and the device; a disabled lock box
// keeps its setting; "Prefs" opens the settings dialog. The simulated socket
// follows the selected device; a chip-state file of another device is said
// once and left as it is.
TEST(WindowBehaviour, BoxesListsPrefsAndTheSimulatedSocket) {
  test::ScratchDirectory states("tav_chip_states");
  SimulatorOptions kept;
  kept.chipState = (states.Path() / "chip.state").string();
  {
    Rig first("", kept);  // keeps a blank AT89C51 in the file
    EXPECT_EQ(first.behaviour->CurrentSession().Close(0), 0);
  }
  Rig rig("", kept);
  rig.behaviour->OnCheckBox(kLock3Box);
  rig.behaviour->OnCheckBox(kVerifyBox);
  EXPECT_EQ(rig.view.States({kVerifyBox, kLock1Box, kLock2Box, kLock3Box}, true), "0111");
  rig.behaviour->OnListChosen(kDeviceList, 4);
  EXPECT_EQ(rig.behaviour->CurrentSession().Device().DeviceName + " " +
                rig.view.States({kEraseButton, kLock1Box, kLock3Box}) + std::to_string(rig.settings().Lock3),
            "AT89C2051 1101");
  for (int run = 0; run < 2; ++run) rig.behaviour->OnButton(kBlankCheckButton);
  EXPECT_THAT(rig.feedback.Texts(), Contains(HasSubstr("gehört zu einem AT89C51")).Times(1));
  EXPECT_THAT(rig.feedback.Texts(), Contains(HasSubstr("Controller ist gelöscht")).Times(2));

  rig.behaviour->OnListChosen(kManufacturerList, 1);
  EXPECT_EQ(rig.view.lists[kManufacturerList].second, 1);
  EXPECT_THAT(rig.view.lists[kDeviceList].first, Not(Contains("AT89C2051")));
  rig.view.settingsDialog = [](Settings& settings) { settings.HexLineLen = 16; return true; };
  rig.behaviour->OnButton(kPrefsButton);
  EXPECT_EQ(rig.settings().HexLineLen, 16u);
  EXPECT_EQ(rig.behaviour->CurrentSession().Close(0), 0);
  EXPECT_THAT(test::Slurp(states.Path() / "chip.state"), HasSubstr("part: AT89C51\n"));
}

// The file dialogs: the chosen filter position reaching ReadFilter and
// DataFormat, the extension rules, and the question before a file is
// replaced (about the name really written).
TEST(WindowBehaviour, FileDialogsChooseTheFileAndTheFormat) {
  Rig rig;
  std::ofstream(rig.Path("small.hex")) << ":03000000020003F8\n:00000001FF\n";
  rig.settings().ProgramFileName.clear();
  rig.behaviour->OnButton(kProgramButton);  // cancelled: nothing else
  EXPECT_TRUE(rig.feedback.messages.empty());
  rig.view.file = FileChoice{rig.Path("small.hex").string(), 4};
  rig.behaviour->OnButton(kProgramButton);
  rig.behaviour->OnButton(kVerifyButton);  // the file named stays
  EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");
  rig.behaviour->OnButton(kNewFileButton);  // cancelled: nothing changes
  EXPECT_EQ(rig.view.fileDialogs.size(), 3u);
  EXPECT_EQ(std::to_string(rig.settings().ReadFilter) + rig.view.texts[kFileNameField], "4small.hex");

  // Intel8 with a typed .bin: asked about x.hex; cancelled keeps it.
  std::ofstream(rig.Path("x.hex")) << "keep";
  fs::last_write_time(rig.Path("x.hex"), fs::file_time_type::clock::now() - std::chrono::hours(1));
  rig.view.file = FileChoice{rig.Path("x.bin").string(), 3};
  rig.feedback.QueueAnswer(kCancel);
  rig.behaviour->OnButton(kReadButton);
  EXPECT_THAT(rig.feedback.LastText(), HasSubstr("x.hex"));
  EXPECT_EQ(test::Slurp(rig.Path("x.hex")), "keep");
  EXPECT_EQ(rig.view.fileDialogs.back().Preselected, rig.settings().DataFormat + 1);
  rig.view.file = FileChoice{rig.Path("x.bin").string(), 3};
  rig.behaviour->OnButton(kReadButton);
  EXPECT_EQ(test::Slurp(rig.Path("x.hex")).substr(0, 1), ":");
  EXPECT_FALSE(fs::exists(rig.Path("x.bin")));
  EXPECT_EQ(rig.view.texts[kFileNameField], "x.hex");
  EXPECT_EQ(rig.feedback.statuses.back(), "Gespeichert als Intel8: " + rig.Path("x.hex").string());
  rig.ExpectIdle();
}

TEST(WindowArguments, SimulatorOptionsHiddenOptionsAndRefusals) {
  WindowArguments parsed, plain;
  std::string error;
  ASSERT_TRUE(ParseWindowArguments({"--simulate", "--chip-fault", "not-blank", "--board-fault=no-board", "--sim-realtime",
                                    "--chip-state", "c.state", "--sim-write-us=20", "--trace", "t.txt", "--busy",
                                    "--busy-marker-dir", "d", "--config-dir", "cfg"},
                                   parsed, error))
      << error;
  const SimulatorOptions simulator = parsed.session.simulator.value_or(SimulatorOptions{});
  EXPECT_TRUE(simulator.chipFaults.notBlank && simulator.boardFaults.noBoard && simulator.realtime && parsed.busy);
  EXPECT_EQ(simulator.chipState + " " + std::to_string(simulator.writeMicroseconds) + " " + parsed.session.tracePath +
                " " + parsed.session.configDirectory + " " + parsed.busyMarkerDirectory,
            "c.state 20 t.txt cfg d");

  EXPECT_TRUE(ParseWindowArguments({}, plain, error) && !plain.session.simulator);
  const std::pair<std::vector<std::string>, const char*> refused[] = {
      {{"--chip-fault", "bogus"}, "bogus"}, {{"--board-fault=x"}, "'x'"}, {{"--sim-write-us", "0"}, "1 bis 10000"},
      {{"--sim-write-us=12x"}, "1 bis 10000"}, {{"--trace"}, "Wert fehlt"}, {{"--simulate=1"}, "keinen Wert"},
      {{"-x"}, "Unbekannte Option '-x'"}, {{"-h"}, "Aufruf: tavrolith"}, {{"--version"}, ""}};
  for (const auto& [arguments, message] : refused) {
    WindowArguments any;
    EXPECT_FALSE(ParseWindowArguments(arguments, any, error));
    EXPECT_THAT(error, HasSubstr(message)) << arguments[0];
    EXPECT_EQ(std::pair(any.help, any.version), std::pair(arguments[0] == "-h", arguments[0] == "--version"));
  }
}

}  // namespace
}  // namespace tav
