// tavrolith-cli end to end, in-process: every command on the simulator and
// in demonstration mode, with its exit status, its output and what it leaves
// in the working directory; then the command frame beneath it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/cli/cli.h"
#include "library/device_library.h"
#include "operations/command_frame.h"
#include "tests/start_up_directory.h"
#include "tests/sim_rig.h"

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

namespace tav {
namespace {

using test::Slurp;

// One command line and what it must give: the exit status and texts that
// appear on standard output or standard error.
struct Step {
  std::vector<std::string> args;
  int status;
  std::vector<std::string> shows = {};
};

// The arguments of a run on the simulated AT89C2051 whose chip lives in
// chip.state.
std::vector<std::string> Sim(std::vector<std::string> args) {
  args.insert(args.begin(), {"--simulate", "--device", "AT89C2051", "--chip-state", "chip.state", "-q"});
  return args;
}

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.Valid());
    environment_.ports = directory_.RefusedPorts();
    environment_.in = nullptr;
    environment_.installInterruptHandler = false;
  }

  CliRun Run(std::vector<std::string> args) const {
    args.insert(args.begin(), "tavrolith-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::FILE* out = std::fopen((dir() / "cli.out").string().c_str(), "w");
    std::FILE* err = std::fopen((dir() / "cli.err").string().c_str(), "w");
    const int status = RunCli(int(args.size()), argv.data(), out, err, environment_);
    std::fclose(out);
    std::fclose(err);
    return {status, Slurp(dir() / "cli.out"), Slurp(dir() / "cli.err")};
  }
  void Play(const std::vector<Step>& steps) const {
    for (const Step& step : steps) {
      SCOPED_TRACE(::testing::PrintToString(step.args));
      const CliRun run = Run(step.args);
      EXPECT_EQ(run.status, step.status) << run.err;
      for (const std::string& text : step.shows) EXPECT_THAT(run.out + run.err, HasSubstr(text));
    }
  }
  const fs::path& dir() const { return directory_.Path(); }
  std::string Ini() const { return Slurp(dir() / "QUENVALD.INI"); }

  const std::string blink_ = (fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex").string();
  test::StartUpDirectory directory_{"tav_cli"};
  CliEnvironment environment_;
};

TEST_F(CliTest, UsageErrorsExitWithTwoChangeNothingAndHelpSaysSo) {
  Play({{{}, 2}, {{"frobnicate"}, 2}, {{"--bogus", "devices"}, 2}, {{"program"}, 2}, {{"--lock", "4", "devices"}, 2},
        {{"--port", "lpt1", "detect"}, 2}, {{"convert", "a.hex", "b.hex", "--format", "intel99"}, 2},
        {{"--simulate", "--chip-fault", "melted", "detect"}, 2, {"melted"}},
        {{"--help"}, 0, {"2 for usage errors", "blank-check"}}});
  EXPECT_FALSE(fs::exists(dir() / "QUENVALD.INI"));
}

TEST_F(CliTest, DevicesListsTheLibraryAndTheChoiceIsStored) {
  const CliRun run = Run({"--device", "87C52", "devices"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, AllOf(HasSubstr("Atmel (Hersteller 0)"), HasSubstr("Intel (Hersteller 1)"),
                             Not(HasSubstr("Siemens")),  // its header is flagged n
                             HasSubstr("AT89C2051      DIP20        2048  Flash"), HasSubstr("* 1   87C52")));
  // A refused choice keeps the stored one.
  Play({{{"--device", "AT89C9999", "devices"}, 13, {"Baustein 'AT89C9999' nicht in der Bibliothek."}}});
  EXPECT_THAT(Ini(), AllOf(HasSubstr("ManufIndex=1"), HasSubstr("DeviceIndex=1")));
  // An empty library says so instead of failing silently.
  std::ofstream(dir() / "8789LIST.CSV", std::ios::trunc);
  Play({{{"devices"}, 13, {"Keine Hersteller"}}});
}

// One simulated chip kept in chip.state from run to run.
TEST_F(CliTest, EveryOperationOnOneSimulatedChip) {
  // No terminal and no --yes: the prompt is answered Cancel and nothing runs.
  Play({{Sim({"blank-check"}), 5, {"--yes"}}, {Sim({"verify", blink_}), 6}, {Sim({"read", "never.hex"}), 4},
        {Sim({"program", blink_}), 7}, {Sim({"--yes", "program", blink_}), 0, {"Keine Fehler beim Prüfen"}},
        {Sim({"--yes", "verify", blink_}), 0},
        // Without --format a known extension decides, whatever format the last file had.
        {Sim({"--yes", "read", "back.bin"}), 0}, {Sim({"--yes", "read", "back.hex"}), 0},
        {Sim({"--yes", "read", "back.s19", "--format", "5"}), 0},
        // The writer keeps blank cells inside a record that holds data, so
        // the read-back is longer; the images are the same.
        {{"info", "back.s19"}, 0, {"Format:         5 (Motorola S1 Exorciser)", "HighestAddress: 31 (0x1F)"}},
        {Sim({"--yes", "blank-check"}), 5, {"(abgebrochen)"}},  // the first report is answered Cancel
        {Sim({"--yes", "erase"}), 0, {"Baustein ist gelöscht !"}}, {Sim({"--yes", "blank-check"}), 0}});
  EXPECT_FALSE(fs::exists(dir() / "never.hex"));
  EXPECT_EQ(Slurp(dir() / "back.bin").substr(0, 3), "\x75\x81\x2F");  // the first instruction, as bytes
  EXPECT_EQ(Slurp(dir() / "back.hex").substr(0, 9), ":20000000");
  const auto crc = [](const std::string& text) { return text.substr(text.find("CRC-32")); };
  EXPECT_EQ(crc(Run({"info", blink_}).out), crc(Run({"info", "back.s19"}).out));
  // The settings remember the file and the format, as the window would.
  EXPECT_THAT(Ini(), AllOf(HasSubstr("LastFile=back.s19"), HasSubstr("DataFormat=5")));
}

TEST_F(CliTest, DetectCalibrateAndFaultyChipsAndBoards) {
  Play({{{"--simulate", "detect"}, 0, {"Brenner gefunden: simulierter Brenner, Portadresse 0x378"}},
        {{"--simulate", "--sim-write-us", "50", "calibrate"}, 0,
         {"50.00 µs je Zugriff", "Passender TimeBaseKorr: 50 (eingestellt: 85)"}}});
  EXPECT_FALSE(fs::exists(dir() / "QUENVALD.INI"));  // nothing changed, nothing written
  Play({{{"--simulate", "--sim-write-us", "50", "calibrate", "--save"}, 0},
        {Sim({"--yes", "--chip-fault", "wrong-signature", "program", blink_}), 7, {"Prozessor-ID's stimmen nicht"}},
        {Sim({"--yes", "--no-id-check", "--chip-fault", "wrong-signature", "blank-check"}), 0},
        {Sim({"--yes", "--board-fault", "no-board", "blank-check"}), 1,
         {"Timeout-Fehler bei Datenübertragung", "Kann Hardware nicht finden !", kDemoMessage}},
        {Sim({"--board-fault", "broken-latch", "detect"}), 8}});
  EXPECT_THAT(Ini(), AllOf(HasSubstr("TimeBaseKorr=50"), HasSubstr("IDCheck=0")));
}

// A board that stops answering in the middle of a burn: one timeout message,
// no closing success, a non-zero exit status, and quickly.
TEST_F(CliTest, BoardGoingSilentMidwayEndsTheCommandAfterOneTimeout) {
  const CliRun run = Run(Sim({"--yes", "--board-fault", "silent-after:7000", "program", blink_}));
  EXPECT_NE(run.status, 0);
  size_t timeouts = 0;
  for (size_t at = run.err.find("Timeout-Fehler"); at != std::string::npos; at = run.err.find("Timeout-Fehler", at + 1)) {
    ++timeouts;
  }
  EXPECT_EQ(timeouts, 1u) << run.err;
  EXPECT_THAT(run.err, Not(HasSubstr("Keine Fehler beim Prüfen")));
  Play({{Sim({"--board-fault", "silent-after:x", "detect"}), 2, {"silent-after:x"}}});
}

TEST_F(CliTest, WithoutPortAccessEveryProgrammerCommandIsRefused) {
  const std::string access = "Gruppe lp", demo = kDemoMessage;
#ifdef _WIN32
  // Windows reaches an address without a parallel-port device through the driver.
  const std::string direct = "'giveio.sys' Devicetreiber konnte nicht geladen werden";
#else
  const std::string direct = "Direkter Portzugriff auf 0x278: Zugriff verweigert";
#endif
  Play({{{"detect"}, 1, {access, "Programm läuft im Demomodus."}}, {{"calibrate"}, 1, {access, demo}},
        {{"--yes", "program", blink_}, 1, {access, demo}}, {{"--yes", "read", "x.hex"}, 1, {access, demo}},
        {{"--port", "0x278", "detect"}, 1, {direct}}});
  EXPECT_FALSE(fs::exists(dir() / "x.hex"));
  EXPECT_THAT(Ini(), HasSubstr("PortAdress=278"));  // an address given is kept
}

TEST_F(CliTest, TheLockFileKeepsASecondCommandOut) {
  LockFileBusyMarker other(dir().string());
  ASSERT_EQ(other.Acquire(), 0);
  EXPECT_EQ(other.IsBusy(), 0);  // its own marker does not count
  Play({{Sim({"--yes", "program", blink_}), kBusy, {"Quenvaldokraft.lock"}}});
  other.Release();
  Play({{Sim({"--yes", "blank-check"}), 0}});  // never programmed
}

TEST_F(CliTest, CtrlCCancelsAtTheNextProgressStep) {
  environment_.installInterruptHandler = true;
  environment_.raiseInterruptAtPump = 3;
  Play({{Sim({"--yes", "blank-check"}), 5, {"Leertest abgebrochen !"}},
        {Sim({"--yes", "program", blink_}), 7, {"Programmierung abgebrochen !"}}});
  environment_.raiseInterruptAtPump = 0;
  Play({{Sim({"--yes", "verify", blink_}), 6}});  // the cancelled program left most of the chip blank
}

TEST_F(CliTest, TheTraceHasOneLinePerRegisterWriteAsTheBoardRecordsIt) {
  ASSERT_EQ(Run(Sim({"--yes", "--trace", "run.trace", "blank-check"})).status, 0);
  std::istringstream trace(Slurp(dir() / "run.trace"));
  int lines = 0;
  for (std::string line; std::getline(trace, line); ++lines) {
    ASSERT_THAT(line, MatchesRegex("0[02468ACE] [0-9A-F]{2}"));  // register, then value
  }
  EXPECT_GT(lines, 2048 * 2);  // detection plus 2048 cells with their address writes
}

TEST_F(CliTest, InfoAndConvertUseTheSameReadersAndWriters) {
  Play({{{"info", blink_}, 0, {"Format:         2 (Intel8)", "ByteCount:      20 (0x14)"}},
        {{"convert", blink_, "blink.tek", "--format", "tek"}, 0},
        {{"--ff-save", "convert", "blink.tek", "blink.bin", "--format", "1", "--size", "32"}, 0},
        {{"info", "nowhere.hex"}, 3, {"nowhere.hex"}}, {Sim({"--yes", "program", "nowhere.hex"}), 3, {"nowhere.hex"}}});
  const std::string bin = Slurp(dir() / "blink.bin");
  ASSERT_EQ(bin.size(), 32u);
  EXPECT_EQ(bin.substr(0, 1) + bin.substr(19, 2), "\x75\x22\xFF");  // first and last byte, then a blank
}

// The command frame itself, as the window will use it: the order of its
// checks and steps, seen through recording hooks.
class RecordingHooks : public CommandFrameHooks {
public:
  int ChooseProgramFile() override { return Note("choose", chooseResult); }
  void DisableControls() override { Note("disable"); }
  void EnableControls() override { Note("enable"); }
  void RaisePriority() override { Note("raise"); }
  void RestorePriority() override { Note("restore"); }
  int Note(const char* step, int result = 0) {
    log.push_back(step);
    return result;
  }
  int chooseResult = kDialogCancelled;
  std::vector<std::string> log;
};

class CommandFrameTest : public CliTest {
protected:
  // The library's AT89C2051, an empty socket, no signature check.
  void SetUp() override {
    CliTest::SetUp();
    rig_.settings.SettingsFilePath = (dir() / "QUENVALD.INI").string();
    rig_.settings.DeviceIndex = 4;
    rig_.settings.IDCheck = 0;
  }
  // One command, recorded from a clean slate.
  int Run(Command command, int demoMode) {
    hooks_.log.clear();
    rig_.feedback.Clear();
    DeviceLibrary library(rig_.settings, rig_.device, rig_.feedback);
    return RunCommand(command, rig_.ctx, library, demoMode, marker_, hooks_);
  }
  // Only a marker given back can be taken by another holder.
  bool MarkerReleased() const { return LockFileBusyMarker(dir().string()).Acquire() == 0; }

  test::BoardRig<sim::SimBoard> rig_{DeviceRecord{}};
  LockFileBusyMarker marker_{dir().string()};
  RecordingHooks hooks_;
  const std::vector<std::string> frame_ = {"disable", "raise", "restore", "enable"};
};

TEST_F(CommandFrameTest, OperationsRunInsideControlsAndPriorityAndOnlyEraseSkipsTheClosing) {
  rig_.feedback.CancelAtPump(1);
  EXPECT_EQ(Run(Command::BlankCheck, 0), 5);
  EXPECT_EQ(hooks_.log, frame_);
  EXPECT_EQ(rig_.feedback.statuses.back(), kIdleStatus);
  EXPECT_FALSE(rig_.feedback.cancelButtonEnabled);
  EXPECT_EQ(rig_.feedback.CancelRequested(), 0);

  rig_.feedback.SetCancelRequested(1);
  EXPECT_EQ(Run(Command::Erase, 0), 0);
  EXPECT_EQ(hooks_.log, frame_);
  ASSERT_FALSE(rig_.feedback.statuses.empty());
  EXPECT_NE(rig_.feedback.statuses.back(), kIdleStatus);
  EXPECT_EQ(rig_.feedback.CancelRequested(), 1);

  // Without a file the chooser opens even in demonstration mode, before the message.
  rig_.settings.ProgramFileName.clear();
  hooks_.chooseResult = 0;
  EXPECT_EQ(Run(Command::Program, 1), kDemoModeRefused);
  EXPECT_EQ(hooks_.log, std::vector<std::string>{"choose"});
  EXPECT_EQ(rig_.feedback.Texts(), std::vector<std::string>{kDemoMessage});
  // A cancelled chooser: the closing runs, no message.
  hooks_.chooseResult = kDialogCancelled;
  EXPECT_EQ(Run(Command::Verify, 1), kDialogCancelled);
  EXPECT_TRUE(rig_.feedback.messages.empty());
  EXPECT_EQ(rig_.feedback.statuses, std::vector<std::string>{kIdleStatus});
  EXPECT_TRUE(MarkerReleased());
}

}  // namespace
}  // namespace tav
