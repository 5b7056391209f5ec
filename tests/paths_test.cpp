#include "settings/paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

namespace tav {

TEST(SplitPath, SeparatesDirectoryNameAndExtensionAndJoinsBack) {
  // Path, directory, name, extension.
  const std::array<std::string, 4> cases[] = {
      {"/data/eprom/prog.hex", "/data/eprom/", "prog", ".hex"}, {"prog.hex", "", "prog", ".hex"},
      {"/data/eprom/", "/data/eprom/", "", ""}, {"/data/eprom", "/data/", "eprom", ""},
      {"dump.tar.bin", "", "dump.tar", ".bin"}, {"/dir.with.dots/noext", "/dir.with.dots/", "noext", ""},
  };
  for (const auto& [path, directory, name, extension] : cases) {
    SCOPED_TRACE(path);
    const PathParts parts = SplitPath(path);
    EXPECT_EQ(parts.directory + "|" + parts.name + "|" + parts.extension, directory + "|" + name + "|" + extension);
    EXPECT_EQ(JoinPath(parts), path);
  }
}

TEST(DefaultDataPath, HomeWithTrailingSeparatorOrAnAbsoluteFallback) {
  const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", "/home/brenner", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");
  // An empty HOME counts as none: the password database answers.
  setenv("HOME", "", 1);
  const std::string fallback = DefaultDataPath();
  EXPECT_TRUE(fallback.starts_with('/') && fallback.ends_with('/')) << fallback;
  setenv("HOME", saved.c_str(), 1);
}

}  // namespace tav
