#include "settings/atomic_file.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tav {

#ifdef _WIN32

bool ReplaceFileContents(const std::string& path, const std::string& content) {
  const std::string temp = path + ".tmp";
  std::FILE* out = std::fopen(temp.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size();
  ok = std::fflush(out) == 0 && ok;
  ok = _commit(_fileno(out)) == 0 && ok;
  ok = std::fclose(out) == 0 && ok;
  if (ok) ok = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

#else

namespace {

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& content) {
  // Only a regular file (or nothing yet) may be replaced; a directory or a
  // device at that name is left alone.
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return false;

  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  // mkstemp creates the file private to its owner; the replacement keeps the
  // permissions of the file it replaces.
  bool ok = fchmod(fd, exists ? (old.st_mode & 07777) : 0644) == 0;
  ok = ok && WriteAll(fd, content);
  ok = ok && fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new contents are already on disk.
  const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    ::close(dir);
  }
  return true;
}

#endif

}  // namespace tav
