// SPDX-License-Identifier: GPL-2.0-or-later
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

#include "tests/support/scripted_feedback.h"
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
  // The kernel never prints hex: do not guess.
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {
      {"888\t1912\n", 888}, {"632\n", 632}, {"", std::nullopt}, {"-1\t-1\n", std::nullopt},
      {"888abc", std::nullopt}, {"0x378\n", std::nullopt}};
  for (const auto& [text, address] : cases) EXPECT_EQ(ParseBaseAddr(text), address) << text;
}

int RefuseIoperm(unsigned long, unsigned long, int) {
  errno = EPERM;
  return -1;
}

// A fake /proc/sys/dev/parport and /dev in a scratch directory.
class FakeTree : public ::testing::Test {
protected:
  std::string proc() const { return scratch_.Slash() + "proc"; }
  std::string dev() const { return scratch_.Slash() + "dev"; }
  // One port directory; a null content leaves base-addr out.
  void AddPort(const std::string& name, const char* baseAddr, bool withDevice = true) {
    fs::create_directories(proc() + "/" + name);
    fs::create_directories(dev());
    if (baseAddr) std::ofstream(proc() + "/" + name + "/base-addr") << baseAddr;
    if (withDevice) std::ofstream(dev() + "/" + name) << "";
  }
  // SetupPortAccess for the ppdev device `named` (or none) with ioperm
  // refused: no access, demonstration mode, and the one plain message.
  std::string RefusedAccess(const std::string& named, int address = 0x378, GroupMembershipFunction group = nullptr) {
    Settings settings;
    settings.SetPortAdress(address);
    int beep = 1;
    ScriptedFeedback feedback(beep);
    PortAccess access;
    EXPECT_EQ(SetupPortAccess(named, settings, feedback, access, {proc(), dev(), RefuseIoperm, group}), 7);
    EXPECT_EQ(access.DemoMode, 1);
    EXPECT_EQ(access.io, nullptr);
    EXPECT_EQ(feedback.messages.size(), 1u);
    for (const auto& message : feedback.messages) EXPECT_EQ(message.kind, MessageKind::Plain);
    return feedback.LastText();
  }

  test::ScratchDirectory scratch_{"tav_ports"};
};

TEST_F(FakeTree, FindsTheLowestNumberedPortWhoseReadableBaseAddressMatches) {
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), "");  // no tree at all
  AddPort("parport0", nullptr);               // base-addr missing
  AddPort("parport2", "888\t1912\n", false);  // right address, but no device file
  AddPort("parportx", "888\n");               // not a port directory
  fs::create_directories(proc() + "/parport3/base-addr");  // a directory, not readable as text
  std::ofstream(dev() + "/parport3") << "";
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), "");
  AddPort("parport5", "632\t1656\n");
  AddPort("parport10", "888\t1912\n");
  AddPort("parport4", "888\t1912\n");
  EXPECT_EQ(FindPpdevForBase(0x378, proc(), dev()), dev() + "/parport4");
  EXPECT_EQ(FindPpdevForBase(0x278, proc(), dev()), dev() + "/parport5");
  EXPECT_EQ(FindPpdevForBase(0x3BC, proc(), dev()), "");
}

TEST(DirectPortTest, RefusedIopermLeavesThePortInert) {
  DirectPort port(0x378, RefuseIoperm);
  EXPECT_EQ(port.Open(), EPERM);
  // Without the grant no port instruction may run: it would kill the process.
  port.Out(0x378, 0x55);
  EXPECT_EQ(port.In(0x379), 0xFF);
}

TEST_F(FakeTree, WithoutAnyAccessTheMessageSaysWhatIsMissingAndDemonstrationModeBegins) {
  EXPECT_THAT(RefusedAccess(""), AllOf(HasSubstr("Kein Zugriff auf die Parallelschnittstelle !\n"),
                                       HasSubstr("Direkter Portzugriff auf 0x378: Zugriff verweigert\n"),
                                       HasSubstr("Gruppe lp"), HasSubstr("\nProgramm läuft im Demomodus.")));

  // A device file that is no parallel port cannot be claimed; ioperm is tried next.
  AddPort("parport0", "956\t0\n");
  EXPECT_THAT(RefusedAccess("", 0x3BC), AllOf(HasSubstr("parport0: keine Parallelschnittstelle"),
                                              HasSubstr("Direkter Portzugriff auf 0x3BC: Zugriff verweigert")));
}

// The hint names the user and says what is left to do: join the group, log
// in again after joining it, or look at the device when the session has it.
TEST_F(FakeTree, TheGroupHintNamesTheUserAndSaysWhetherToJoinOrToLogInAgain) {
  const struct {
    GroupMembershipFunction group;
    const char* says;
    const char* never;
  } cases[] = {
      {[](const char*) { return GroupMembership{"anna", false, false}; },
       "sudo usermod -aG lp anna, danach neu anmelden", "laufende"},
      {[](const char*) { return GroupMembership{"anna", true, false}; },
       "anna ist in der Gruppe lp, die laufende\n   Sitzung aber noch nicht; bitte abmelden und neu anmelden",
       "usermod"},
      {[](const char*) { return GroupMembership{"anna", true, true}; }, "(anna ist in der Gruppe lp;", "anmelden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const std::string text = RefusedAccess("", 0x378, c.group);
    EXPECT_THAT(text, AllOf(HasSubstr(c.says), Not(HasSubstr(c.never)), HasSubstr("CAP_SYS_RAWIO")));
  }
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
