// The Windows port setup played through with a scripted platform: the
// system table, every installation outcome with and without the debug
// switch, the port library where giveio cannot serve, and the priority
// classes.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "link/windows_access.h"
#include "tests/support/scripted_feedback.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace tav {
namespace {

constexpr const char* kNoManagerText =
    "Keine Verbindung zum ServiceControlManager möglich.\n\nDer 'giveio.sys' Treiber kann nicht von Usern installiert "
    "werden.\n\nDas kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach "
    "ist der Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n";
constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";

// The ports of a port library that loaded.
class StandInPort : public PortIo {
public:
  void Out(uint16_t, uint8_t) override {}
  uint8_t In(uint16_t) override { return 0; }
};

// Answers every call from a script and writes down what was asked, one word
// per call; names other than the usual ones are written out.
class ScriptedPlatform : public WindowsPlatform {
public:
  std::optional<OsVersion> version;  // nullopt: GetVersionExA fails
  std::deque<bool> deviceOpens;      // one answer per open; empty means fail
  bool managerOpens = true, windows64 = false, process64 = false;
  int createResult = 0, startResult = 0, changeResult = 0;
  std::string directory = "C:\\Brenner", registered, calls, binaryPath;
  uint32_t startType = 0;
  std::vector<std::pair<uint32_t, int>> priorities;
  // The port library: its load error, a function it lacks, its driver.
  int libraryError = kErrorModuleNotFound;
  std::string libraryLacks;
  bool libraryDriverOpen = true;

  void Call(const std::string& word, const std::string& name = "", const std::string& usual = "") {
    calls += (calls.empty() ? "" : " ") + word + (name == usual ? "" : "(" + name + ")");
  }
  bool GetVersion(OsVersion& out) override {
    Call("version");
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
    Call("manager");
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
  std::string RegisteredDriverPath(const std::string& name) override {
    Call("registered", name, "giveio");
    return registered;
  }
  int ChangeDriverPath(const std::string& name, const std::string& path) override {
    Call("change", name + " " + path, "giveio " + directory + "\\giveio.sys");
    return changeResult;
  }
  bool IsWindows64() override { return windows64; }
  bool IsProcess64() override { return process64; }
  PortLibrary OpenPortLibrary(const std::string& file) override {
    Call("library:" + file);
    PortLibrary library;
    library.loadError = libraryError;
    library.missingFunction = libraryLacks;
    library.driverOpen = libraryDriverOpen;
    if (libraryError == 0 && libraryLacks.empty()) library.io = std::make_unique<StandInPort>();
    return library;
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

// Each case names its script, the calls it must make and one fragment per
// message shown (a message's whole text where it is the system's own).
TEST(WindowsAccessTest, EveryOutcomeWithAndWithoutDebug) {
  using Script = std::function<void(ScriptedPlatform&)>;
  struct Case {
    const char* name;
    Script script;
    bool debug;
    int demo;
    std::string calls;
    std::vector<std::string> texts;
    bool library = false;  // the port library serves
  };
  const std::string install = "version open manager create start open";
  const std::string xp = "Microsoft® Windows XP(TM) ";
  const char* notFound32 = "'inpout32.dll': nicht gefunden.";
  auto os = [](OsVersion v, Script more = {}) -> Script {
    return [=](ScriptedPlatform& p) {
      p.version = v;
      if (more) more(p);
    };
  };
  auto staleNamed = "anderen Pfad eingetragen:\nC:\\Alt\\giveio.sys\nGebraucht wird:\nC:\\Brenner\\giveio.sys\n";
  const Case cases[] = {
      {"unreadable version", [](ScriptedPlatform&) {}, true, 1, "version",
       {"Windows-Version nicht lesbar !\n\nProgramm läuft im Demomodus."}},
      {"unknown platform", os(Version(3, 4, 0, "x")), true, 1, "version",
       {"Operating System nicht erkannt !\n\nProgramm läuft im Demomodus.", ""}},
      {"DOS family, no driver", os(Version(1, 4, 10, " A ")), true, 0, "version",
       {"Microsoft® Windows 98(TM) Second Edition"}},
      {"driver running", os(Version(2, 5, 1, "Service Pack 2"), [](auto& p) { p.deviceOpens = {true}; }), true, 0,
       "version open", {"Microsoft® Windows XP(TM) Service Pack 2"}},
      {"first installation", os(Version(2, 5, 2), [](auto& p) { p.deviceOpens = {false, true}; }), true, 0,
       install,
       {"'giveio.sys' Driver installed !", "'giveio.sys' Driver started !", "Microsoft® Windows Server 2003(TM) "}},
      {"first installation, quiet", os(Version(2, 5, 2), [](auto& p) { p.deviceOpens = {false, true}; }), false, 0,
       install, {}},
      {"created inactive, running", os(Version(2, 6, 1), [](auto& p) {
         p.deviceOpens = {false, true};
         p.createResult = 1062;
         p.startResult = 1056;
       }), true, 0, install,
       {"Driver installed but not started !\nWe will try to do this now.", "'giveio.sys' Driver already started !",
        ""}},
      {"creation refused, started", os(Version(2, 6, 1), [](auto& p) {
         p.deviceOpens = {false, true};
         p.createResult = 5;
       }), true, 0, install, {"'giveio.sys' Driver started !", ""}},
      // An existing service: its path is looked at, and mended when stale.
      {"exists here, not started", os(Version(2, 5, 1), [](auto& p) {
         p.deviceOpens = {false, true};
         p.createResult = kErrorServiceExists;
         p.startResult = 1062;
         p.registered = "\\??\\c:\\brenner\\GIVEIO.SYS";  // NT form, other case: the same file
       }), true, 0, "version open manager create registered start open",
       {"'giveio.sys' Driver has not been started !", xp}},
      {"exists elsewhere, mended", os(Version(2, 5, 1), [](auto& p) {
         p.deviceOpens = {false, true};
         p.createResult = kErrorServiceExists;
         p.registered = "C:\\Alt\\giveio.sys";
       }), true, 0, "version open manager create registered change start open",
       {"'giveio.sys' Driver path changed from\nC:\\Alt\\giveio.sys\nto\nC:\\Brenner\\giveio.sys",
        "'giveio.sys' Driver started !", xp}},
      {"exists elsewhere, mending refused", os(Version(2, 5, 1), [](auto& p) {
         p.createResult = kErrorServiceExists;
         p.registered = "C:\\Alt\\giveio.sys";
         p.changeResult = 5;
       }), false, 1, "version open manager create registered change library:inpout32.dll",
       {staleNamed + std::string("Der Eintrag konnte nicht berichtigt werden (Fehler 5).\n'inpout32.dll': nicht")}},
      // Without the rights: the administrator is needed, the name is not shown.
      {"no manager", os(Version(2, 5, 0), [](auto& p) { p.managerOpens = false; }), true, 1,
       "version open manager registered library:inpout32.dll",
       {kNoManagerText + std::string(notFound32)}},
      {"no manager, stale service named", os(Version(2, 5, 0), [](auto& p) {
         p.managerOpens = false;
         p.registered = "C:\\Alt\\giveio.sys";
       }),
       false, 1, "version open manager registered library:inpout32.dll",
       {staleNamed + std::string("\nDieses Programm bitte einmal als Administrator starten;")}},
      {"no manager, library serves", os(Version(2, 5, 0), [](auto& p) {
         p.managerOpens = false;
         p.libraryError = 0;
       }), true, 0,
       "version open manager registered library:inpout32.dll",
       {"'inpout32.dll' loaded, its driver is open !", "Microsoft® Windows 2000(TM) "}, true},
      // A driver that will not load (no giveio.sys) and no usable library.
      {"not loaded", os(Version(2, 5, 1), [](auto& p) { p.createResult = kErrorServiceExists; }), false, 1,
       "version open manager create registered start open library:inpout32.dll",
       {kNotLoaded + std::string(notFound32)}},
      {"library's driver closed", os(Version(2, 5, 1), [](auto& p) {
         p.libraryError = 0;
         p.libraryDriverOpen = false;
       }), true, 1, install + " library:inpout32.dll",
       {"Driver installed !", "Driver started !", "ihr Treiber ist nicht geöffnet", xp}},
      {"library lacks a function", os(Version(2, 5, 1), [](auto& p) {
         p.libraryError = 0;
         p.libraryLacks = "DlPortWritePortUchar";
       }), false, 1, install + " library:inpout32.dll",
       {"ohne die Funktion DlPortWritePortUchar (keine InpOut-Bibliothek?)"}},
      {"library of the other architecture", os(Version(2, 5, 1), [](auto& p) { p.libraryError = kErrorBadExeFormat; }),
       false, 1, install + " library:inpout32.dll", {"passt aber nicht zu diesem 32-Bit-Programm"}},
      // 64-bit Windows: giveio is never tried, the library of the process's
      // own architecture is.
      {"64-bit, library serves", os(Version(2, 10, 0), [](auto& p) {
         p.windows64 = p.process64 = true;
         p.libraryError = 0;
       }), false, 0, "version library:inpoutx64.dll", {}, true},
      {"64-bit, 32-bit process", os(Version(2, 10, 0), [](auto& p) {
         p.windows64 = true;
         p.libraryError = 0;
       }), false, 0, "version library:inpout32.dll", {}, true},
      {"64-bit, no library", os(Version(2, 10, 0), [](auto& p) { p.windows64 = p.process64 = true; }), true, 1,
       "version library:inpoutx64.dll",
       {"Kein Zugriff auf die Parallelschnittstelle !\n\n'giveio.sys': lädt unter 64-Bit-Windows nicht.\n"
        "'inpoutx64.dll': nicht gefunden.\n\nNötig ist die Portbibliothek InpOut ('inpoutx64.dll', "
        "www.highrez.co.uk)\nneben dem Programm oder im Arbeitsordner; beim ersten Start\nals Administrator "
        "starten, damit der Treiber eingerichtet wird.\n\nProgramm läuft im Demomodus.",
        ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int beep = 1;  // plain messages never beep, whatever the setting
    ScriptedFeedback feedback{beep};
    ScriptedPlatform platform;
    c.script(platform);
    const WindowsAccessResult result = SetupWindowsPortAccess(platform, c.debug, feedback);
    EXPECT_EQ(result.result, c.demo ? kNoPortAccess : 0);
    EXPECT_EQ(result.DemoMode, c.demo);
    EXPECT_EQ(result.library != nullptr, c.library);
    EXPECT_EQ(platform.calls, c.calls);
    ASSERT_EQ(feedback.messages.size(), c.texts.size());
    for (size_t i = 0; i < c.texts.size(); ++i) {
      const std::string& text = feedback.messages[i].text;
      if (c.texts[i].empty() || c.texts[i].back() == ' ' || c.texts[i].find("Demomodus") != std::string::npos) {
        EXPECT_EQ(text, c.texts[i]);  // names and whole texts exactly
      } else {
        EXPECT_THAT(text, HasSubstr(c.texts[i]));
      }
      EXPECT_TRUE(feedback.messages[i].kind == MessageKind::Plain && !feedback.messages[i].beeped);
    }
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
