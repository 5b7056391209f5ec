// SPDX-License-Identifier: GPL-2.0-or-later
// What a test of the program's start-up needs around it: a scratch working
// directory holding the sample device library, current while the object
// lives, a per-user settings folder inside it in place of the real
// ~/.config, and a real-port lookup that finds nothing and is refused, so
// that no real port is ever touched.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "link/port_access.h"
#include "tests/scratch_directory.h"

namespace tav::test {

// What a refused start-up shows first. Windows does not look at the
// environment below: it finds neither a driver nor the port library in the
// test's Wine prefix.
inline constexpr const char* kRefusedAccessText = "Kein Zugriff auf die Parallelschnittstelle !";

inline int RefuseIoperm(unsigned long, unsigned long, int) {
  errno = EPERM;
  return -1;
}

inline constexpr auto& Slurp = ReadFile;

class StartUpDirectory {
public:
  explicit StartUpDirectory(const std::string& prefix) : scratch_(prefix) {
    if (!scratch_.Valid()) return;
    fs::copy_file(TAVROLITH_SOURCE_DIR "/data/8789LIST.CSV", Path() / "8789LIST.CSV");
    fs::current_path(Path());
#ifndef _WIN32
    // Programs started by the test inherit it too.
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) previousConfigHome_ = previous;
    setenv("XDG_CONFIG_HOME", (Path() / "config-home").c_str(), 1);
#endif
  }
  ~StartUpDirectory() {
    fs::current_path(previous_);
#ifndef _WIN32
    previousConfigHome_ ? setenv("XDG_CONFIG_HOME", previousConfigHome_->c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
#endif
  }

  bool Valid() const { return scratch_.Valid(); }
  const fs::path& Path() const { return scratch_.Path(); }
  // Where a start without QUENVALD.INI in the working directory keeps its
  // settings: the working directory itself on Windows.
#ifdef _WIN32
  fs::path UserIni() const { return Path() / "QUENVALD.INI"; }
#else
  fs::path UserIni() const { return Path() / "config-home" / "tavrolith" / "QUENVALD.INI"; }
#endif
  // An empty parport tree and a refusing ioperm.
  PortAccessEnvironment RefusedPorts() const {
    return {(Path() / "no-proc").string(), (Path() / "no-dev").string(), RefuseIoperm};
  }

private:
  const fs::path previous_ = fs::current_path();
  std::optional<std::string> previousConfigHome_;
  ScratchDirectory scratch_;
};

}  // namespace tav::test
