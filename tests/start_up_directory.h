// What a test of the program's start-up needs around it: a scratch working
// directory holding the sample device library, current while the object
// lives, and a real-port lookup that finds nothing and is refused, so that
// no real port is ever touched.
#pragma once

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class StartUpDirectory {
public:
  explicit StartUpDirectory(const std::string& prefix) : scratch_(prefix) {
    if (!scratch_.Valid()) return;
    std::filesystem::copy_file(std::filesystem::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV",
                               Path() / "8789LIST.CSV");
    std::filesystem::current_path(Path());
  }
  ~StartUpDirectory() { std::filesystem::current_path(previous_); }
  StartUpDirectory(const StartUpDirectory&) = delete;
  StartUpDirectory& operator=(const StartUpDirectory&) = delete;

  bool Valid() const { return scratch_.Valid(); }
  const std::filesystem::path& Path() const { return scratch_.Path(); }
  // An empty parport tree and a refusing ioperm.
  PortAccessEnvironment RefusedPorts() const {
    return {(Path() / "no-proc").string(), (Path() / "no-dev").string(), RefuseIoperm};
  }

private:
  const std::filesystem::path previous_ = std::filesystem::current_path();
  ScratchDirectory scratch_;
};

}  // namespace tav::test
