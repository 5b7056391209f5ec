// The Linux port backends without hardware: the ppdev lookup over a fake
// /proc tree, the refusal of direct I/O, the demonstration-mode message, and
// the return to normal priority.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/scripted_feedback.h"
#include "link/direct_port.h"
#include "link/port_access.h"
#include "link/ppdev_port.h"
#include "settings/settings.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace tav {
namespace {

class FakeTree : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tav_ports_" + std::to_string(getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(proc());
    fs::create_directories(dev());
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string proc() const { return (root_ / "proc").string(); }
  std::string dev() const { return (root_ / "dev").string(); }

  // One port directory; a null content leaves base-addr out.
  void AddPort(const std::string& name, const char* baseAddr, bool withDevice) {
    fs::create_directories(root_ / "proc" / name);
    if (baseAddr) std::ofstream(root_ / "proc" / name / "base-addr") << baseAddr;
    if (withDevice) std::ofstream(root_ / "dev" / name) << "";
  }

  fs::path root_;
};

TEST(ParseBaseAddrTest, TakesTheFirstDecimalNumberOfTheKernelLine) {
  EXPECT_EQ(ParseBaseAddr("888\t1912\n"), 888u);
  EXPECT_EQ(ParseBaseAddr("632\n"), 632u);
  EXPECT_EQ(ParseBaseAddr("956"), 956u);
  EXPECT_EQ(ParseBaseAddr(" 888\t0"), 888u);
}

TEST(ParseBaseAddrTest, MeaninglessTextIsNoAddress) {
  EXPECT_FALSE(ParseBaseAddr(""));
  EXPECT_FALSE(ParseBaseAddr("\n"));
  EXPECT_FALSE(ParseBaseAddr("-1\t-1\n"));
  EXPECT_FALSE(ParseBaseAddr("0x378\n"));  // the kernel never prints hex; do not guess
  EXPECT_FALSE(ParseBaseAddr("888abc"));
  EXPECT_FALSE(ParseBaseAddr("99999999999999999999\n"));
}

TEST_F(FakeTree, FindsThePortWhoseBaseAddressMatches) {
  AddPort("parport0", "632\t1656\n", true);
  AddPort("parport1", "888\t1912\n", true);
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), (fs::path(dev()) / "parport1").string());
  EXPECT_EQ(FindPpdevForBase(0x278, proc(), dev()), (fs::path(dev()) / "parport0").string());
  EXPECT_EQ(FindPpdevForBase(0x3BC, proc(), dev()), "");
}

TEST_F(FakeTree, UnreadableOrMeaninglessEntriesAreNoMatch) {
  AddPort("parport0", nullptr, true);         // base-addr missing
  AddPort("parport1", "garbage\n", true);     // not a number
  AddPort("parport2", "888\t1912\n", false);  // right address, but no device file
  fs::create_directories(fs::path(proc()) / "parport3" / "base-addr");  // a directory, not readable as text
  std::ofstream(fs::path(dev()) / "parport3") << "";
  AddPort("default", "888\n", true);          // not a port directory
  AddPort("parportx", "888\n", true);
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), "");
}

TEST_F(FakeTree, TwoMatchingPortsGiveTheLowestNumber) {
  AddPort("parport10", "888\n", true);
  AddPort("parport2", "888\n", true);
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), (fs::path(dev()) / "parport2").string());
}

TEST_F(FakeTree, MissingProcTreeIsNoMatch) {
  EXPECT_EQ(FindPpdevForBase(0x378, (root_ / "nowhere").string(), dev()), "");
}

int gIopermCalls = 0;
int gIopermLastTurnOn = -1;
int RefuseIoperm(unsigned long, unsigned long, int turnOn) {
  ++gIopermCalls;
  gIopermLastTurnOn = turnOn;
  errno = EPERM;
  return -1;
}

TEST(DirectPortTest, RefusedIopermLeavesThePortInert) {
  gIopermCalls = 0;
  DirectPort port(0x378, RefuseIoperm);
  EXPECT_EQ(port.Open(), EPERM);
  EXPECT_EQ(gIopermCalls, 1);
  EXPECT_EQ(gIopermLastTurnOn, 1);
  // Without the grant no port instruction may run: it would kill the process.
  port.Out(0x378, 0x55);
  EXPECT_EQ(port.In(0x379), 0xFF);
}

TEST(PpdevPortTest, AFileThatIsNoParallelPortCannotBeClaimed) {
  const fs::path file = fs::temp_directory_path() / ("tav_not_a_port_" + std::to_string(getpid()));
  std::ofstream(file) << "x";
  PpdevPort port(0x378);
  EXPECT_EQ(port.Open(file.string()), ENOTTY);
  EXPECT_STREQ(port.FailedStep(), "claim");
  EXPECT_EQ(port.In(0x379), 0xFF);
  PpdevPort missing(0x378);
  EXPECT_EQ(missing.Open(file.string() + ".missing"), ENOENT);
  EXPECT_STREQ(missing.FailedStep(), "open");
  fs::remove(file);
}

TEST_F(FakeTree, NoPpdevAndNoIopermGivesTheMessageAndDemonstrationMode) {
  gIopermCalls = 0;
  Settings settings;
  int beep = 1;
  ScriptedFeedback feedback(beep);
  PortAccess access;
  const PortAccessEnvironment environment{proc(), dev(), RefuseIoperm};
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access, environment), 7);
  EXPECT_EQ(access.DemoMode, 1);
  EXPECT_EQ(access.io, nullptr);
  EXPECT_EQ(gIopermCalls, 1);
  ASSERT_EQ(feedback.messages.size(), 1u);
  const ScriptedFeedback::Message& message = feedback.messages[0];
  EXPECT_EQ(message.kind, MessageKind::Plain);
  EXPECT_FALSE(message.beeped);
  EXPECT_THAT(message.text, HasSubstr("0x378"));
  EXPECT_THAT(message.text, HasSubstr("Gruppe lp"));
  EXPECT_THAT(message.text, HasSubstr("root"));
  EXPECT_THAT(message.text, HasSubstr("Zugriff verweigert"));
  EXPECT_THAT(message.text, HasSubstr("Programm läuft im Demomodus."));
}

TEST_F(FakeTree, AnUnusablePpdevFallsBackToIopermAndReportsBoth) {
  gIopermCalls = 0;
  AddPort("parport0", "956\t0\n", true);  // 0x3BC; the device file is a plain file
  Settings settings;
  settings.SetPortAdress(0x3BC);
  int beep = 0;
  ScriptedFeedback feedback(beep);
  PortAccess access;
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access, {proc(), dev(), RefuseIoperm}), 7);
  EXPECT_EQ(gIopermCalls, 1);
  EXPECT_THAT(feedback.LastText(), HasSubstr("parport0: keine Parallelschnittstelle"));
  EXPECT_THAT(feedback.LastText(), HasSubstr("Direkter Portzugriff auf 0x3BC: Zugriff verweigert"));
}

TEST_F(FakeTree, ANamedDeviceIsTheOnlyOneTried) {
  gIopermCalls = 0;
  Settings settings;
  int beep = 0;
  ScriptedFeedback feedback(beep);
  PortAccess access;
  const std::string named = dev() + "/parport7";
  EXPECT_EQ(SetupPortAccess(named, settings, feedback, access, {proc(), dev(), RefuseIoperm}), 7);
  EXPECT_EQ(gIopermCalls, 0);
  EXPECT_THAT(feedback.LastText(), HasSubstr(named + ": Gerät existiert nicht"));
  EXPECT_THAT(feedback.LastText(), Not(HasSubstr("Direkter Portzugriff auf")));
}

TEST(PriorityTest, RestoreReturnsToNormalWhateverRaiseAchieved) {
  RaisePriority();
  const int policy = sched_getscheduler(0);
  EXPECT_TRUE(policy == SCHED_FIFO || policy == SCHED_OTHER);
  RestorePriority();
  EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  EXPECT_EQ(errno, 0);
  // Unprivileged processes cannot lower their niceness back; as far as we
  // are allowed, it is 0 again.
  if (geteuid() == 0) {
    EXPECT_EQ(nice, 0);
  }
}

}  // namespace
}  // namespace tav
