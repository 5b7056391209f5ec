// tavrolith-cli end to end, in-process: every command on the simulator and
// in demonstration mode, with its exit status, its output and what it leaves
// in the working directory.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/cli/cli.h"
#include "app/cli/tracing_port.h"
#include "app/scripted_feedback.h"
#include "library/device_record.h"
#include "files/program_image.h"
#include "library/device_library.h"
#include "link/programmer_link.h"
#include "operations/command_frame.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace tav {
namespace {

int RefuseIoperm(unsigned long, unsigned long, int) {
  errno = EPERM;
  return -1;
}

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadBack(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

class CliTest : public ::testing::Test {
protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tav_cli_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy_file(fs::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV", dir_ / "8789LIST.CSV");
    fs::current_path(dir_);
    // No real port is ever touched: an empty parport tree and a refusing ioperm.
    environment_.ports = {(dir_ / "no-proc").string(), (dir_ / "no-dev").string(), RefuseIoperm};
    environment_.in = nullptr;
    environment_.installInterruptHandler = false;
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "tavrolith-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = RunCli(int(args.size()), argv.data(), out, err, environment_);
    return {status, ReadBack(out), ReadBack(err)};
  }

  // A run on the simulated AT89C2051 whose chip lives in chip.state.
  CliRun Sim(std::vector<std::string> args) {
    std::vector<std::string> all = {"--simulate", "--device", "AT89C2051", "--chip-state", "chip.state", "-q"};
    all.insert(all.end(), args.begin(), args.end());
    return Run(all);
  }

  std::string Ini() const { return Slurp(dir_ / "QUENVALD.INI"); }
  std::string Blink() const { return (fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex").string(); }

  fs::path previous_;
  fs::path dir_;
  CliEnvironment environment_;
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndHelpSaysSo) {
  EXPECT_EQ(Run({}).status, 2);
  EXPECT_EQ(Run({"frobnicate"}).status, 2);
  EXPECT_EQ(Run({"--bogus", "devices"}).status, 2);
  EXPECT_EQ(Run({"program"}).status, 2);  // FILE missing
  EXPECT_EQ(Run({"--lock", "4", "devices"}).status, 2);
  EXPECT_EQ(Run({"--on-error", "maybe", "devices"}).status, 2);
  EXPECT_EQ(Run({"--port", "0x10000", "detect"}).status, 2);
  EXPECT_EQ(Run({"--port", "lpt1", "detect"}).status, 2);
  EXPECT_EQ(Run({"convert", "a.hex", "b.hex", "--format", "intel99"}).status, 2);
  EXPECT_EQ(Run({"convert", "a.hex", "b.hex", "--format", "10"}).status, 2);
  const CliRun fault = Run({"--simulate", "--chip-fault", "melted", "detect"});
  EXPECT_EQ(fault.status, 2);
  EXPECT_THAT(fault.err, HasSubstr("melted"));
  // A usage error changes nothing on disk.
  EXPECT_FALSE(fs::exists(dir_ / "QUENVALD.INI"));

  const CliRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("2 for usage errors"));
  EXPECT_THAT(help.out, HasSubstr("blank-check"));
}

TEST_F(CliTest, DevicesListsTheActiveLibraryAndMarksTheSelection) {
  const CliRun run = Run({"--device", "87C52", "devices"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Atmel (Hersteller 0)"));
  EXPECT_THAT(run.out, HasSubstr("Intel (Hersteller 1)"));
  EXPECT_THAT(run.out, Not(HasSubstr("Siemens")));  // header flagged n
  EXPECT_THAT(run.out, HasSubstr("AT89C2051      DIP20        2048  Flash"));
  EXPECT_THAT(run.out, HasSubstr("* 1   87C52"));
  EXPECT_THAT(run.out, Not(HasSubstr("* 0   AT89C51")));
  // The choice is stored like the window stores its lists.
  EXPECT_THAT(Ini(), HasSubstr("ManufIndex=1"));
  EXPECT_THAT(Ini(), HasSubstr("DeviceIndex=1"));
}

TEST_F(CliTest, DeviceChoiceByNameOrPositionAndRefusalOfUnknownNames) {
  EXPECT_EQ(Run({"--manufacturer", "intel", "--device", "2", "devices"}).status, 0);
  EXPECT_THAT(Ini(), HasSubstr("ManufIndex=1"));
  EXPECT_THAT(Ini(), HasSubstr("DeviceIndex=2"));

  const CliRun unknown = Run({"--device", "AT89C9999", "devices"});
  EXPECT_EQ(unknown.status, 13);
  EXPECT_THAT(unknown.err, HasSubstr("Baustein 'AT89C9999' nicht in der Bibliothek."));
  // A refused choice keeps the stored one.
  EXPECT_THAT(Ini(), HasSubstr("DeviceIndex=2"));

  EXPECT_EQ(Run({"--manufacturer", "Siemens", "devices"}).status, 13);  // hidden
  // Without a manufacturer a bare number is not a device name.
  EXPECT_EQ(Run({"--device", "3", "devices"}).status, 13);
  EXPECT_EQ(Run({"--manufacturer", "0", "devices"}).status, 0);
  EXPECT_THAT(Ini(), HasSubstr("ManufIndex=0"));
}

TEST_F(CliTest, ProgramVerifyReadBackAndCompareOnOneSimulatedChip) {
  const CliRun program = Sim({"--yes", "program", Blink()});
  ASSERT_EQ(program.status, 0) << program.err;
  EXPECT_THAT(program.err, HasSubstr("Keine Fehler beim Prüfen"));
  ASSERT_TRUE(fs::exists(dir_ / "chip.state"));

  const CliRun verify = Sim({"--yes", "verify", Blink()});
  EXPECT_EQ(verify.status, 0) << verify.err;

  const CliRun read = Sim({"--yes", "read", "back.s19", "--format", "5"});
  ASSERT_EQ(read.status, 0) << read.err;
  const std::string s19 = Slurp(dir_ / "back.s19");
  EXPECT_EQ(s19.rfind("S0", 0), 0u);
  EXPECT_THAT(s19, HasSubstr("S1"));

  const CliRun original = Run({"info", Blink()});
  const CliRun back = Run({"info", "back.s19"});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_THAT(back.out, HasSubstr("Format:         5 (Motorola S1 Exorciser)"));
  // The writer keeps blank cells inside a record that holds data, so the
  // read-back is longer; the images are the same.
  EXPECT_THAT(back.out, HasSubstr("HighestAddress: 31 (0x1F)"));
  const auto crcLine = [](const std::string& text) { return text.substr(text.find("CRC-32")); };
  EXPECT_EQ(crcLine(original.out), crcLine(back.out));


  // The settings remember the file and the format, as the window would.
  EXPECT_THAT(Ini(), HasSubstr("LastFile=back.s19"));
  EXPECT_THAT(Ini(), HasSubstr("DataFormat=5"));
}

TEST_F(CliTest, BlankCheckAndEraseFollowTheChipBetweenRuns) {
  EXPECT_EQ(Sim({"--yes", "blank-check"}).status, 0);
  ASSERT_EQ(Sim({"--yes", "--no-verify", "program", Blink()}).status, 0);
  const CliRun notBlank = Sim({"--yes", "blank-check"});
  EXPECT_EQ(notBlank.status, 5);  // the first report answered Cancel (no terminal)
  EXPECT_THAT(notBlank.err, HasSubstr("(abgebrochen)"));
  const CliRun erase = Sim({"--yes", "erase"});
  EXPECT_EQ(erase.status, 0) << erase.err;
  EXPECT_THAT(erase.err, HasSubstr("Baustein ist gelöscht !"));
  EXPECT_EQ(Sim({"--yes", "blank-check"}).status, 0);
  // A chip that now differs from the file fails the verify.
  EXPECT_EQ(Sim({"--yes", "verify", Blink()}).status, 6);
}

TEST_F(CliTest, ADeclinedSocketPromptIsNoSuccess) {
  // No terminal and no --yes: the prompt is answered Cancel and nothing runs.
  const CliRun blank = Sim({"blank-check"});
  EXPECT_EQ(blank.status, 5);
  EXPECT_THAT(blank.err, HasSubstr("--yes"));
  EXPECT_EQ(Sim({"verify", Blink()}).status, 6);
  EXPECT_EQ(Sim({"read", "never.hex"}).status, 4);
  EXPECT_FALSE(fs::exists(dir_ / "never.hex"));
  EXPECT_EQ(Sim({"program", Blink()}).status, 7);
  // The chip was never written: it is still blank.
  EXPECT_EQ(Sim({"--yes", "blank-check"}).status, 0);
}

TEST_F(CliTest, FaultyChipsAndBoards) {
  const CliRun signature = Sim({"--yes", "--chip-fault", "wrong-signature", "program", Blink()});
  EXPECT_EQ(signature.status, 7);
  EXPECT_THAT(signature.err, HasSubstr("Prozessor-ID's stimmen nicht"));
  // With the ID check off the same chip is worked on.
  EXPECT_EQ(Sim({"--yes", "--no-id-check", "--chip-fault", "wrong-signature", "blank-check"}).status, 0);
  EXPECT_THAT(Ini(), HasSubstr("IDCheck=0"));

  const CliRun board = Sim({"--yes", "--board-fault", "no-board", "blank-check"});
  EXPECT_EQ(board.status, 1);
  EXPECT_THAT(board.err, HasSubstr("Timeout-Fehler bei Datenübertragung"));
  EXPECT_THAT(board.err, HasSubstr("Kann Hardware nicht finden !"));
  EXPECT_THAT(board.err, HasSubstr(kDemoMessage));
  EXPECT_EQ(Sim({"--board-fault", "broken-latch", "detect"}).status, 8);
  EXPECT_EQ(Sim({"--board-fault", "no-board", "detect"}).status, 10);
}

TEST_F(CliTest, WithoutPortAccessEveryProgrammerCommandIsRefused) {
  for (const char* command : {"blank-check", "erase", "detect", "calibrate"}) {
    const CliRun run = Run({"--yes", command});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_THAT(run.err, HasSubstr("Gruppe lp")) << command;
    EXPECT_THAT(run.err, HasSubstr("Programm läuft im Demomodus.")) << command;
  }
  const CliRun program = Run({"--yes", "program", Blink()});
  EXPECT_EQ(program.status, 1);
  EXPECT_THAT(program.err, HasSubstr(kDemoMessage));
  const CliRun read = Run({"--yes", "read", "x.hex"});
  EXPECT_EQ(read.status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "x.hex"));
  // A named ppdev device that does not exist is reported by name.
  const CliRun named = Run({"--port", (dir_ / "parport9").string(), "detect"});
  EXPECT_EQ(named.status, 1);
  EXPECT_THAT(named.err, HasSubstr("parport9: Gerät existiert nicht"));
  // An address is taken like an entry in the settings dialog, and kept.
  const CliRun other = Run({"--port", "0x278", "detect"});
  EXPECT_EQ(other.status, 1);
  EXPECT_THAT(other.err, HasSubstr("Direkter Portzugriff auf 0x278: Zugriff verweigert"));
  EXPECT_THAT(Ini(), HasSubstr("PortAdress=278"));
}

TEST_F(CliTest, ASecondCommandWaitsOutsideWhileOneRuns) {
  LockFileBusyMarker other(dir_.string());
  ASSERT_EQ(other.Acquire(), 0);
  const CliRun run = Sim({"--yes", "program", Blink()});
  EXPECT_EQ(run.status, kBusy);
  EXPECT_THAT(run.err, HasSubstr("Quenvaldokraft.lock"));
  other.Release();
  EXPECT_EQ(Sim({"--yes", "blank-check"}).status, 0);  // never programmed
}

TEST_F(CliTest, CtrlCCancelsAtTheNextProgressStep) {
  environment_.installInterruptHandler = true;
  environment_.raiseInterruptAtPump = 3;
  const CliRun blank = Sim({"--yes", "blank-check"});
  EXPECT_EQ(blank.status, 5);
  EXPECT_THAT(blank.err, HasSubstr("Leertest abgebrochen !"));
  const CliRun program = Sim({"--yes", "program", Blink()});
  EXPECT_EQ(program.status, 7);
  EXPECT_THAT(program.err, HasSubstr("Programmierung abgebrochen !"));
  environment_.raiseInterruptAtPump = 0;
  // The cancelled program left most of the chip blank: verify fails.
  EXPECT_EQ(Sim({"--yes", "verify", Blink()}).status, 6);
}

TEST_F(CliTest, CalibrateMeasuresTheWriteTimeAndStoresItOnRequest) {
  const CliRun look = Run({"--simulate", "--sim-write-us", "50", "calibrate"});
  ASSERT_EQ(look.status, 0) << look.err;
  EXPECT_THAT(look.out, HasSubstr("50.00 µs je Zugriff"));
  EXPECT_THAT(look.out, HasSubstr("Passender TimeBaseKorr: 50 (eingestellt: 85)"));
  EXPECT_FALSE(fs::exists(dir_ / "QUENVALD.INI"));  // nothing changed, nothing written

  EXPECT_EQ(Run({"--simulate", "--sim-write-us", "50", "calibrate", "--save"}).status, 0);
  EXPECT_THAT(Ini(), HasSubstr("TimeBaseKorr=50"));
  const CliRun slow = Run({"--simulate", "--sim-write-us", "250", "calibrate"});
  EXPECT_THAT(slow.out, HasSubstr("Passender TimeBaseKorr: 100"));
}

TEST_F(CliTest, TheTraceRecordsEveryRegisterWrite) {
  ASSERT_EQ(Sim({"--yes", "--trace", "run.trace", "blank-check"}).status, 0);
  std::istringstream trace(Slurp(dir_ / "run.trace"));
  std::string line;
  int lines = 0;
  while (std::getline(trace, line)) {
    ASSERT_EQ(line.size(), 5u) << line;
    EXPECT_EQ(line[2], ' ');
    ++lines;
  }
  // Detection plus 2048 cells with their address writes.
  EXPECT_GT(lines, 2048 * 2);
}

TEST(TracingPortTest, WritesTheSameTraceAsTheSimulatedBoard) {
  sim::SimBoard board(0x378);
  std::ostringstream boardTrace, portTrace;
  board.SetTraceSink(&boardTrace);
  TracingPort port(board, 0x378, portTrace);
  Settings settings;
  DeviceRecord device;
  int beep = 0;
  ScriptedFeedback feedback(beep);
  ProgrammerLink link(port, settings, device, feedback);
  ASSERT_EQ(link.DetectProgrammer(), 0);
  link.ResetOutputs();
  link.SetData(0xA5);
  EXPECT_FALSE(portTrace.str().empty());
  EXPECT_EQ(portTrace.str(), boardTrace.str());
}

TEST_F(CliTest, InfoAndConvertUseTheSameReadersAndWriters) {
  const CliRun info = Run({"info", Blink()});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("Format:         2 (Intel8)"));
  EXPECT_THAT(info.out, HasSubstr("ByteCount:      20 (0x14)"));

  ASSERT_EQ(Run({"convert", Blink(), "blink.tek", "--format", "tek"}).status, 0);
  ASSERT_EQ(Run({"--ff-save", "convert", "blink.tek", "blink.bin", "--format", "1", "--size", "32"}).status, 0);
  const std::string bin = Slurp(dir_ / "blink.bin");
  ASSERT_EQ(bin.size(), 32u);
  EXPECT_EQ(uint8_t(bin[0]), 0x75);
  EXPECT_EQ(uint8_t(bin[19]), 0x22);
  EXPECT_EQ(uint8_t(bin[20]), 0xFF);

  const CliRun cut = Run({"convert", Blink(), "cut.s3", "--format", "s3", "--size", "16"});
  EXPECT_EQ(cut.status, 0);
  EXPECT_THAT(cut.err, HasSubstr("Daten ab Adresse 0x10 werden nicht geschrieben"));
  EXPECT_THAT(Run({"info", "cut.s3"}).out, HasSubstr("HighestAddress: 15 (0xF)"));

  const CliRun missing = Run({"info", "nowhere.hex"});
  EXPECT_NE(missing.status, 0);
  EXPECT_THAT(missing.err, HasSubstr("nowhere.hex"));
  // Looking at files does not change the stored program file.
  EXPECT_THAT(Ini(), Not(HasSubstr("LastFile=nowhere.hex")));
}

// The command frame itself, as the window will use it: the order of its
// checks and steps, seen through recording hooks and a fake marker.
class RecordingHooks : public CommandFrameHooks {
public:
  int ChooseProgramFile() override {
    log.push_back("choose");
    return chooseResult;
  }
  void DisableControls() override { log.push_back("disable"); }
  void EnableControls() override { log.push_back("enable"); }
  void RaisePriority() override { log.push_back("raise"); }
  void RestorePriority() override { log.push_back("restore"); }
  int chooseResult = kDialogCancelled;
  std::vector<std::string> log;
};

class FakeMarker : public BusyMarker {
public:
  int IsBusy() override { return other ? kBusy : 0; }
  int Acquire() override {
    if (other) return kBusy;
    ++acquired;
    held = true;
    return 0;
  }
  void Release() override { held = false; }
  bool other = false;
  bool held = false;
  int acquired = 0;
};

class CommandFrameTest : public CliTest {
protected:
  void SetUp() override {
    CliTest::SetUp();
    settings_.SettingsFilePath = (dir_ / "QUENVALD.INI").string();
    settings_.DeviceIndex = 4;  // AT89C2051
    DeviceLibrary library(settings_, device_, feedback_);
    ASSERT_EQ(library.LoadSelectedDevice(), 0);
    board_.InsertChip(sim::MakeChip(device_, settings_.TimeBaseKorr));
    feedback_.Clear();
  }
  int Run(Command command, int demoMode) {
    DeviceLibrary library(settings_, device_, feedback_);
    OperationContext ctx{link_, device_, image_, settings_, feedback_};
    return RunCommand(command, ctx, library, demoMode, marker_, hooks_);
  }

  Settings settings_;
  DeviceRecord device_;
  ProgramImage image_;
  int beep_ = 0;
  ScriptedFeedback feedback_{beep_};
  sim::SimBoard board_{0x378};
  ProgrammerLink link_{board_, settings_, device_, feedback_};
  FakeMarker marker_;
  RecordingHooks hooks_;
};

TEST_F(CommandFrameTest, ABlankCheckRunsBetweenPriorityAndControlsAndClosesIdle) {
  EXPECT_EQ(Run(Command::BlankCheck, 0), 0);
  EXPECT_EQ(hooks_.log, (std::vector<std::string>{"disable", "raise", "restore", "enable"}));
  EXPECT_EQ(marker_.acquired, 1);
  EXPECT_FALSE(marker_.held);
  ASSERT_FALSE(feedback_.statuses.empty());
  EXPECT_EQ(feedback_.statuses.back(), kIdleStatus);
  EXPECT_FALSE(feedback_.cancelButtonEnabled);
  EXPECT_EQ(feedback_.CancelRequested(), 0);
}

TEST_F(CommandFrameTest, DemonstrationModeAndBusyEndBeforeAnythingRuns) {
  EXPECT_EQ(Run(Command::Erase, 1), kDemoModeRefused);
  EXPECT_EQ(feedback_.Texts(), std::vector<std::string>{kDemoMessage});
  EXPECT_EQ(marker_.acquired, 0);

  feedback_.Clear();
  marker_.other = true;
  EXPECT_EQ(Run(Command::BlankCheck, 0), kBusy);
  EXPECT_TRUE(feedback_.messages.empty());  // silently
  EXPECT_TRUE(feedback_.statuses.empty());
  EXPECT_TRUE(hooks_.log.empty());
}

TEST_F(CommandFrameTest, ProgramWithoutAFileOpensTheChooserBeforeTheDemonstrationCheck) {
  settings_.ProgramFileName.clear();
  hooks_.chooseResult = 0;
  EXPECT_EQ(Run(Command::Program, 1), kDemoModeRefused);
  EXPECT_EQ(hooks_.log, std::vector<std::string>{"choose"});
  EXPECT_EQ(feedback_.Texts(), std::vector<std::string>{kDemoMessage});

  // A cancelled chooser: the marker comes and goes, the closing runs, no
  // demonstration message.
  hooks_.log.clear();
  feedback_.Clear();
  hooks_.chooseResult = kDialogCancelled;
  EXPECT_EQ(Run(Command::Verify, 1), kDialogCancelled);
  EXPECT_EQ(marker_.acquired, 1);
  EXPECT_FALSE(marker_.held);
  EXPECT_TRUE(feedback_.messages.empty());
  EXPECT_EQ(feedback_.statuses, std::vector<std::string>{kIdleStatus});
}

TEST_F(CommandFrameTest, AnUnloadableDeviceOrFileSkipsTheOperation) {
  settings_.DeviceIndex = 40;
  EXPECT_EQ(Run(Command::BlankCheck, 0), 13);
  EXPECT_TRUE(hooks_.log.empty());
  EXPECT_EQ(feedback_.statuses.back(), kIdleStatus);

  settings_.DeviceIndex = 4;
  settings_.ProgramFilePath = (dir_ / "missing.hex").string();
  settings_.ProgramFileName = "missing.hex";
  EXPECT_EQ(Run(Command::Program, 0), 3);
  EXPECT_TRUE(hooks_.log.empty());
  EXPECT_EQ(marker_.acquired, 2);
  EXPECT_FALSE(marker_.held);
}

TEST_F(CommandFrameTest, EraseLeavesStatusAndCancelStateAsItLeftThem) {
  EXPECT_EQ(Run(Command::Erase, 0), 0);
  EXPECT_EQ(hooks_.log, (std::vector<std::string>{"disable", "raise", "restore", "enable"}));
  ASSERT_FALSE(feedback_.statuses.empty());
  EXPECT_NE(feedback_.statuses.back(), kIdleStatus);
  EXPECT_FALSE(marker_.held);
}

TEST_F(CliTest, TheLockFileMarkerKeepsASecondHolderOut) {
  LockFileBusyMarker first(dir_.string());
  LockFileBusyMarker second(dir_.string());
  EXPECT_EQ(first.IsBusy(), 0);
  EXPECT_EQ(first.Acquire(), 0);
  EXPECT_EQ(first.IsBusy(), 0);  // its own marker does not count
  EXPECT_EQ(second.IsBusy(), kBusy);
  EXPECT_EQ(second.Acquire(), kBusy);
  first.Release();
  EXPECT_EQ(second.Acquire(), 0);
}

}  // namespace
}  // namespace tav
