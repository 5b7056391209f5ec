// The Linux port backends without hardware: the ppdev lookup over a fake
// /proc tree, the refusal of direct I/O, the demonstration-mode message, and
// the return to normal priority.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
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
#include "tests/scratch_directory.h"

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace tav {
namespace {

TEST(ParseBaseAddrTest, TakesTheFirstDecimalNumberOfTheKernelLineAndNothingElse) {
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {
      {"888\t1912\n", 888}, {"632\n", 632}, {"956", 956}, {" 888\t0", 888}, {"", std::nullopt},
      {"\n", std::nullopt}, {"-1\t-1\n", std::nullopt}, {"888abc", std::nullopt},
      {"0x378\n", std::nullopt},  // the kernel never prints hex; do not guess
      {"99999999999999999999\n", std::nullopt}};
  for (const auto& [text, address] : cases) EXPECT_EQ(ParseBaseAddr(text), address) << text;
}

int gIopermCalls = 0;
int gIopermLastTurnOn = -1;
int RefuseIoperm(unsigned long, unsigned long, int turnOn) {
  ++gIopermCalls;
  gIopermLastTurnOn = turnOn;
  errno = EPERM;
  return -1;
}

// A fake /proc/sys/dev/parport and /dev in a scratch directory.
class FakeTree : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(proc());
    fs::create_directories(dev());
  }
  std::string proc() const { return scratch_.Slash() + "proc"; }
  std::string dev() const { return scratch_.Slash() + "dev"; }
  // One port directory; a null content leaves base-addr out.
  void AddPort(const std::string& name, const char* baseAddr, bool withDevice = true) {
    fs::create_directories(proc() + "/" + name);
    if (baseAddr) std::ofstream(proc() + "/" + name + "/base-addr") << baseAddr;
    if (withDevice) std::ofstream(dev() + "/" + name) << "";
  }
  // SetupPortAccess for the ppdev device `named` (or none) with ioperm
  // refused: no access, demonstration mode, and the one plain message.
  std::string RefusedAccess(const std::string& named, int address = 0x378) {
    Settings settings;
    settings.SetPortAdress(address);
    int beep = 1;
    ScriptedFeedback feedback(beep);
    PortAccess access;
    EXPECT_EQ(SetupPortAccess(named, settings, feedback, access, {proc(), dev(), RefuseIoperm}), 7);
    EXPECT_EQ(access.DemoMode, 1);
    EXPECT_EQ(access.io, nullptr);
    EXPECT_EQ(feedback.messages.size(), 1u);
    for (const auto& message : feedback.messages) EXPECT_EQ(message.kind, MessageKind::Plain);
    EXPECT_EQ(feedback.beeps, 0);
    return feedback.LastText();
  }

  test::ScratchDirectory scratch_{"tav_ports"};
};

TEST_F(FakeTree, FindsTheLowestNumberedPortWhoseBaseAddressMatches) {
  AddPort("parport0", "632\t1656\n");
  AddPort("parport10", "888\t1912\n");
  AddPort("parport2", "888\t1912\n");
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), dev() + "/parport2");
  EXPECT_EQ(FindPpdevForBase(0x278, proc(), dev()), dev() + "/parport0");
  EXPECT_EQ(FindPpdevForBase(0x3BC, proc(), dev()), "");
  EXPECT_EQ(FindPpdevForBase(0x378, scratch_.Slash() + "nowhere", dev()), "");
}

TEST_F(FakeTree, UnreadableOrMeaninglessEntriesAreNoMatch) {
  AddPort("parport0", nullptr);              // base-addr missing
  AddPort("parport1", "garbage\n");          // not a number
  AddPort("parport2", "888\t1912\n", false);  // right address, but no device file
  fs::create_directories(proc() + "/parport3/base-addr");  // a directory, not readable as text
  std::ofstream(dev() + "/parport3") << "";
  AddPort("default", "888\n");  // not port directories
  AddPort("parportx", "888\n");
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), "");
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

TEST_F(FakeTree, WithoutAnyAccessTheMessageSaysWhatIsMissingAndDemonstrationModeBegins) {
  EXPECT_THAT(RefusedAccess(""), AllOf(HasSubstr("0x378"), HasSubstr("Gruppe lp"), HasSubstr("root"),
                                       HasSubstr("Direkter Portzugriff auf 0x378: Zugriff verweigert"),
                                       HasSubstr("Programm läuft im Demomodus.")));

  // A device file that is no parallel port cannot be claimed; ioperm is tried next.
  AddPort("parport0", "956\t0\n");
  EXPECT_THAT(RefusedAccess("", 0x3BC), AllOf(HasSubstr("parport0: keine Parallelschnittstelle"),
                                              HasSubstr("Direkter Portzugriff auf 0x3BC: Zugriff verweigert")));

  // A named device is the only one tried.
  const std::string named = dev() + "/parport7";
  EXPECT_THAT(RefusedAccess(named), AllOf(HasSubstr(named + ": Gerät existiert nicht"),
                                          Not(HasSubstr("Direkter Portzugriff auf"))));
}

TEST(PriorityTest, RestoreReturnsToNormalWhateverRaiseAchieved) {
  RaisePriority();
  RestorePriority();
  EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
  // Unprivileged processes cannot lower their niceness back; as far as we
  // are allowed, it is 0 again.
  if (geteuid() == 0) {
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 0);
  }
}

}  // namespace
}  // namespace tav
