// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "settings/atomic_file.h"
#include "settings/native_path.h"
#include "tests/scratch_directory.h"
#include "tests/start_up_directory.h"

namespace tav {

TEST(SplitPath, SeparatesDirectoryNameAndExtensionAndJoinsBack) {
  // Path, then directory|name|extension.
  const std::array<std::string, 2> cases[] = {
      {"/data/eprom/prog.hex", "/data/eprom/|prog|.hex"}, {"prog.hex", "|prog|.hex"},
      {"/data/eprom/", "/data/eprom/||"}, {"/data/eprom", "/data/|eprom|"}, {"dump.tar.bin", "|dump.tar|.bin"},
      {"/dir.with.dots/noext", "/dir.with.dots/|noext|"}};
  for (const auto& [path, split] : cases) {
    const PathParts parts = SplitPath(path);
    EXPECT_EQ(parts.directory + "|" + parts.name + "|" + parts.extension, split) << path;
    EXPECT_EQ(JoinPath(parts), path);
  }
}

// The data folder defaults to HOME. Without a QUENVALD.INI in the working
// directory the settings live in the user's folder: $XDG_CONFIG_HOME when
// absolute, else ~/.config.
TEST(SettingsFolder, HomeThenNamedFolderThenWorkingDirectoryWithAFileThenTheUsersFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: HOME and the password database; Windows keeps the settings in the working directory";
#else
  test::StartUpDirectory directory{"tav_paths"};  // restores XDG_CONFIG_HOME and the working directory
  ASSERT_TRUE(directory.Valid());
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", "/home/brenner", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");
  const std::string srv = "/srv/cfg/tavrolith/", home = "/home/brenner/.config/tavrolith/";
  const std::pair<const char*, std::string> cases[] = {  // nullptr: unset
      {"/srv/cfg", srv}, {"/srv/cfg/", srv}, {"relative/cfg", home}, {"", home}, {nullptr, home}};
  for (const auto& [xdg, folder] : cases) {
    if (xdg) setenv("XDG_CONFIG_HOME", xdg, 1); else unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserConfigDirectory(), folder) << (xdg ? xdg : "(unset)");
  }
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_EQ(SettingsFolder("named/", "/u/") + "," + SettingsFolder("", "/u/") + "," + SettingsFolder("", ""),
            "named/,/u/,");
  std::ofstream("QUENVALD.INI") << "[Hardware]\n";
  EXPECT_EQ(SettingsFolder("", "/u/"), "");
#endif
}

// Names beyond ASCII: Windows' narrow functions would read the UTF-8 bytes
// in the ANSI code page and miss the file or the folder.
TEST(NativePath, NamesWithUmlautsReachTheSameFileEverywhere) {
  const test::ScratchDirectory scratch;
  ASSERT_TRUE(scratch.Valid());
  const std::string folder = scratch.Slash() + "Müller ✓", path = folder + "/Größe.hex";
  std::error_code error;
  ASSERT_TRUE(std::filesystem::create_directory(NativePath(folder), error)) << error.message();
  ASSERT_TRUE(ReplaceFileContents(path, "Inhalt"));
  std::FILE* file = OpenFile(path, "rb");
  ASSERT_NE(file, nullptr);
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file), 6u);
  std::fclose(file);
  EXPECT_STREQ(text, "Inhalt");
  // The working directory comes back as the same UTF-8 text.
  const std::filesystem::path saved = std::filesystem::current_path(error);
  std::filesystem::current_path(NativePath(folder), error);
  ASSERT_FALSE(error) << error.message();
  const std::string current = CurrentDirectory();
  std::filesystem::current_path(saved, error);
  EXPECT_TRUE(std::filesystem::exists(NativePath(current + "Größe.hex"), error)) << current;
}

}  // namespace tav
