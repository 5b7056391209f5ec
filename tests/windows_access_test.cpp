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
using ::testing::IsEmpty;

namespace tav {
namespace {

constexpr const char* kNoManagerText =
    "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern installiert "
    "werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach "
    "ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n";
constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";

// Answers every call from a script and writes down what was asked.
class ScriptedPlatform : public WindowsPlatform {
public:
  std::optional<OsVersion> version;      // nullopt: GetVersionExA fails
  std::deque<bool> deviceOpens;          // one answer per open; empty means fail
  bool managerOpens = true;
  int createResult = 0;
  int startResult = 0;
  std::string directory = "C:\\Brenner";
  std::vector<std::string> calls;
  uint32_t startType = 0;
  std::string binaryPath;
  std::vector<std::pair<uint32_t, int>> priorities;

  bool GetVersion(OsVersion& out) override {
    calls.push_back("version");
    if (version) out = *version;
    return version.has_value();
  }
  bool OpenDevice(const std::string& path) override {
    calls.push_back("open " + path);
    if (deviceOpens.empty()) return false;
    const bool opened = deviceOpens.front();
    deviceOpens.pop_front();
    return opened;
  }
  bool OpenServiceManager() override {
    calls.push_back("manager");
    return managerOpens;
  }
  int CreateDriverService(const std::string& name, const std::string& displayName, uint32_t type,
                          const std::string& path) override {
    calls.push_back("create " + name + "/" + displayName);
    startType = type;
    binaryPath = path;
    return createResult;
  }
  int StartDriverService(const std::string& name) override {
    calls.push_back("start " + name);
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
  struct Case {
    OsVersion version;
    int code;
    const char* name;
  };
  const Case cases[] = {
      {Version(1, 4, 0, " C "), 1, "Microsoft® Windows 95(TM) OSR2"},
      {Version(1, 4, 0, " B "), 1, "Microsoft® Windows 95(TM)  B "},
      {Version(1, 4, 0, " C  "), 1, "Microsoft® Windows 95(TM)  C  "},  // whole text only
      {Version(1, 4, 0, " A "), 1, "Microsoft® Windows 95(TM)  A "},    // the 98 name is not for 95
      {Version(1, 4, 10, " A "), 2, "Microsoft® Windows 98(TM) Second Edition"},
      {Version(1, 4, 10, " C "), 2, "Microsoft® Windows 98(TM)  C "},
      {Version(1, 4, 10, ""), 2, "Microsoft® Windows 98(TM) "},
      {Version(1, 4, 90, " A "), 3, "Microsoft® Windows ME(TM)  A "},
      {Version(2, 3, 51, "Service Pack 5"), 4, "Microsoft® Windows NT3.51(TM) Service Pack 5"},
      {Version(2, 4, 0, "Service Pack 6a"), 5, "Microsoft® Windows NT4.00(TM) Service Pack 6a"},
      {Version(2, 5, 0, "Service Pack 4"), 6, "Microsoft® Windows 2000(TM) Service Pack 4"},
      {Version(2, 5, 1, "Service Pack 3"), 7, "Microsoft® Windows XP(TM) Service Pack 3"},
      {Version(2, 5, 2, ""), 8, "Microsoft® Windows Server 2003(TM) "},
      {Version(2, 6, 1, "Service Pack 1"), 0, ""},  // newer NT: not in the table
      {Version(1, 4, 1), 0, ""},
      {Version(2, 4, 10), 0, ""},  // a DOS-family version number on the NT platform
      {Version(3, 5, 1), 0, ""},
  };
  for (const Case& c : cases) {
    const OsIdentity os = IdentifyOperatingSystem(c.version);
    EXPECT_EQ(os.OsCode, c.code) << c.name;
    EXPECT_EQ(os.OsName, c.name);
  }
}

class WindowsAccessTest : public ::testing::Test {
protected:
  WindowsAccessResult Run(bool debug) { return SetupWindowsPortAccess(platform, debug, feedback); }
  void ExpectAllPlain() {
    for (const auto& message : feedback.messages) {
      EXPECT_EQ(message.kind, MessageKind::Plain);
      EXPECT_FALSE(message.beeped);
    }
  }

  int beep = 1;  // plain messages never beep, whatever the setting
  ScriptedFeedback feedback{beep};
  ScriptedPlatform platform;
};

TEST_F(WindowsAccessTest, WithoutVersionInformationNothingHappens) {
  const WindowsAccessResult result = Run(true);
  EXPECT_EQ(result.result, 0);
  EXPECT_EQ(result.DemoMode, 0);
  EXPECT_EQ(result.os.OsCode, 0);
  EXPECT_THAT(platform.calls, ElementsAre("version"));
  EXPECT_THAT(feedback.messages, IsEmpty());
}

TEST_F(WindowsAccessTest, DosFamilyNeedsNoDriverAndDebugShowsOnlyTheName) {
  platform.version = Version(1, 4, 10, " A ");
  EXPECT_EQ(Run(false).os.OsCode, 2);
  EXPECT_THAT(feedback.messages, IsEmpty());
  const WindowsAccessResult result = Run(true);
  EXPECT_EQ(result.DemoMode, 0);
  EXPECT_THAT(feedback.Texts(), ElementsAre("Microsoft® Windows 98(TM) Second Edition"));
  EXPECT_THAT(platform.calls, ElementsAre("version", "version"));
  ExpectAllPlain();
}

TEST_F(WindowsAccessTest, DriverAlreadyRunningOpensTheDeviceAndSaysNothingButTheName) {
  platform.version = Version(2, 5, 1, "Service Pack 2");
  platform.deviceOpens = {true};
  const WindowsAccessResult result = Run(true);
  EXPECT_EQ(result.result, 0);
  EXPECT_EQ(result.DemoMode, 0);
  EXPECT_EQ(result.os.OsCode, 7);
  EXPECT_THAT(platform.calls, ElementsAre("version", "open \\\\.\\giveio"));
  EXPECT_THAT(feedback.Texts(), ElementsAre("Microsoft® Windows XP(TM) Service Pack 2"));
}

TEST_F(WindowsAccessTest, WithoutServiceManagerTheAdministratorIsNeededAndOsNameIsNotShown) {
  platform.version = Version(2, 5, 0);
  platform.managerOpens = false;
  const WindowsAccessResult result = Run(true);
  EXPECT_EQ(result.result, kNoPortAccess);
  EXPECT_EQ(result.DemoMode, 1);
  EXPECT_EQ(result.os.OsCode, 6);
  EXPECT_THAT(platform.calls, ElementsAre("version", "open \\\\.\\giveio", "manager"));
  EXPECT_THAT(feedback.Texts(), ElementsAre(kNoManagerText));
  ExpectAllPlain();
}

TEST_F(WindowsAccessTest, FirstInstallationCreatesStartsAndOpensWithEveryDebugMessage) {
  platform.version = Version(2, 5, 2, "");
  platform.deviceOpens = {false, true};
  const WindowsAccessResult result = Run(true);
  EXPECT_EQ(result.result, 0);
  EXPECT_EQ(result.DemoMode, 0);
  EXPECT_THAT(platform.calls, ElementsAre("version", "open \\\\.\\giveio", "manager", "create giveio/giveio",
                                          "start giveio", "open \\\\.\\giveio"));
  EXPECT_EQ(platform.binaryPath, "C:\\Brenner\\giveio.sys");
  EXPECT_EQ(platform.startType, kServiceSystemStart);
  EXPECT_THAT(feedback.Texts(), ElementsAre("'giveio.sys' Driver installed !", "'giveio.sys' Driver started !",
                                            "Microsoft® Windows Server 2003(TM) "));
  ExpectAllPlain();

  // Without the debug switch the same success is silent.
  feedback.Clear();
  platform.deviceOpens = {false, true};
  EXPECT_EQ(Run(false).DemoMode, 0);
  EXPECT_THAT(feedback.messages, IsEmpty());
}

TEST_F(WindowsAccessTest, StartTypeFollowsOsCodeSoNewerNtGetsAutoStart) {
  const std::pair<OsVersion, uint32_t> cases[] = {
      {Version(2, 3, 51), kServiceAutoStart}, {Version(2, 4, 0), kServiceAutoStart},
      {Version(2, 5, 0), kServiceAutoStart},  {Version(2, 5, 1), kServiceSystemStart},
      {Version(2, 5, 2), kServiceSystemStart}, {Version(2, 6, 0), kServiceAutoStart},
      {Version(2, 10, 0), kServiceAutoStart}};
  platform.directory = "D:\\";  // a root directory already ends in the separator
  for (const auto& [version, type] : cases) {
    platform.version = version;
    platform.deviceOpens = {false, true};
    Run(false);
    EXPECT_EQ(platform.startType, type) << version.major << "." << version.minor;
    EXPECT_EQ(platform.binaryPath, "D:\\giveio.sys");
  }
}

TEST_F(WindowsAccessTest, ServiceResultsPickTheirDebugMessages) {
  struct Case {
    int created, started;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {1062, 1056, {"Driver installed but not started !\nWe will try to do this now.", "'giveio.sys' Driver already started !"}},
      {kErrorServiceExists, 1062, {"'giveio.sys' Driver has not been started !"}},
      {5, 0, {"'giveio.sys' Driver started !"}},  // access denied on creation: passed over
      {kErrorServiceExists, 2, {}},               // file not found on start: no debug word
  };
  platform.version = Version(2, 6, 1);  // OsName empty, shown empty at the end
  for (const Case& c : cases) {
    feedback.Clear();
    platform.createResult = c.created;
    platform.startResult = c.started;
    platform.deviceOpens = {false, true};
    EXPECT_EQ(Run(true).DemoMode, 0);
    std::vector<std::string> expected = c.texts;
    expected.push_back("");
    EXPECT_EQ(feedback.Texts(), expected) << c.created << "/" << c.started;
  }
}

TEST_F(WindowsAccessTest, DriverThatWillNotLoadMeansDemonstrationModeEvenWithoutDebug) {
  platform.version = Version(2, 5, 1);
  platform.createResult = kErrorServiceExists;
  platform.startResult = 2;  // ERROR_FILE_NOT_FOUND: no giveio.sys
  const WindowsAccessResult result = Run(false);
  EXPECT_EQ(result.result, 0);
  EXPECT_EQ(result.DemoMode, 1);
  EXPECT_THAT(feedback.Texts(), ElementsAre(kNotLoaded));

  feedback.Clear();
  Run(true);
  EXPECT_THAT(feedback.Texts(), ElementsAre(kNotLoaded, "Microsoft® Windows XP(TM) "));
  ExpectAllPlain();
}

TEST_F(WindowsAccessTest, UnknownPlatformIsNamedAndGoesOnWithoutDriver) {
  platform.version = Version(3, 4, 0, "x");
  WindowsAccessResult result = Run(false);
  EXPECT_EQ(result.result, 0);
  EXPECT_EQ(result.DemoMode, 0);
  EXPECT_EQ(result.os.OsCode, 0);
  EXPECT_THAT(feedback.Texts(), ElementsAre("Operating System nicht erkannt !"));
  EXPECT_THAT(platform.calls, ElementsAre("version"));
  feedback.Clear();
  Run(true);
  EXPECT_THAT(feedback.Texts(), ElementsAre("Operating System nicht erkannt !", ""));
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
