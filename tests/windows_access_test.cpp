// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows port setup played through with a scripted platform: the
// system table, every installation outcome with and without the debug
// switch, the port library where giveio cannot serve, and the priority
// classes.
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "link/windows_access.h"
#include "tests/support/scripted_feedback.h"

namespace tav {
namespace {

OsVersion Os(uint32_t kind, uint32_t major, uint32_t minor, std::string sp = "") { return {kind, major, minor, sp}; }

// What a case's platform answers; everything not named keeps its default.
struct Script {
  std::optional<OsVersion> version{};  // nullopt: GetVersionExA fails
  std::vector<bool> opens{};           // one answer per device open; past its end opening fails
  int create = 0, start = 0, change = 0;
  std::string registered{};
  bool manager = true, windows64 = false, process64 = false;
  int libraryError = kErrorModuleNotFound;  // the port library: its load error, a function it lacks, its driver
  std::string lacks{};
  bool libraryDriver = true;
  std::string directory = "C:\\Brenner";
};

struct StandInPort : PortIo {
  void Out(uint16_t, uint8_t) override {}
  uint8_t In(uint16_t) override { return 0; }
};

// Answers every call from a script and writes down what was asked, one word
// per call; names other than the usual ones are written out, and a created
// service names its start type.
class ScriptedPlatform : public WindowsPlatform {
public:
  explicit ScriptedPlatform(Script script = {}) : s(std::move(script)) {}
  Script s;
  std::string calls;
  size_t openings = 0;
  std::vector<std::pair<uint32_t, int>> priorities;

  // Returns nothing, so that an answer can follow it: `return Call(...), answer;`.
  void Call(const std::string& word, const std::string& name = "", const std::string& usual = "") {
    calls += (calls.empty() ? "" : " ") + word + (name == usual ? "" : "(" + name + ")");
  }
  bool GetVersion(OsVersion& out) override {
    out = s.version.value_or(out);
    return Call("version"), s.version.has_value();
  }
  bool OpenDevice(const std::string& path) override {
    return Call("open", path, "\\\\.\\giveio"), openings < s.opens.size() && s.opens[openings++];
  }
  bool OpenServiceManager() override { return Call("manager"), s.manager; }
  int CreateDriverService(const std::string& name, const std::string& shown, uint32_t type,
                          const std::string& path) override {
    const char* word = type == kServiceSystemStart ? "create-system" : type == kServiceAutoStart ? "create-auto" : "?";
    return Call(word, name + "/" + shown + " " + path, "giveio/giveio C:\\Brenner\\giveio.sys"), s.create;
  }
  int StartDriverService(const std::string& name) override { return Call("start", name, "giveio"), s.start; }
  std::string RegisteredDriverPath(const std::string& n) override {
    return Call("registered", n, "giveio"), s.registered;
  }
  int ChangeDriverPath(const std::string& name, const std::string& path) override {
    return Call("change", name + " " + path, "giveio C:\\Brenner\\giveio.sys"), s.change;
  }
  bool IsWindows64() override { return s.windows64; }
  bool IsProcess64() override { return s.process64; }
  PortLibrary OpenPortLibrary(const std::string& file) override {
    std::unique_ptr<PortIo> io = s.libraryError || !s.lacks.empty() ? nullptr : std::make_unique<StandInPort>();
    return Call("library:" + file), PortLibrary{s.libraryError, s.lacks, s.libraryDriver, std::move(io)};
  }
  std::string WorkingDirectory() override { return s.directory; }
  void SetPriority(uint32_t processClass, int thread) override { priorities.emplace_back(processClass, thread); }
};

// Only the whole texts " C " of 95 and " A " of 98 get friendlier names; a
// newer NT or a DOS-family version number on the NT platform is not in the
// table. The NT family (codes 4 to 8) is raised to the high priority class,
// everything else to realtime; restoring always returns to normal.
TEST(IdentifyOperatingSystemTest, EveryTableRowWithItsServicePackTextAndItsPriority) {
  const std::pair<OsVersion, std::string> cases[] = {
      {Os(1, 4, 0, " C "), "1 95(TM) OSR2 realtime"}, {Os(1, 4, 0, " C  "), "1 95(TM)  C   realtime"},
      {Os(1, 4, 0, " A "), "1 95(TM)  A  realtime"}, {Os(1, 4, 10, " A "), "2 98(TM) Second Edition realtime"},
      {Os(1, 4, 10, " C "), "2 98(TM)  C  realtime"}, {Os(1, 4, 90, " A "), "3 ME(TM)  A  realtime"},
      {Os(2, 3, 51, "SP5"), "4 NT3.51(TM) SP5 high"}, {Os(2, 4, 0, "SP6a"), "5 NT4.00(TM) SP6a high"},
      {Os(2, 5, 0, "SP4"), "6 2000(TM) SP4 high"}, {Os(2, 5, 1, "SP3"), "7 XP(TM) SP3 high"},
      {Os(2, 5, 2), "8 Server 2003(TM)  high"}, {Os(2, 6, 1, "SP1"), "0  realtime"}, {Os(1, 4, 1), "0  realtime"},
      {Os(2, 4, 10), "0  realtime"}, {Os(3, 5, 1), "0  realtime"}};
  const std::pair<uint32_t, int> high{kHighPriorityClass, kThreadPriorityHighest},
      realtime{kRealtimePriorityClass, kThreadPriorityTimeCritical}, normal{kNormalPriorityClass, kThreadPriorityNormal};
  for (const auto& [version, expected] : cases) {
    const OsIdentity os = IdentifyOperatingSystem(version);
    const std::string windows = "Microsoft® Windows ", name = os.OsName;
    const std::string shown = name.starts_with(windows) ? name.substr(windows.size()) : name;
    ScriptedPlatform platform;
    RaiseWindowsPriority(platform, os.OsCode);
    RestoreWindowsPriority(platform);
    const auto& p = platform.priorities;
    const char* level = p == std::vector{high, normal} ? " high" : p == std::vector{realtime, normal} ? " realtime" : " ?";
    EXPECT_EQ(std::to_string(os.OsCode) + " " + shown + level, expected);
  }
}

// Each case names its script, the calls it must make and one fragment per
// message shown (a message's whole text where it is the system's own, ends
// in a blank or is empty). No message of the setup ever beeps.
TEST(WindowsAccessTest, EveryOutcomeWithAndWithoutDebug) {
  // demo: 1 for demonstration mode, 2 when the port library serves, 0 for the in and out instructions.
  struct Case { const char* name; Script script; bool debug; int demo; std::string calls; std::vector<std::string> text; };
  const std::string install = "version open manager create-system start open", xp = "Microsoft® Windows XP(TM) ";
  const std::string exists = "version open manager create-system registered", alt = "C:\\Alt\\giveio.sys";
  const std::string lib32 = " library:inpout32.dll", noManager = "version open manager registered library:inpout32.dll";
  const std::string staleNamed = "anderen Pfad eingetragen:\n" + alt + "\nGebraucht wird:\nC:\\Brenner\\giveio.sys\n";
  const Case cases[] = {
      {"unreadable version", {}, true, 1, "version", {"Windows-Version nicht lesbar !\n\nProgramm läuft im Demomodus."}},
      {"unknown platform", {Os(3, 4, 0, "x")}, true, 1, "version",
       {"Operating System nicht erkannt !\n\nProgramm läuft im Demomodus.", ""}},
      {"DOS family", {Os(1, 4, 10, " A ")}, true, 0, "version", {"Microsoft® Windows 98(TM) Second Edition"}},
      {"driver running", {Os(2, 5, 1, "SP2"), {true}}, true, 0, "version open", {xp + "SP2"}},
      {"first installation", {Os(2, 5, 2), {false, true}}, true, 0, install,
       {"'giveio.sys' Driver installed !", "'giveio.sys' Driver started !", "Microsoft® Windows Server 2003(TM) "}},
      // A root directory already ends in the separator.
      {"created inactive, running", {.version = Os(2, 6, 1), .opens = {false, true}, .create = 1062, .start = 1056,
       .directory = "D:\\"}, true, 0, "version open manager create-auto(giveio/giveio D:\\giveio.sys) start open",
       {"Driver installed but not started !\nWe will try to do this now.", "'giveio.sys' Driver already started !", ""}},
      // An existing service: its path is looked at, and mended when stale;
      // the NT form in another case names the same file.
      {"exists here, not started", {Os(2, 5, 1), {false, true}, kErrorServiceExists, 1062, 0,
       "\\??\\c:\\brenner\\GIVEIO.SYS"}, true, 0, exists + " start open", {"Driver has not been started !", xp}},
      {"exists elsewhere, mended", {Os(2, 5, 1), {false, true}, kErrorServiceExists, 0, 0, alt}, true, 0,
       exists + " change start open",
       {"'giveio.sys' Driver path changed from\n" + alt + "\nto\nC:\\Brenner\\giveio.sys", "Driver started !", xp}},
      {"exists elsewhere, mending refused", {Os(2, 5, 1), {}, kErrorServiceExists, 0, 5, alt}, false, 1,
       exists + " change" + lib32, {staleNamed + "Der Eintrag konnte nicht berichtigt werden (Fehler 5).\n'inpout32"}},
      // Without the rights: the administrator is needed, the name is not shown.
      {"no manager", {.version = Os(2, 5, 0), .manager = false}, true, 1, noManager,
       {"Das kann nur der Administrator !\n\nDieses Programm bitte einmal als Administrator starten.\nDanach ist der "
        "Treiber installiert und das Programm\nkann auch von Usern benutzt werden.\n'inpout32.dll': nicht gefunden."}},
      {"no manager, stale service named", {.version = Os(2, 5, 0), .registered = alt, .manager = false}, false, 1,
       noManager, {staleNamed + "\nDieses Programm bitte einmal als Administrator starten;"}},
      {"no manager, library serves", {.version = Os(2, 5, 0), .manager = false, .libraryError = 0}, true, 2,
       noManager, {"'inpout32.dll' loaded, its driver is open !", "Microsoft® Windows 2000(TM) "}},
      // A driver that will not load (no giveio.sys) and no usable library.
      {"not loaded", {Os(2, 5, 1), {}, kErrorServiceExists}, false, 1, exists + " start open" + lib32,
       {"'giveio.sys' Devicetreiber konnte nicht geladen werden\n'inpout32.dll': nicht gefunden."}},
      {"library's driver closed", {.version = Os(2, 5, 1), .libraryError = 0, .libraryDriver = false}, true, 1,
       install + lib32, {"Driver installed !", "Driver started !", "ihr Treiber ist nicht geöffnet", xp}},
      {"library lacks a function", {.version = Os(2, 5, 1), .libraryError = 0, .lacks = "DlPortWritePortUchar"},
       false, 1, install + lib32, {"ohne die Funktion DlPortWritePortUchar (keine InpOut-Bibliothek?)"}},
      {"library of the other architecture", {.version = Os(2, 5, 1), .libraryError = kErrorBadExeFormat}, false,
       1, install + lib32, {"passt aber nicht zu diesem 32-Bit-Programm"}},
      // 64-bit Windows: giveio is never tried, the library of the process's
      // own architecture is.
      {"64-bit, 32-bit process", {.version = Os(2, 10, 0), .windows64 = true, .libraryError = 0}, false, 2,
       "version" + lib32, {}},
      {"64-bit, no library", {.version = Os(2, 10, 0), .windows64 = true, .process64 = true}, true, 1,
       "version library:inpoutx64.dll",
       {"Kein Zugriff auf die Parallelschnittstelle !\n\n'giveio.sys': lädt unter 64-Bit-Windows nicht.\n"
        "'inpoutx64.dll': nicht gefunden.\n\nNötig ist die Portbibliothek InpOut ('inpoutx64.dll',", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int beep = 1;  // plain messages never beep, whatever the setting
    ScriptedFeedback feedback{beep};
    ScriptedPlatform platform{c.script};
    const WindowsAccessResult result = SetupWindowsPortAccess(platform, c.debug, feedback);
    // Without a beep every message was a plain one.
    EXPECT_EQ(std::tuple(result.result, result.DemoMode, result.library != nullptr, feedback.beeps, platform.calls),
              std::tuple(c.demo == 1 ? kNoPortAccess : 0, c.demo == 1 ? 1 : 0, c.demo == 2, 0, c.calls));
    ASSERT_EQ(feedback.messages.size(), c.text.size());
    for (size_t i = 0; i < c.text.size(); ++i) {
      const std::string &text = feedback.messages[i].text, &want = c.text[i];
      const bool whole = want.empty() || want.back() == ' ' || want.find("Demomodus") != std::string::npos;
      EXPECT_TRUE(whole ? text == want : text.find(want) != std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace tav
