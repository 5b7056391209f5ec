// SPDX-License-Identifier: GPL-2.0-or-later
// The session every front end runs, on the simulator and on a refused real
// port: the start-up with its board search, the hook between attempts and
// the fall-back to demonstration mode, what a failed setup leaves, and the
// saving rules at close. The commands themselves are tried through the
// command line's tests.
#include <filesystem>
#include <fstream>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/session/session.h"
#include "tests/start_up_directory.h"
#include "tests/support/scripted_feedback.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace tav {
namespace {

using test::Slurp;

class SessionTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.Valid());
    options_.simulator = SimulatorOptions{};
    options_.betweenSearchAttempts = [this] { hookCalls_.push_back(feedback_.messages.size()); };
  }

  // A start without QUENVALD.INI in the working directory keeps it in the
  // user's settings folder.
  bool IniWritten() const { return fs::exists(directory_.UserIni()); }
  // In demonstration mode every command only shows the demonstration message.
  void ExpectCommandsRefused(Session& session) {
    feedback_.Clear();
    LockFileBusyMarker busy(directory_.Path().string());
    CommandFrameHooks hooks;
    WriteTiming timing;
    EXPECT_EQ(session.RunCommand(Command::Erase, busy, hooks), kDemoModeRefused);
    EXPECT_EQ(session.Calibrate(busy, timing), kDemoModeRefused);
    EXPECT_THAT(feedback_.Texts(), ElementsAre(kDemoMessage, kDemoMessage));
  }

  test::StartUpDirectory directory_{"tav_session"};
  int beepBeforeSession_ = 1;
  ScriptedFeedback feedback_{beepBeforeSession_};
  SessionOptions options_;
  std::vector<size_t> hookCalls_;
};

// A board found at once: no hook, no message, the device loaded. info and
// convert then look at a file by the checksum setting.
TEST_F(SessionTest, BoardFoundAtOnceAndAFileLoadedAloneFollowsTheChecksumSetting) {
  std::ofstream("bad.hex", std::ios::binary) << ":0100000012EE\n:00000001FF\n";  // sum 0xED
  Session session(feedback_, options_);
  ASSERT_EQ(session.Start(), 0);
  EXPECT_EQ(std::tuple(session.DemoMode(), session.BoardResult(), hookCalls_.size(), feedback_.messages.size()),
            std::tuple(0, 0, 0u, 0u));
  EXPECT_EQ(session.Device().DeviceName, "AT89C51");  // the first device of the sample library
  for (const int check : {1, 0}) {
    session.CurrentSettings().TestChecksum = check;
    ProgramImage image;
    EXPECT_EQ(session.LoadFileAlone("bad.hex", image), check ? kFileFailed : 0);
    EXPECT_EQ(image.Bytes[0], check ? 0xFF : 0x12);
  }
}

// Every failed attempt but the last opens the hook; after the last one the
// message, the settings written, demonstration mode. The message beeps by
// the loaded MessageBeap, not by the front end's value from before (1).
TEST_F(SessionTest, NoBoardSearchesSearchHardwareTimesWithTheHookBetweenThenFallsBack) {
  options_.simulator->boardFaults.noBoard = true;
  const std::string ini = "[Hardware]\nSearchHardware=3\nMessageBeap=0\n";
  std::ofstream("QUENVALD.INI", std::ios::binary) << ini;
  options_.betweenSearchAttempts = [&] {
    hookCalls_.push_back(feedback_.messages.size());
    EXPECT_EQ(Slurp("QUENVALD.INI"), ini);  // read, not yet written
  };
  Session session(feedback_, options_);
  ASSERT_EQ(session.Start(), 0);
  EXPECT_THAT(feedback_.Texts(), ElementsAre(kTimeoutMessage, kTimeoutMessage, kTimeoutMessage,
                                             "Kann Hardware nicht finden !\n\nProgramm geht in den Demomodus."));
  EXPECT_THAT(hookCalls_, ElementsAre(1u, 2u));  // after the first attempt's message, after the second's
  EXPECT_THAT(Slurp("QUENVALD.INI"), HasSubstr("TimeBaseKorr=85"));  // written in full
  EXPECT_FALSE(feedback_.messages.back().beeped);
  EXPECT_EQ(std::pair(session.DemoMode(), session.BoardResult()), std::pair(1, kHandshakeTimeout));
  ExpectCommandsRefused(session);
}

#ifndef _WIN32
// The addresses ioperm was asked for, each time refused.
std::vector<unsigned long> askedPorts;
int RecordAndRefuse(unsigned long from, unsigned long count, int turnOn) {
  askedPorts.push_back(from);
  return test::RefuseIoperm(from, count, turnOn);
}
#endif

// Refused port access: its message, no search, demonstration mode. Port
// access serves one address: a changed PortAdress is set up again, with the
// start-up's message; an unchanged one is left alone.
TEST_F(SessionTest, PortAccessRefusedMeansDemoModeWithoutSearchAndAChangedAddressIsSetUpAgain) {
  options_.simulator.reset();
  options_.ports = directory_.RefusedPorts();
#ifndef _WIN32
  options_.ports.ioperm = RecordAndRefuse;
  askedPorts.clear();
#endif
  Session session(feedback_, options_);
  ASSERT_EQ(session.Start(), 0);
  EXPECT_THAT(feedback_.Texts(), ElementsAre(HasSubstr(test::kRefusedAccessText)));
  EXPECT_EQ(std::tuple(feedback_.messages[0].kind, hookCalls_.size(), session.DemoMode(), session.BoardResult()),
            std::tuple(MessageKind::Plain, 0u, 1, kDemoModeRefused));
  EXPECT_FALSE(IniWritten());
#ifndef _WIN32  // Linux asks ioperm for the address; giveio opens all ports at once
  session.FollowPortAddress();
  session.CurrentSettings().SetPortAdress(0x278);
  session.FollowPortAddress();
  EXPECT_THAT(askedPorts, ElementsAre(0x378ul, 0x278ul));
  EXPECT_THAT(feedback_.Texts(), ElementsAre(HasSubstr(test::kRefusedAccessText), HasSubstr(test::kRefusedAccessText)));
#endif
}

TEST_F(SessionTest, AFailedSetupStopsBeforeTheSearchAndRefusesCommands) {
  std::ofstream("bad.state", std::ios::binary) << "no chip here\n";
  // The chip-state file, the trace file, the message.
  const std::tuple<std::string, std::string, std::string> rows[] = {
      {"bad.state", "", "Chip-Zustand 'bad.state' kann nicht geladen werden:\n"},
      {"", "missing/run.trace", "Trace-Datei 'missing/run.trace' kann nicht angelegt werden."}};
  for (const auto& [chipState, trace, message] : rows) {
    SCOPED_TRACE(message);
    feedback_.Clear();
    options_.simulator->chipState = chipState;
    options_.tracePath = trace;
    Session session(feedback_, options_);
    EXPECT_EQ(session.Start(), kFileFailed);
    EXPECT_THAT(feedback_.Texts(), ElementsAre(HasSubstr(message)));
    EXPECT_EQ(session.DemoMode(), 1);
    ExpectCommandsRefused(session);
    // A chip whose state was never loaded is not written back over the file.
    EXPECT_EQ(session.Close(0), 0);
  }
  EXPECT_EQ(Slurp("bad.state"), "no chip here\n");
}

TEST_F(SessionTest, CloseSavesTheSettingsByTheFrontEndsRuleAndKeepsTheChip) {
  // A window saves always, also when nothing changed; the command line only a change.
  const auto startAndClose = [&](bool change) {
    Session session(feedback_, options_);
    ASSERT_EQ(session.Start(), 0);
    if (change) session.CurrentSettings().Verify = 0;
    EXPECT_EQ(session.Close(0), 0);
  };
  startAndClose(false);
  EXPECT_TRUE(IniWritten());
  fs::remove(directory_.UserIni());
  options_.alwaysSaveAtClose = false;
  options_.simulator->chipState = "chip.state";
  startAndClose(false);
  EXPECT_FALSE(IniWritten());
  EXPECT_TRUE(fs::exists("chip.state"));
  startAndClose(true);
  EXPECT_THAT(Slurp(directory_.UserIni()), HasSubstr("Verify=0"));
  // A chip that cannot be kept turns success into a failure, not a failure
  // into another.
  options_.simulator->chipState = "missing/chip.state";
  for (const int status : {0, kVerifyFailed}) {
    Session session(feedback_, options_);
    ASSERT_EQ(session.Start(), 0);
    feedback_.Clear();
    EXPECT_EQ(session.Close(status), status == 0 ? kFileFailed : status);
    EXPECT_THAT(feedback_.LastText(), HasSubstr("Chip-Zustand 'missing/chip.state' kann nicht gespeichert werden."));
  }
}

// A real port is watched from outside for the trace (a --trace on a real
// board once wrote an empty file); a simulated board stands in for it.
TEST_F(SessionTest, TheTraceOfARealPortRecordsItsRegisterWrites) {
  options_.simulator.reset();
  options_.portStandIn = [] { return std::make_unique<sim::SimBoard>(); };
  options_.tracePath = "real.trace";
  {
    Session session(feedback_, options_);
    ASSERT_EQ(session.Start(), 0);
  }
  EXPECT_EQ(Slurp("real.trace").rfind("0C 80\n", 0), 0u);
}

}  // namespace
}  // namespace tav
