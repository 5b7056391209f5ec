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

#include "base/result_codes.h"
#include "link/direct_port.h"
#include "link/port_access.h"
#include "link/ppdev_port.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"
#include "tests/support/scripted_feedback.h"

namespace fs = std::filesystem;
using ::testing::AllOf, ::testing::EndsWith, ::testing::HasSubstr, ::testing::Not, ::testing::StartsWith;

namespace tav {
namespace {

TEST(ParseBaseAddrTest, TakesTheFirstDecimalNumberOfTheKernelLineAndNothingElse) {
  // The kernel never prints hex: do not guess.
  const std::pair<const char*, std::optional<uint32_t>> cases[] = {
      {"888\t1912\n", 888}, {"632\n", 632}, {"", std::nullopt}, {"-1\t-1\n", std::nullopt},
      {"888abc", std::nullopt}, {"0x378\n", std::nullopt}};
  for (const auto& [text, address] : cases) EXPECT_EQ(ParseBaseAddr(text), address) << text;
}

int RefuseIoperm(unsigned long, unsigned long, int) { return errno = EPERM, -1; }

TEST(DirectPortTest, RefusedIopermLeavesThePortInert) {
  DirectPort port(0x378, RefuseIoperm);
  EXPECT_EQ(port.Open(), EPERM);
  // Without the grant no port instruction may run: it would kill the process.
  port.Out(0x378, 0x55);
  EXPECT_EQ(port.In(0x379), 0xFF);
}

// A fake /proc/sys/dev/parport and /dev in a scratch directory.
class FakeTree : public ::testing::Test {
protected:
  // One port directory; a null content leaves base-addr out.
  void AddPort(const std::string& name, const char* baseAddr, bool withDevice = true) {
    fs::create_directories(proc + "/" + name), fs::create_directories(dev);
    if (baseAddr) std::ofstream(proc + "/" + name + "/base-addr") << baseAddr;
    if (withDevice) std::ofstream(dev + "/" + name) << "";
  }
  test::ScratchDirectory scratch_{"tav_ports"};
  const std::string proc = scratch_.Slash() + "proc", dev = scratch_.Slash() + "dev";
};

TEST_F(FakeTree, FindsTheLowestNumberedPortWhoseReadableBaseAddressMatches) {
  EXPECT_EQ(FindPpdevForBase(0x378, proc, dev), "");  // no tree at all
  AddPort("parport0", nullptr);               // base-addr missing
  AddPort("parport2", "888\t1912\n", false);  // right address, but no device file
  AddPort("parportx", "888\n");               // not a port directory
  EXPECT_EQ(FindPpdevForBase(0x378, proc, dev), "");
  AddPort("parport5", "632\t1656\n"), AddPort("parport10", "888\t1912\n"), AddPort("parport4", "888\t1912\n");
  EXPECT_EQ(FindPpdevForBase(0x378, proc, dev), dev + "/parport4");
  EXPECT_EQ(FindPpdevForBase(0x278, proc, dev), dev + "/parport5");
}

template <bool listed, bool active> GroupMembership Anna(const char*) { return {"anna", listed, active}; }

// With ioperm refused: no access, demonstration mode and one plain message
// that says what is missing. A device file that is no parallel port cannot
// be claimed, so ioperm is tried next; the group hint names the user and
// says what is left to do: join the group, log in again after joining it,
// or look at the device when the session has it.
TEST_F(FakeTree, WithoutAnyAccessTheMessageSaysWhatIsMissingAndDemonstrationModeBegins) {
  AddPort("parport0", "956\t0\n");
  const struct { int address; GroupMembershipFunction group; const char* says; const char* never; } cases[] = {
      {0x378, nullptr, "Direkter Portzugriff auf 0x378: Zugriff verweigert\n\nNötig ist eines von beiden:", "parport0"},
      {0x3BC, Anna<false, false>, "parport0: keine Parallelschnittstelle\nDirekter Portzugriff auf 0x3BC: Zugriff "
       "verweigert\n\nNötig ist eines von beiden:\n - Mitgliedschaft in der Gruppe lp (Zugriff über /dev/parportN;\n"
       "   sudo usermod -aG lp anna, danach neu anmelden), oder\n", "laufende"},
      {0x378, Anna<true, false>,
       "anna ist in der Gruppe lp, die laufende\n   Sitzung aber noch nicht; bitte abmelden und neu anmelden", "usermod"},
      {0x378, Anna<true, true>, "(anna ist in der Gruppe lp;", "anmelden"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Settings settings;
    settings.SetPortAdress(c.address);
    ScriptedFeedback feedback(settings.MessageBeap);
    PortAccess access;
    EXPECT_EQ(SetupPortAccess("", settings, feedback, access, {proc, dev, RefuseIoperm, c.group}), kNoPortAccess);
    EXPECT_TRUE(access.DemoMode == 1 && access.io == nullptr);
    ASSERT_TRUE(feedback.messages.size() == 1 && feedback.messages[0].kind == MessageKind::Plain);
    EXPECT_THAT(feedback.messages[0].text,
                AllOf(StartsWith("Kein Zugriff auf die Parallelschnittstelle !\n"), HasSubstr(c.says),
                      Not(HasSubstr(c.never)), EndsWith("CAP_SYS_RAWIO (direkter Portzugriff).\n\nProgramm läuft im Demomodus.")));
  }
}

TEST(PriorityTest, RestoreReturnsToNormalWhateverRaiseAchieved) {
  RaisePriority();
  RestorePriority();
  EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
  // Unprivileged processes cannot lower their niceness back; as far as we
  // are allowed, it is 0 again.
  EXPECT_TRUE(geteuid() != 0 || getpriority(PRIO_PROCESS, 0) == 0);
}

}  // namespace
}  // namespace tav
