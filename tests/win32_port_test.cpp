// SPDX-License-Identifier: GPL-2.0-or-later
// The port setup against the system's real service manager and loader (run
// under Wine by scripts/cross-build.sh). There is no giveio.sys, so the
// driver cannot load; the giveio steps are taken as on 32-bit Windows, from
// a folder with umlauts, with a service left behind by another folder, with
// and without the rights to mend it. The port library is the project's
// stand-in with the simulated board behind it. Every service entry made
// here is removed again afterwards. The messages themselves are the scripted
// platform's business (windows_access_test); here only what the real system
// can get wrong is looked at.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

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

using ::testing::ElementsAre, ::testing::HasSubstr;

namespace tav {
namespace {

namespace fs = std::filesystem;

// The giveio steps as on 32-bit Windows, against the real service manager;
// without `rights` the manager refuses as it does for a user.
class ThirtyTwoBitWindows : public Win32Platform {
public:
  bool rights = true;
  bool IsWindows64() override { return false; }
  bool OpenServiceManager() override { return rights && Win32Platform::OpenServiceManager(); }
};

void RemoveGiveio() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  if (SC_HANDLE service = OpenServiceW(manager, L"giveio", SERVICE_ALL_ACCESS)) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

class Win32PortTest : public ::testing::Test {
protected:
  void SetUp() override {
    RemoveGiveio();
    ASSERT_TRUE(scratch_.Valid());
    previous_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(previous_);
    RemoveGiveio();
  }
  // Makes `name` inside the scratch folder the working directory; returns
  // the driver path the setup must register, as the program's UTF-8 text.
  std::string WorkIn(const fs::path& name) {
    fs::create_directories(scratch_.Path() / name);
    fs::current_path(scratch_.Path() / name);
    return Utf8FromWide((fs::current_path() / "giveio.sys").wstring());
  }

  // The giveio setup with the debug switch on (in demonstration mode, as
  // there is no driver); the messages it showed.
  std::vector<std::string> RunGiveio() {
    feedback.Clear();
    EXPECT_EQ(SetupWindowsPortAccess(platform, true, feedback).DemoMode, 1);
    return feedback.Texts();
  }

  int beep = 0;
  ScriptedFeedback feedback{beep};
  Settings settings;
  PortAccess access;
  ThirtyTwoBitWindows platform;
  test::ScratchDirectory scratch_{"tav_win32"};
  fs::path previous_;
};

// From a folder with umlauts: created now, the start fails for the missing
// file, so no start message, then neither driver nor library; a later start
// finds the right path and leaves it. A service registered from another
// folder is named without the rights and mended with them.
TEST_F(Win32PortTest, FromAFolderWithUmlautsTheServiceGetsThePathIntactAndAStaleOneIsMended) {
  const std::string wanted = WorkIn(fs::path(u8"Brenner Äöü ß"));
  OsVersion version;
  ASSERT_TRUE(platform.GetVersion(version) && version.platform == 2u);  // the NT family
  const std::string name = IdentifyOperatingSystem(version).OsName;
  const auto notLoaded = HasSubstr("'giveio.sys' Devicetreiber konnte nicht geladen werden\n'inpout");
  EXPECT_THAT(RunGiveio(), ElementsAre("'giveio.sys' Driver installed !", notLoaded, name));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);
  EXPECT_THAT(RunGiveio(), ElementsAre(notLoaded, name));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);

  // As a first start from another folder would have left it.
  const std::string stale = Utf8FromWide((scratch_.Path() / u8"Früher dort" / "giveio.sys").wstring());
  ASSERT_EQ(platform.ChangeDriverPath("giveio", stale), 0);
  platform.rights = false;
  EXPECT_THAT(RunGiveio(),
              ElementsAre(HasSubstr("anderen Pfad eingetragen:\n" + stale + "\nGebraucht wird:\n" + wanted)));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), stale);
  platform.rights = true;
  EXPECT_THAT(RunGiveio(),
              ElementsAre("'giveio.sys' Driver path changed from\n" + stale + "\nto\n" + wanted, notLoaded, name));
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), wanted);
}

// The program itself on 64-bit Windows: no service is touched; without the
// library a message names both, with the stand-in (found in the working
// directory as a user's copy would be) the board answers.
TEST_F(Win32PortTest, SixtyFourBitWindowsUsesThePortLibraryOrNamesWhatIsMissing) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "the 64-bit process only";
  settings.DebugNT = 0;
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  fs::current_path(fs::path(program).parent_path() / "inpout");
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), 0);
  EXPECT_EQ(platform.RegisteredDriverPath("giveio"), "");
  ASSERT_TRUE(access.DemoMode == 0 && access.description == "Portbibliothek inpoutx64.dll" && access.io);
  EXPECT_THAT(feedback.Texts(), ElementsAre());
  EXPECT_EQ(ProgrammerLink(*access.io, settings, DeviceRecord{}, feedback).DetectProgrammer(), 0);
}

}  // namespace
}  // namespace tav
