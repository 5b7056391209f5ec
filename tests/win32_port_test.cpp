// SPDX-License-Identifier: GPL-2.0-or-later
// The port setup against the system's real service manager (run under Wine
// by scripts/cross-build.sh): there is no giveio.sys, so the driver cannot
// load and the program must fall back to demonstration mode. The service
// entry the setup creates is removed again afterwards.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/port_access.h"
#include "link/windows_port.h"
#include "settings/settings.h"
#include "tests/support/scripted_feedback.h"

using ::testing::ElementsAre;

namespace tav {
namespace {

constexpr const char* kNotLoaded = "'giveio.sys' Devicetreiber konnte nicht geladen werden\n";

void RemoveGiveioService() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return;
  SC_HANDLE service = OpenServiceA(manager, "giveio", SERVICE_ALL_ACCESS);
  if (service != nullptr) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

class Win32PortTest : public ::testing::Test {
protected:
  void SetUp() override { RemoveGiveioService(); }
  void TearDown() override { RemoveGiveioService(); }

  int beep = 0;
  ScriptedFeedback feedback{beep};
  Settings settings;
  PortAccess access;
};

TEST_F(Win32PortTest, WithoutTheDriverFileTheDeviceCannotLoadAndDemonstrationModeBegins) {
  Win32Platform platform;
  OsVersion version;
  ASSERT_TRUE(platform.GetVersion(version));
  ASSERT_EQ(version.platform, 2u);  // the NT family
  const std::string name = IdentifyOperatingSystem(version).OsName;

  settings.DebugNT = 1;
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), 0);
  EXPECT_EQ(access.DemoMode, 1);
  EXPECT_EQ(access.io, nullptr);
  // Created now, the start fails for the missing file: neither 1056, 1062
  // nor 0, so no start message.
  EXPECT_THAT(feedback.Texts(), ElementsAre("'giveio.sys' Driver installed !", kNotLoaded, name));

  // Second start: the service exists, its creation fails silently.
  feedback.Clear();
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), 0);
  EXPECT_THAT(feedback.Texts(), ElementsAre(kNotLoaded, name));

  feedback.Clear();
  settings.DebugNT = 0;
  EXPECT_EQ(SetupPortAccess("", settings, feedback, access), 0);
  EXPECT_EQ(access.DemoMode, 1);
  EXPECT_THAT(feedback.Texts(), ElementsAre(kNotLoaded));
  for (const auto& message : feedback.messages) EXPECT_EQ(message.kind, MessageKind::Plain);
}

TEST_F(Win32PortTest, TheServiceIsAKernelDriverInTheWorkingDirectory) {
  settings.DebugNT = 0;
  SetupPortAccess("", settings, feedback, access);
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  SC_HANDLE service = OpenServiceA(manager, "giveio", SERVICE_QUERY_CONFIG);
  ASSERT_NE(service, nullptr);
  alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
  DWORD needed = 0;
  ASSERT_TRUE(QueryServiceConfigA(service, config, sizeof buffer, &needed));
  EXPECT_EQ(config->dwServiceType, DWORD(SERVICE_KERNEL_DRIVER));
  EXPECT_EQ(config->dwErrorControl, DWORD(SERVICE_ERROR_NORMAL));
  char directory[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, directory);
  std::string expected = directory;
  if (expected.back() != '\\') expected += '\\';
  EXPECT_STRCASEEQ(config->lpBinaryPathName, (expected + "giveio.sys").c_str());
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
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
