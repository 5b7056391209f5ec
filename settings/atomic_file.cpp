#include "settings/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tav {

ReplaceTarget ResolveReplaceTarget(const std::string& path) {
  namespace fs = std::filesystem;
  ReplaceTarget target;
  target.path = path;
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  if (!ec) target.path = resolved.string();
  const fs::file_status status = fs::status(target.path, ec);
  target.exists = !ec && fs::exists(status);
  if (!target.exists) return target;
  if (fs::is_directory(status)) {
    target.error = EISDIR;
    return target;
  }
  target.regular = fs::is_regular_file(status);
#ifdef _WIN32
  if (_access(target.path.c_str(), 2) != 0) target.error = errno ? errno : EACCES;
#else
  if (::access(target.path.c_str(), W_OK) != 0) target.error = errno ? errno : EACCES;
#endif
  return target;
}

#ifdef _WIN32

bool ReplaceFileContents(const std::string& requested, const std::string& content) {
  const ReplaceTarget target = ResolveReplaceTarget(requested);
  if (target.error != 0 || !target.regular) return false;
  const std::string& path = target.path;
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

bool ReplaceFileContents(const std::string& requested, const std::string& content) {
  // Only a writable regular file (or nothing yet) may be replaced; a
  // directory, a device or a write-protected file at that name is left alone.
  const ReplaceTarget target = ResolveReplaceTarget(requested);
  if (target.error != 0 || !target.regular) return false;
  const std::string& path = target.path;
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;

  // A short name of its own, so that a target name near the length limit
  // still leaves room for it.
  std::string temp = DirectoryOf(path) + "/.tav.XXXXXX";
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
