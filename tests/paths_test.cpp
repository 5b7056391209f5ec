#include "settings/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace tav {
namespace {

TEST(SplitPath, SeparatesDirectoryNameAndExtensionAndJoinsBack) {
  const struct {
    std::string path, directory, name, extension;
  } cases[] = {
      {"/data/eprom/prog.hex", "/data/eprom/", "prog", ".hex"}, {"prog.hex", "", "prog", ".hex"},
      {"/data/eprom/", "/data/eprom/", "", ""}, {"/", "/", "", ""}, {"", "", "", ""}, {"tmp", "", "tmp", ""},
      {"/data/eprom", "/data/", "eprom", ""},  // no final separator: last part is a name
      {"dump.tar.bin", "", "dump.tar", ".bin"}, {"/dir.with.dots/noext", "/dir.with.dots/", "noext", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.name, c.name);
    EXPECT_EQ(parts.extension, c.extension);
    EXPECT_EQ(JoinPath(parts), c.path);
  }
  // The drive stays empty here, or the join would differ. Joining supplies a missing separator and dot.
  EXPECT_EQ(JoinPath({"", "/data", "prog", "hex"}), "/data/prog.hex");
}

TEST(CurrentDirectory, IsTheWorkingDirectoryWithTrailingSeparator) {
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  const std::string cwd = buffer;
  EXPECT_EQ(CurrentDirectory(), cwd.back() == '/' ? cwd : cwd + "/");
}

TEST(DefaultDataPath, HomeWithTrailingSeparatorOrAnAbsoluteFallback) {
  const char* home = std::getenv("HOME");
  const std::optional<std::string> saved = home ? std::optional<std::string>(home) : std::nullopt;
  setenv("HOME", "/home/brenner", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");
  setenv("HOME", "/home/brenner/", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");

  // Without HOME the password database answers; an empty HOME counts as none.
  unsetenv("HOME");
  const std::string fallback = DefaultDataPath();
  EXPECT_TRUE(fallback.starts_with('/') && fallback.ends_with('/')) << fallback;
  setenv("HOME", "", 1);
  EXPECT_EQ(DefaultDataPath(), fallback);
  saved ? setenv("HOME", saved->c_str(), 1) : unsetenv("HOME");
}

}  // namespace
}  // namespace tav
