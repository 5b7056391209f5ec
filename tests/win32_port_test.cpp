// The port setup against the system's real service manager and loader (run
// under Wine by scripts/cross-build.sh). There is no giveio.sys, so the
// driver cannot load; the giveio steps are taken as on 32-bit Windows, from
// a folder with umlauts, with a service left behind by another folder, with
// and without the rights to mend it. The port library is the project's
// stand-in with the simulated board behind it. Every service entry made
// here is removed again afterwards.
#include <windows.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/device_record.h"
#include "link/port_access.h"
#include "link/programmer_link.h"
#include "link/windows_port.h"
#include "settings/native_path.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"
#include "tests/support/scripted_feedback.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace tav {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";

// The giveio steps as on 32-bit Windows, against the real service manager;
// without `rights` the manager refuses as it does for a user.
class ThirtyTwoBitWindows : public Win32Platform {
public:
  bool rights = true;
  bool IsWindows64() override { return false; }
  bool OpenServiceManager() override { return rights && Win32Platform::OpenServiceManager(); }
};

void RemoveGiveioService() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return;
  SC_HANDLE service = OpenServiceW(manager, L"giveio", SERVICE_ALL_ACCESS);
  if (service != nullptr) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

void RegisterGiveio(const std::wstring& path) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  SC_HANDLE service = CreateServiceW(manager, L"giveio", L"giveio", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class Win32PortTest : public ::testing::Test {
protected:
  void SetUp() override {
    RemoveGiveioService();
    ASSERT_TRUE(scratch_.Valid());
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
  }
  void TearDown() override {
    SetCurrentDirectoryW(previous_.c_str());
    RemoveGiveioService();
  }
  // Makes `name` inside the scratch folder the working directory; returns
  // the driver path the setup must register, as the program's UTF-8 text.
  std::string WorkIn(const fs::path& name) {
    const fs::path folder = scratch_.Path() / name;
    fs::create_directories(folder);
    EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    return Utf8(fs::current_path() / "giveio.sys");
  }

  int beep = 0;
  ScriptedFeedback feedback{beep};
  Settings settings;
  PortAccess access;
  ThirtyTwoBitWindows platform;
  test::ScratchDirectory scratch_{"tav_win32"};
  std::wstring previous_;
};

TEST_F(Win32PortTest, FromAFolderWithUmlautsTheServiceGetsThePathIntact) {
  const std::string wanted = WorkIn(fs::path(u8"Brenner Äöü ß"));
  OsVersion version;
  ASSERT_TRUE(platform.GetVersion(version));
  ASSERT_EQ(version.platform, 2u);  // the NT family
  const std::string name = IdentifyOperatingSystem(version).OsName;

  WindowsAccessResult result = SetupWindowsPortAccess(platform, true, feedback);
  EXPECT_EQ(result.DemoMode, 1);
  ASSERT_EQ(feedback.messages.size(), 3u);
  // Created now, the start fails for the missing file: neither 1056, 1062
  // nor 0, so no start message; then neither driver nor library.
  EXPECT_EQ(feedback.messages[0].text, "'giveio.sys' Driver installed !");
  EXPECT_THAT(feedback.messages[1].text, HasSubstr(kNotLoaded));
  EXPECT_THAT(feedback.messages[1].text, HasSubstr("'inpout"));
  EXPECT_EQ(feedback.messages[2].text, name);
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);

  // A later start finds the service with the right path and leaves it.
  feedback.Clear();
  result = SetupWindowsPortAccess(platform, true, feedback);
  EXPECT_THAT(feedback.Texts(), ElementsAre(HasSubstr(kNotLoaded), name));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);
}

TEST_F(Win32PortTest, AServiceFromAnotherFolderIsMendedWithRightsAndNamedWithout) {
  const std::string wanted = WorkIn(fs::path(u8"Jetzt hier"));
  const std::wstring stale = (scratch_.Path() / u8"Früher dort" / "giveio.sys").wstring();
  RegisterGiveio(stale);

  platform.rights = false;
  SetupWindowsPortAccess(platform, false, feedback);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_THAT(feedback.messages[0].text,
              HasSubstr("anderen Pfad eingetragen:\n" + Utf8FromWide(stale) + "\nGebraucht wird:\n" + wanted));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), Utf8FromWide(stale));

  feedback.Clear();
  platform.rights = true;
  SetupWindowsPortAccess(platform, true, feedback);
  EXPECT_THAT(feedback.Texts(),
              ElementsAre("'giveio.sys' Driver path changed from\n" + Utf8FromWide(stale) + "\nto\n" + wanted,
                          HasSubstr(kNotLoaded), ::testing::_));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);
}

// The program itself on 64-bit Windows: no service is touched; without the
// library a message names both, with the stand-in the board answers.
TEST_F(Win32PortTest, SixtyFourBitWindowsUsesThePortLibraryOrNamesWhatIsMissing) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "the 64-bit process only";
  WorkIn("leer");
  settings.DebugNT = 0;
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), kNoPortAccess);
  EXPECT_EQ(access.DemoMode, 1);
  EXPECT_EQ(access.io, nullptr);
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_THAT(feedback.messages[0].text, StartsWith(kNoPortAccessTitle));
  EXPECT_THAT(feedback.messages[0].text, HasSubstr("'giveio.sys': lädt unter 64-Bit-Windows nicht.\n"
                                                   "'inpoutx64.dll': nicht gefunden.\n"));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), "");

  // The stand-in, found in the working directory as a user's copy would be.
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  ASSERT_TRUE(SetCurrentDirectoryW((fs::path(program).parent_path() / "inpout").c_str()));
  feedback.Clear();
  SetEnvironmentVariableW(L"TAVROLITH_INPOUT_CLOSED", L"1");
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), kNoPortAccess);
  EXPECT_THAT(feedback.Texts(), ElementsAre(HasSubstr("'inpoutx64.dll': gefunden, aber ihr Treiber ist nicht")));
  SetEnvironmentVariableW(L"TAVROLITH_INPOUT_CLOSED", nullptr);

  feedback.Clear();
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), 0);
  EXPECT_EQ(access.DemoMode, 0);
  EXPECT_EQ(access.description, "Portbibliothek inpoutx64.dll");
  EXPECT_THAT(feedback.Texts(), ElementsAre());
  ASSERT_NE(access.io, nullptr);
  DeviceRecord device;
  ProgrammerLink link(*access.io, settings, device, feedback);
  EXPECT_EQ(link.DetectProgrammer(), 0);
}

TEST(Win32PriorityTest, RestoreReturnsToNormal) {
  RaisePriority();
  EXPECT_NE(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));
  RestorePriority();
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

}  // namespace
}  // namespace tav
