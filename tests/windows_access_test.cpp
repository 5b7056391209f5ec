// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows port setup played through with a scripted platform: the
// system table, every installation outcome with and without the debug
// switch, and the priority classes.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "link/windows_access.h"
#include "tests/support/scripted_feedback.h"

using ::testing::ElementsAre;

namespace tav {
namespace {

constexpr const char* kNoManagerText =
    "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern installiert "
    "werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach "
    "ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n";
constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";
constexpr const char* kUnknown = "Operating System nicht erkannt !";

// Answers every call from a script and writes down what was asked, one word
// per call; names other than the giveio ones are written out.
class ScriptedPlatform : public WindowsPlatform {
public:
  std::optional<OsVersion> version;  // nullopt: GetVersionExA fails
  std::deque<bool> deviceOpens;      // one answer per open; empty means fail
  bool managerOpens = true;
  int createResult = 0, startResult = 0;
  std::string directory = "C:\\Brenner", calls, binaryPath;
  uint32_t startType = 0;
  std::vector<std::pair<uint32_t, int>> priorities;

  void Call(const std::string& word, const std::string& name, const std::string& usual) {
    calls += (calls.empty() ? "" : " ") + word + (name == usual ? "" : "(" + name + ")");
  }
  bool GetVersion(OsVersion& out) override {
    Call("version", "", "");
    if (version) out = *version;
    return version.has_value();
  }
  bool OpenDevice(const std::string& path) override {
    Call("open", path, "\\\\.\\giveio");
    const bool opened = !deviceOpens.empty() && deviceOpens.front();
    if (!deviceOpens.empty()) deviceOpens.pop_front();
    return opened;
  }
  bool OpenServiceManager() override {
    Call("manager", "", "");
    return managerOpens;
  }
  int CreateDriverService(const std::string& name, const std::string& displayName, uint32_t type,
                          const std::string& path) override {
    Call("create", name + "/" + displayName, "giveio/giveio");
    startType = type;
    binaryPath = path;
    return createResult;
  }
  int StartDriverService(const std::string& name) override {
    Call("start", name, "giveio");
    return startResult;
  }
  std::string WorkingDirectory() override { return directory; }
  void SetPriority(uint32_t processClass, int threadPriority) override {
    priorities.emplace_back(processClass, threadPriority);
  }
};

OsVersion Version(uint32_t platform, uint32_t major, uint32_t minor, const std::string& pack = "") {
  return OsVersion{platform, major, minor, pack};
}

TEST(IdentifyOperatingSystemTest, EveryTableRowWithItsServicePackText) {
  const std::pair<OsVersion, const char*> cases[] = {
      {Version(1, 4, 0, " C "), "1 Microsoft® Windows 95(TM) OSR2"},
      {Version(1, 4, 0, " B "), "1 Microsoft® Windows 95(TM)  B "},
      {Version(1, 4, 0, " C  "), "1 Microsoft® Windows 95(TM)  C  "},  // whole text only
      {Version(1, 4, 0, " A "), "1 Microsoft® Windows 95(TM)  A "},    // the 98 name is not for 95
      {Version(1, 4, 10, " A "), "2 Microsoft® Windows 98(TM) Second Edition"},
      {Version(1, 4, 10, " C "), "2 Microsoft® Windows 98(TM)  C "},
      {Version(1, 4, 10, ""), "2 Microsoft® Windows 98(TM) "},
      {Version(1, 4, 90, " A "), "3 Microsoft® Windows ME(TM)  A "},
      {Version(2, 3, 51, "Service Pack 5"), "4 Microsoft® Windows NT3.51(TM) Service Pack 5"},
      {Version(2, 4, 0, "Service Pack 6a"), "5 Microsoft® Windows NT4.00(TM) Service Pack 6a"},
      {Version(2, 5, 0, "Service Pack 4"), "6 Microsoft® Windows 2000(TM) Service Pack 4"},
      {Version(2, 5, 1, "Service Pack 3"), "7 Microsoft® Windows XP(TM) Service Pack 3"},
      {Version(2, 5, 2, ""), "8 Microsoft® Windows Server 2003(TM) "},
      {Version(2, 6, 1, "Service Pack 1"), "0 "},  // newer NT: not in the table
      {Version(1, 4, 1), "0 "},
      {Version(2, 4, 10), "0 "},  // a DOS-family version number on the NT platform
      {Version(3, 5, 1), "0 "},
  };
  for (const auto& [version, expected] : cases) {
    const OsIdentity os = IdentifyOperatingSystem(version);
    EXPECT_EQ(std::to_string(os.OsCode) + " " + os.OsName, expected);
  }
}

TEST(WindowsAccessTest, EveryInstallationOutcomeWithAndWithoutDebug) {
  struct Case {
    std::optional<OsVersion> version;
    std::deque<bool> opens;
    bool manager;
    int created, started;
    bool debug;
    int result, demo, osCode;
    const char* calls;
    std::vector<std::string> texts;
  };
  const std::string kInstall = "version open manager create start open";
  const Case cases[] = {
      {std::nullopt, {}, true, 0, 0, true, 0, 0, 0, "version", {}},
      // The DOS family needs no driver; debug shows only the name.
      {Version(1, 4, 10, " A "), {}, true, 0, 0, false, 0, 0, 2, "version", {}},
      {Version(1, 4, 10, " A "), {}, true, 0, 0, true, 0, 0, 2, "version", {"Microsoft® Windows 98(TM) Second Edition"}},
      // Driver already running.
      {Version(2, 5, 1, "Service Pack 2"), {true}, true, 0, 0, true, 0, 0, 7, "version open",
       {"Microsoft® Windows XP(TM) Service Pack 2"}},
      // No service manager: the administrator is needed, the name is not shown.
      {Version(2, 5, 0), {}, false, 0, 0, true, kNoPortAccess, 1, 6, "version open manager", {kNoManagerText}},
      // First installation, with every debug message and silent without.
      {Version(2, 5, 2), {false, true}, true, 0, 0, true, 0, 0, 8, kInstall.c_str(),
       {"'giveio.sys' Driver installed !", "'giveio.sys' Driver started !", "Microsoft® Windows Server 2003(TM) "}},
      {Version(2, 5, 2), {false, true}, true, 0, 0, false, 0, 0, 8, kInstall.c_str(), {}},
      // The service results pick their debug messages; the unknown NT's name is empty.
      {Version(2, 6, 1), {false, true}, true, 1062, 1056, true, 0, 0, 0, kInstall.c_str(),
       {"Driver installed but not started !\nWe will try to do this now.", "'giveio.sys' Driver already started !", ""}},
      {Version(2, 6, 1), {false, true}, true, kErrorServiceExists, 1062, true, 0, 0, 0, kInstall.c_str(),
       {"'giveio.sys' Driver has not been started !", ""}},
      {Version(2, 6, 1), {false, true}, true, 5, 0, true, 0, 0, 0, kInstall.c_str(),  // access denied on creation: passed over
       {"'giveio.sys' Driver started !", ""}},
      {Version(2, 6, 1), {false, true}, true, kErrorServiceExists, 2, true, 0, 0, 0, kInstall.c_str(), {""}},
      // A driver that will not load (no giveio.sys) means demonstration mode, even without debug.
      {Version(2, 5, 1), {}, true, kErrorServiceExists, 2, false, 0, 1, 7, kInstall.c_str(), {kNotLoaded}},
      {Version(2, 5, 1), {}, true, kErrorServiceExists, 2, true, 0, 1, 7, kInstall.c_str(),
       {kNotLoaded, "Microsoft® Windows XP(TM) "}},
      // An unknown platform is named and goes on without a driver.
      {Version(3, 4, 0, "x"), {}, true, 0, 0, false, 0, 0, 0, "version", {kUnknown}},
      {Version(3, 4, 0, "x"), {}, true, 0, 0, true, 0, 0, 0, "version", {kUnknown, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.calls) + (c.debug ? " debug " : " ") + std::to_string(c.created) + "/" +
                 std::to_string(c.started));
    int beep = 1;  // plain messages never beep, whatever the setting
    ScriptedFeedback feedback{beep};
    ScriptedPlatform platform;
    platform.version = c.version;
    platform.deviceOpens = c.opens;
    platform.managerOpens = c.manager;
    platform.createResult = c.created;
    platform.startResult = c.started;
    const WindowsAccessResult result = SetupWindowsPortAccess(platform, c.debug, feedback);
    EXPECT_EQ(result.result, c.result);
    EXPECT_EQ(result.DemoMode, c.demo);
    EXPECT_EQ(result.os.OsCode, c.osCode);
    EXPECT_EQ(platform.calls, c.calls);
    EXPECT_EQ(feedback.Texts(), c.texts);
    EXPECT_EQ(platform.binaryPath, c.calls == kInstall ? "C:\\Brenner\\giveio.sys" : "");
    for (const auto& message : feedback.messages) EXPECT_TRUE(message.kind == MessageKind::Plain && !message.beeped);
  }
}

TEST(WindowsAccessTest, StartTypeFollowsOsCodeSoNewerNtGetsAutoStart) {
  const std::pair<OsVersion, uint32_t> cases[] = {
      {Version(2, 3, 51), kServiceAutoStart}, {Version(2, 4, 0), kServiceAutoStart},
      {Version(2, 5, 0), kServiceAutoStart},  {Version(2, 5, 1), kServiceSystemStart},
      {Version(2, 5, 2), kServiceSystemStart}, {Version(2, 6, 0), kServiceAutoStart},
      {Version(2, 10, 0), kServiceAutoStart}};
  int beep = 1;
  ScriptedFeedback feedback{beep};
  ScriptedPlatform platform;
  platform.directory = "D:\\";  // a root directory already ends in the separator
  for (const auto& [version, type] : cases) {
    platform.version = version;
    platform.deviceOpens = {false, true};
    SetupWindowsPortAccess(platform, false, feedback);
    EXPECT_EQ(platform.startType, type) << version.major << "." << version.minor;
    EXPECT_EQ(platform.binaryPath, "D:\\giveio.sys");
  }
}

TEST(WindowsPriorityTest, NtFamilyGetsHighEverythingElseRealtimeAndRestoreIsNormal) {
  ScriptedPlatform platform;
  for (int code = 0; code <= 9; ++code) {
    platform.priorities.clear();
    RaiseWindowsPriority(platform, code);
    const bool nt = code >= 4 && code <= 8;
    EXPECT_THAT(platform.priorities,
                ElementsAre(nt ? std::pair(kHighPriorityClass, kThreadPriorityHighest)
                               : std::pair(kRealtimePriorityClass, kThreadPriorityTimeCritical)))
        << code;
    RestoreWindowsPriority(platform);
    EXPECT_EQ(platform.priorities.back(), std::pair(kNormalPriorityClass, kThreadPriorityNormal));
  }
}

}  // namespace
}  // namespace tav
