// SPDX-License-Identifier: GPL-2.0-or-later
// tavrolith-cli end to end, in-process: every command on the simulator and
// in demonstration mode, with its exit status, its output and what it leaves
// in the working directory; then the command frame beneath it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/cli/cli.h"
#include "app/session/run_marker.h"
#include "app/session/session.h"
#include "library/device_library.h"
#include "operations/command_frame.h"
#include "tests/start_up_directory.h"
#include "tests/sim_rig.h"

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace tav {
namespace {

using test::Slurp;

// One command line and what it must give: the exit status, and texts that
// do or do not appear on standard output or standard error.
struct Step {
  std::vector<std::string> args;
  int status;
  std::vector<std::string> shows = {}, hides = {};
};

// The arguments of a run on the simulated AT89C2051 whose chip lives in chip.state.
std::vector<std::string> Sim(std::vector<std::string> args) {
  args.insert(args.begin(), {"--simulate", "--device", "AT89C2051", "--chip-state", "chip.state"});
  return args;
}

struct CliRun {
  int status;
  std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.Valid());
    environment_.ports = directory_.RefusedPorts();
    environment_.in = nullptr;
    environment_.installInterruptHandler = false;
    // The machine-wide marker of a real run stays out of the tests' way.
    environment_.busyMarkerDirectory = dir().string();
  }

  CliRun Run(std::vector<std::string> args) const {
    args.insert(args.begin(), "tavrolith-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Binary, so that Windows adds no CR to the lines compared below.
    std::FILE* out = std::fopen((dir() / "cli.out").string().c_str(), "wb");
    std::FILE* err = std::fopen((dir() / "cli.err").string().c_str(), "wb");
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
      for (const std::string& text : step.hides) EXPECT_THAT(run.out + run.err, Not(HasSubstr(text)));
    }
  }
  const fs::path& dir() const { return directory_.Path(); }
  // The settings file in use: the working folder's when there is one, else
  // the one in the (scratch) user settings folder.
  fs::path IniPath() const {
    return fs::exists(dir() / "QUENVALD.INI") ? dir() / "QUENVALD.INI" : directory_.UserIni();
  }
  std::string Ini() const { return Slurp(IniPath()); }
  bool IniWritten() const { return fs::exists(IniPath()); }

  // Absolute as the program shows it (on Windows with its drive letter).
  const std::string blink_ = fs::absolute(fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex").string();
  test::StartUpDirectory directory_{"tav_cli"};
  CliEnvironment environment_;
};

// Usage errors exit with 2 and change nothing; each command's help shows the
// options that apply to it, and only those.
TEST_F(CliTest, UsageErrorsAndHelp) {
  // One language: CLI11's own explanations are not passed through.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"--bogus", "devices"}, {"--lock", "4", "devices"}, {"--lock"}, {"detect", "extra"},
           {"--port", "lpt1", "detect"}, {"convert", "a.hex", "b.hex", "--format", "intel99"}})
    Play({{args, 2, {"tavrolith-cli: ", "Hilfe: tavrolith-cli --help"}, {"expected", "required", "range"}}});
  Play({{{"--simulate", "--chip-fault", "melted", "detect"}, 2, {"melted"}},
        {Sim({"--board-fault", "silent-after:x", "detect"}), 2, {"silent-after:x"}},
        {{"-q", "-v", "devices"}, 2}, {{"--format", "bin", "detect"}, 2, {"--format gilt nicht für detect"}},
        {{"program", "--help"}, 0, {"--lock N", "--format F"}, {"--size", "--ff-save"}}});
  EXPECT_FALSE(IniWritten());
}

TEST_F(CliTest, DevicesListsFiltersAndSuggestsNearNames) {
  // Siemens's header is flagged n; a pattern shows the matching devices under their manufacturers only.
  Play({{{"--device", "87C52", "devices"}, 0,
         {"Atmel (Hersteller 0)", "Intel (Hersteller 1)", "AT89C2051      DIP20        2048  Flash", "* 1   87C52"},
         {"Siemens"}},
        {{"devices", "at89C20*"}, 0, {"AT89C2051", "Atmel"}, {"AT89C52", "Intel"}},
        {{"devices", "Z80"}, 13, {"Kein Baustein passt zu 'Z80'."}}});
  EXPECT_FALSE(IniWritten());  // --device chose for one run only
  // An empty library says so instead of failing silently.
  std::ofstream(dir() / "8789LIST.CSV", std::ios::trunc);
  Play({{{"devices"}, 13, {"Keine Hersteller"}}});
}

// One simulated chip kept in chip.state from run to run, then the trace and Ctrl+C.
TEST_F(CliTest, EveryOperationOnOneSimulatedChipAndCtrlCAndTheTrace) {
  // No terminal and no --yes: the prompt is answered Cancel, nothing runs,
  // and each command ends with its own failure, never with success.
  Play({{Sim({"blank-check"}), 5, {"--yes"}}, {Sim({"verify", blink_}), 6}, {Sim({"read", "never.hex"}), 4},
        {Sim({"program", blink_}), 7}, {Sim({"--yes", "program", blink_}), 0, {"Keine Fehler beim Prüfen"}},
        // Without --format a known extension decides, whatever format the last file had; the
        // blank check's first report is answered Cancel.
        {Sim({"--yes", "read", "back.bin"}), 0}, {Sim({"--yes", "blank-check"}), 5, {"(abgebrochen)"}},
        {Sim({"--yes", "erase"}), 0, {"Baustein ist gelöscht !"}},
        // A blank chip into BIN: the hint names the option, not the window's box.
        {Sim({"--yes", "read", "blank.bin"}), 4, {"mit --ff-save aufrufen !"}},
        {Sim({"--yes", "--ff-save", "read", "blank.bin"}), 0, {"2048 Bytes geschrieben"}}});
  EXPECT_FALSE(fs::exists(dir() / "never.hex"));
  EXPECT_EQ(Slurp(dir() / "back.bin").substr(0, 3), "\x75\x81\x2F");  // the first instruction, as bytes
  // Nothing of the runs is stored: the next run starts from the stored settings.
  EXPECT_FALSE(IniWritten());
  // The trace gets every write of the run; Ctrl+C cancels at the next progress step.
  Play({{Sim({"--yes", "--trace", "run.trace", "blank-check"}), 0}});
  const std::string trace = Slurp(dir() / "run.trace");
  EXPECT_EQ(trace.rfind("0C 80\n", 0), 0u);
  EXPECT_GT(std::count(trace.begin(), trace.end(), '\n'), 2048 * 2);  // detection plus 2048 cells and their addresses
  environment_.installInterruptHandler = true;
  environment_.raiseInterruptAtPump = 3;
  Play({{Sim({"--yes", "program", blink_}), 7, {"Programmierung abgebrochen !"}, {"Keine Fehler"}}});
}

// Faulty chips and boards, refused port access, a board found or not found at
// high addresses; --port reads its text as the settings dialog does.
TEST_F(CliTest, DetectCalibrateFaultsAndPortAccess) {
  const std::string demo = kDemoMessage, access = test::kRefusedAccessText;
#ifdef _WIN32  // Windows reaches every address through the driver or the port library.
  const std::string direct = "InpOut", hint = "'giveio.sys'";
#else
  const std::string direct = "Direkter Portzugriff auf 0x278: Zugriff verweigert", hint = "Gruppe lp";
#endif
  Play({{{"detect"}, 1, {access, hint, "Programm läuft im Demomodus."}}, {{"--yes", "read", "x.hex"}, 1, {demo}},
        {{"--port", "0x278", "detect"}, 1, {direct}},
        {{"--simulate", "detect"}, 0, {"Brenner gefunden: simulierter Brenner, Portadresse 0x378"}}});
  // Nothing changed, nothing written; the address given was for that run.
  EXPECT_FALSE(fs::exists(dir() / "x.hex") || IniWritten());
  Play({{{"--simulate", "--sim-write-us", "50", "calibrate", "--save"}, 0,
         {"50.00 µs je Zugriff", "Passender TimeBaseKorr: 50 (eingestellt: 85)"}},
        {Sim({"--yes", "--no-id-check", "--chip-fault", "wrong-signature", "blank-check"}), 0},
        // Nor does the fall-back to demonstration mode store the run's options.
        {Sim({"--yes", "--no-verify", "--board-fault", "no-board", "blank-check"}), 1, {kDemoMessage}},
        {Sim({"--board-fault", "broken-latch", "detect"}), 8}});
  // calibrate --save stores; --no-id-check and --no-verify were for their runs only.
  EXPECT_THAT(Ini(), AllOf(HasSubstr("TimeBaseKorr=50"), HasSubstr("IDCheck=1"), HasSubstr("Verify=1"),
                           HasSubstr("PortAdress=378")));
  // PCIe port cards sit high in the I/O space.
  Play({{{"--port", "888", "--simulate", "detect"}, 0, {"Portadresse 0x378 (aus --port 888)"}},
        {{"--port", "0xE800", "detect"}, 1, {"Portadresse 0xE800 (aus --port 0xE800)", "0xE800"}},
        {{"--port", "0x50", "detect"}, 2, {"0x100 bis 0xFFFD"}}});
}

// One marker for the machine's port, which a simulated run never takes: it
// is kept out only by a run on the same chip-state file. The machine marker
// goes with the process that held it.
TEST_F(CliTest, TheMachineMarkerIsThePortsAndASimulatedRunLocksItsChipState) {
  MachineBusyMarker other(dir().string());
  ASSERT_EQ(other.Acquire(), 0);
  EXPECT_EQ(other.IsBusy(), 0);  // its own marker does not count
  SessionOptions sameChip;
  sameChip.simulator.emplace().chipState = "chip.state";
  const RunMarker chipRun = MakeRunMarker(sameChip, dir().string());
  ASSERT_EQ(chipRun.marker->Acquire(), 0);
  Play({{Sim({"--yes", "program", blink_}), kBusy, {"Ein anderer Befehl benutzt den Brenner gerade", "chip.state.lock"}},
        {{"--simulate", "--chip-state", "other.state", "--yes", "blank-check"}, 0}, {{"--simulate", "calibrate"}, 0}});
  chipRun.marker->Release();
  Play({{Sim({"--yes", "blank-check"}), 0}});  // never programmed, though the machine marker is held
  other.Release();
#ifndef _WIN32
  // Every user's copy must be able to open the marker.
  EXPECT_EQ(fs::status(other.Path()).permissions() & fs::perms::all, fs::perms(0666));
  // A holder that crashes: the system drops its lock, the file left behind means nothing.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (MachineBusyMarker(dir().string()).Acquire() == 0) std::abort();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && fs::exists(other.Path()));
  EXPECT_EQ(other.Acquire(), 0);
#endif
}

// Options are for their run; config alone stores, with the rules and
// messages of loading, and what it stores is every later run's default.
TEST_F(CliTest, OptionsApplyToTheirRunAndConfigStores) {
  Play({{Sim({"--yes", "--lock", "2", "--no-verify", "--no-checksum", "--ff-save", "--port", "0x278", "program", blink_}),
         0, {"Gebrannt: 20 Bytes (0x0000 bis 0x0013), nicht geprüft, Lockbits bis 2 gesetzt"}}});
  EXPECT_FALSE(IniWritten());
  Play({{{"config", "set", "Verify", "0"}, 0, {"Verify=0"}},
        {{"config", "set", "Device", "87c52"}, 0, {"ManufIndex=1", "DeviceIndex=1"}},
        // Out of range: the message of loading and its fallback.
        {{"config", "set", "PortAdress", "ff"}, 0, {"Portadresse in\n'QUENVALD.INI'\nkann nicht stimmen!!", "PortAdress=378"}},
        {{"config", "set", "Bogus", "1"}, 2, {"'Bogus'"}}, {{"config", "set", "Verify"}, 2},
        // A misspelt name gets the nearest names of the library.
        {{"config", "set", "Device", "87c5x"}, 13,
         {"Baustein '87c5x' nicht in der Bibliothek.", "Ähnliche Namen: 87C51, 87C52"}},
        // The stored settings are the defaults; an option still wins for its run.
        {Sim({"--yes", "program", blink_}), 0, {"nicht geprüft"}},
        {Sim({"--yes", "--verify", "program", blink_}), 0, {", geprüft"}},
        {{"config"}, 0, {"Verify=0", "ManufIndex=1", "DeviceIndex=1", "[Hardware]", "PortAdress=378"}},
        {{"config", "reset", "Verify"}, 0, {"Verify=1"}}, {{"config", "reset", "Device"}, 0, {"ManufIndex=0"}}});
  // A settings file that cannot be read is named; config does not write over it.
  const fs::path ini = IniPath();
  fs::permissions(ini, fs::perms::none);
  if (!std::ifstream(ini))  // unless root, who reads it anyway
    Play({{{"devices"}, 0, {"QUENVALD.INI kann nicht gelesen werden (" + ini.string()}},
          {{"config", "set", "Verify", "0"}, kWriteFailed, {ini.string()}}});
  fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_THAT(Ini(), HasSubstr("Verify=1"));
}

// The library from the working folder, else the sample library; --config-dir
// names the folder of both; a missing library is named with its path.
TEST_F(CliTest, FilesAreFoundAndMissingOnesNamed) {
  fs::remove(dir() / "8789LIST.CSV");
  // The copy a program run from the build tree finds at the installed
  // distance from itself; no path of the source tree is compiled in.
  const std::string sample = FindLibrary("", DefaultLibraryFallbacks());
  EXPECT_EQ(Slurp(sample), Slurp(fs::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV"));
  const fs::path other = dir() / "other";
  fs::create_directory(other);
  Play({{{"-v", "--simulate", "--device", "AT89C2051", "detect"}, 0, {"Bibliothek: " + sample}},
        {{"--config-dir", other.string(), "devices"}, 13,
         {"Kann Bauteilbibliothek nicht öffnen !", "Bauteilbibliothek: " + (other / "8789LIST.CSV").string()}},
        {{"--config-dir", other.string(), "config", "set", "Verify", "0"}, 0}});
  EXPECT_THAT(Slurp(other / "QUENVALD.INI"), HasSubstr("Verify=0"));
  EXPECT_FALSE(IniWritten());
  EXPECT_EQ(FindLibrary("", {other.string(), fs::path(sample).parent_path().string()}), sample);
#ifndef _WIN32
  // Without a library in the working folder the user's own comes before the
  // installed one.
  const fs::path user = directory_.UserIni().parent_path();
  fs::create_directories(user);
  fs::copy_file(sample, user / "8789LIST.CSV");
  Play({{{"-v", "--simulate", "detect"}, 0, {"Bibliothek: " + (user / "8789LIST.CSV").string()}}});
#endif
}

// What a script user sees: the plan before, the result after, -q and -v.
TEST_F(CliTest, OperationsSayWhatTheyDoAndQuietAndVerboseChangeHowMuch) {
  // Without a terminal the progress is plain lines by the phase; never an empty bar.
  Play({{Sim({"--yes", "program", blink_}), 0,
         {"Baustein: AT89C2051 (Flash, 2048 Bytes)", "Format:   Intel8 (erkannt)", "Programmiere Baustein: 50 %\n"},
         {" 0 %", "\r"}},
        {Sim({"--yes", "read", "back.hex"}), 0, {"Gelesen: 2048 Bytes nach " + (dir() / "back.hex").string()}}});
  const CliRun quiet = Run(Sim({"-q", "--yes", "verify", blink_}));
  EXPECT_EQ(std::to_string(quiet.status) + "|" + quiet.out + "|" + quiet.err,
            "0|Geprüft: 20 Bytes verglichen, keine Unterschiede\n|");
  const CliRun failed = Run(Sim({"-q", "--yes", "--chip-fault", "wrong-signature", "verify", blink_}));
  EXPECT_EQ(std::to_string(failed.status) + "|" + failed.out, "7|verify: fehlgeschlagen, Exit-Status 7\n");
  EXPECT_THAT(failed.err, HasSubstr("Prozessor-ID's stimmen nicht"));
  // A board that stops answering in the middle of a burn: no closing
  // success, and -v counts the writes it left unanswered.
  Play({{Sim({"-v", "--yes", "--board-fault", "silent-after:7000", "program", blink_}), kTimerFailed,
         {"Port: simulierter Brenner, Portadresse 0x378", "TimeBaseKorr 85 (µs je Registerzugriff), Simulator 85 µs",
          "Erhöhte Priorität: ", "ohne Antwort des Brenners: "},
         {"Keine Fehler beim Prüfen", "Brenners: 0"}}});
}

// A production run as a script runs it: the options, the lines per chip
// and the summary, the serial in the last chip.
TEST_F(CliTest, BatchBurnsNumberedChipsAndSaysHowEachWent) {
  Play({{Sim({"batch", blink_, "--serial-at", "0x700"}), 2, {"--serial-at ADRESSE und --serial-format F"}},
        {Sim({"--yes", "batch", blink_}), 2, {"batch mit --yes braucht --count N."}},
        // Without a terminal the first prompt is declined: nothing burnt.
        {Sim({"batch", blink_}), kOperationFailed, {"Baustein 1 einsetzen"}, {"Baustein 1:"}},
        {Sim({"--yes", "--chip-fault", "stuck-bit:2:0:0@2", "batch", blink_, "--count", "3", "--serial-start", "41",
              "--serial-step", "2", "--serial-at", "0x700", "--serial-format", "dec6"}),
         kVerifyFailed,
         {"Baustein 1: gut (Seriennummer 41, CRC-32 ", "Baustein 2: fehlerhaft: Prüfen fand Unterschiede (Seriennummer 43",
          "Baustein 3: gut (Seriennummer 45", "Bausteine gut: 2, fehlerhaft: 1"}},
        // The last chip stays in the state file with its serial.
        {Sim({"--yes", "--ff-save", "read", "last.bin"}), 0}});
  EXPECT_EQ(Slurp(dir() / "last.bin").substr(0x700, 6), "000045");
}

// info and convert use the readers and writers of the commands; --format
// forces the reader. Files that hold no program never reach the chip: the
// command ends before the socket prompt with a message naming the file, and
// the chip keeps what it had (a flash part would have been erased first).
TEST_F(CliTest, ProgramFilesTheirFormatsAndFilesWithoutProgramData) {
  // erase says why an EPROM stays as it is.
  Play({{{"info", blink_}, 0, {"Format:         2 (Intel8)", "ByteCount:      20 (0x14)"}},
        {{"convert", blink_, "blink.tek", "--format", "tek"}, 0},
        {{"--ff-save", "convert", "blink.tek", "blink.bin", "--format", "1", "--size", "32"}, 0},
        {{"info", "nowhere.hex"}, 3, {"nowhere.hex"}}, {Sim({"--yes", "program", "nowhere.hex"}), 3, {"nowhere.hex"}},
        {{"convert", blink_, "blink.s19", "--format", "s1"}, 0},
        {Sim({"--yes", "--format", "s1", "program", "blink.s19"}), 0, {"Motorola S1 Exorciser (mit --format)"}},
        {Sim({"--yes", "--format", "intel8", "verify", "blink.s19"}), 3},
        // Forced BIN takes the hex text as bytes: ':' is the first cell.
        {Sim({"--yes", "--format", "bin", "verify", blink_}), 6, {"Binär (mit --format)", "Richtig: 0x3A"}},
        {{"--simulate", "--device", "87C52", "--yes", "erase"}, 7, {"87C52 ist ein EPROM ohne elektrisches Löschen"}}});
  std::ofstream(dir() / "erased.hex") << ":00000001FF\r\n";
  std::ofstream(dir() / "erased.s19") << "S00F00004252415354452056312E3030FA\r\nS9030000FC\r\n";
  std::ofstream(dir() / "lamp.c") << "/* lamp.c: P1.0 an */\n#include <8051.h>\n";
  std::ofstream(dir() / "main.c") << "#include <8051.h>\n\nvoid main(void) { P1 = 0; }\n";
  const std::string folder = (dir() / "sub").string() + "/";
  fs::create_directory(folder);
  for (const Step& step : std::vector<Step>{
           {Sim({"--yes", "program", "erased.hex"}), 3, {"erased.hex\n\nenthält keine Programmdaten", "nichts zu brennen"}},
           {Sim({"--yes", "verify", "erased.s19"}), 3, {"erased.s19\n\nenthält keine Programmdaten", "nichts zu prüfen"}},
           {Sim({"--yes", "program", "lamp.c"}), 3, {"Keine Hexziffer in Zeile 1, Spalte 2", "lamp.c"}},
           {Sim({"--yes", "program", "main.c"}), 3, {"Unbekanntes Dateiformat", "main.c"}},
           {Sim({"--yes", "verify", folder}), 3, {"Fehler beim Öffnen der Datei\n\n" + folder}}})
    Play({{step.args, step.status, step.shows, {"Controller in Sockel"}}});
  Play({{Sim({"--yes", "verify", blink_}), 0}});
  const std::string bin = Slurp(dir() / "blink.bin");
  ASSERT_EQ(bin.size(), 32u);
  EXPECT_EQ(bin.substr(0, 1) + bin.substr(19, 2), "\x75\x22\xFF");  // first and last byte, then a blank
}

// The command frame itself: the order of its steps seen through recording
// hooks, which no front end's test sees.
struct RecordingHooks : CommandFrameHooks {
  int ChooseProgramFile() override { return log.push_back("choose"), kDialogCancelled; }
  void DisableControls() override { log.push_back("disable"); }
  void EnableControls() override { log.push_back("enable"); }
  void RaisePriority() override { log.push_back("raise"); }
  void RestorePriority() override { log.push_back("restore"); }
  std::vector<std::string> log;
};

TEST_F(CliTest, TheCommandFrameRunsInsideControlsAndPriorityAndClosesACancelledChooser) {
  test::BoardRig<sim::SimBoard> rig{DeviceRecord{}};  // the library's AT89C2051, an empty socket
  rig.settings.SettingsFilePath = (dir() / "QUENVALD.INI").string();
  rig.settings.DeviceIndex = 4;
  rig.settings.IDCheck = 0;
  LockFileBusyMarker marker(dir().string());
  DeviceLibrary library(rig.settings, rig.device, rig.feedback);
  RecordingHooks hooks;
  rig.feedback.CancelAtPump(1);
  EXPECT_EQ(RunCommand(Command::BlankCheck, rig.ctx, library, 0, marker, hooks), 5);
  EXPECT_EQ(hooks.log, std::vector<std::string>({"disable", "raise", "restore", "enable"}));
  EXPECT_FALSE(rig.feedback.cancelButtonEnabled);
  // Without a file the chooser opens; cancelled, the closing runs without a message.
  hooks.log.clear();
  rig.feedback.Clear();
  rig.settings.ProgramFileName.clear();
  EXPECT_EQ(RunCommand(Command::Verify, rig.ctx, library, 1, marker, hooks), kDialogCancelled);
  EXPECT_EQ(hooks.log, std::vector<std::string>{"choose"});
  EXPECT_TRUE(rig.feedback.messages.empty());
  EXPECT_EQ(rig.feedback.statuses, std::vector<std::string>{kIdleStatus});
}

}  // namespace
}  // namespace tav
