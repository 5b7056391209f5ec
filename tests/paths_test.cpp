#include "settings/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace tav {
namespace {

struct SplitCase {
  std::string path, directory, name, extension;
};

TEST(SplitPath, SeparatesDirectoryNameAndExtension) {
  const SplitCase cases[] = {
      {"/data/eprom/prog.hex", "/data/eprom/", "prog", ".hex"},
      {"prog.hex", "", "prog", ".hex"},
      {"tmp", "", "tmp", ""},
      {"/data/eprom/", "/data/eprom/", "", ""},
      {"/data/eprom", "/data/", "eprom", ""},  // no final separator: last part is a name
      {"dump.tar.bin", "", "dump.tar", ".bin"},
      {"/dir.with.dots/noext", "/dir.with.dots/", "noext", ""},
      {"/", "/", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.drive, "") << c.path;
    EXPECT_EQ(parts.directory, c.directory) << c.path;
    EXPECT_EQ(parts.name, c.name) << c.path;
    EXPECT_EQ(parts.extension, c.extension) << c.path;
    // Joining the parts gives the path back.
    EXPECT_EQ(JoinPath(parts), c.path) << c.path;
  }
}

TEST(JoinPath, SuppliesMissingSeparatorAndDot) {
  EXPECT_EQ(JoinPath({"", "/data", "prog", "hex"}), "/data/prog.hex");
  EXPECT_EQ(JoinPath({"", "", "prog", ""}), "prog");
}

TEST(CurrentDirectory, IsTheWorkingDirectoryWithTrailingSeparator) {
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  std::string expected = buffer;
  if (expected.back() != '/') expected += '/';
  EXPECT_EQ(CurrentDirectory(), expected);
}

// Restores HOME when a test has changed it.
class HomeGuard {
public:
  HomeGuard() {
    if (const char* h = std::getenv("HOME")) saved_ = h;
  }
  ~HomeGuard() {
    if (saved_) setenv("HOME", saved_->c_str(), 1);
    else unsetenv("HOME");
  }

private:
  std::optional<std::string> saved_;
};

TEST(DefaultDataPath, HomeWithTrailingSeparatorOrFallback) {
  HomeGuard guard;
  setenv("HOME", "/home/brenner", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");
  setenv("HOME", "/home/brenner/", 1);
  EXPECT_EQ(DefaultDataPath(), "/home/brenner/");

  // Without HOME the password database answers; whatever it says, the
  // result is an absolute directory ending in a separator.
  unsetenv("HOME");
  const std::string fallback = DefaultDataPath();
  ASSERT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.front(), '/');
  EXPECT_EQ(fallback.back(), '/');
  setenv("HOME", "", 1);
  EXPECT_EQ(DefaultDataPath(), fallback);
}

}  // namespace
}  // namespace tav
