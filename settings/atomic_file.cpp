// SPDX-License-Identifier: GPL-2.0-or-later
// The two platform branches of AtomicFileWriter, side by side. Both follow
// the same steps: resolve the target, refuse what may not be written, open
// a uniquely named temporary file beside it (or the target itself where
// only that can be written), stream the bytes, flush them to the disk and
// rename the temporary file over the target.
#include "settings/atomic_file.h"

#include "settings/native_path.h"

#include <cerrno>
#include <cstdio>
#include <random>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#else
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#endif

namespace tav {

namespace {

// Attempts at a free temporary name before giving up with EEXIST.
constexpr int kNameAttempts = 16;

// ".tav.1a2b3c4d.tmp": short, so that a target name near the length limit
// still leaves room for it, and unique per attempt.
std::string TemporaryName(std::random_device& random) {
  char name[32];
  std::snprintf(name, sizeof name, ".tav.%08x.tmp", static_cast<unsigned>(random()));
  return name;
}

// Everything up to and including the last separator; empty for a bare name.
std::string DirectoryPrefix(const std::string& path) {
#ifdef _WIN32
  const auto end = path.find_last_of("\\/");
#else
  const auto end = path.rfind('/');
#endif
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

}  // namespace

int AtomicFileWriter::Fail(int error) {
  error_ = error != 0 ? error : EIO;
  return error_;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (inPlace_) {
    pending_.append(bytes);
    return true;
  }
  const int error = WriteOpen(bytes);
  if (error != 0) Fail(error);
  return error == 0;
}

bool ReplaceFileContents(const std::string& path, std::string_view content) {
  AtomicFileWriter writer;
  return writer.Open(path) == 0 && writer.Write(content) && writer.Commit() == 0;
}

#ifdef _WIN32

namespace {

// The errno value the file-open message has a text for.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return EINVAL;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    default: return EIO;
  }
}

// GetFinalPathNameByHandleW answers with a "\\?\" prefix, which the wide
// functions accept; a UNC path comes as "\\?\UNC\server\share".
std::wstring FinalPath(HANDLE handle, const std::wstring& fallback) {
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD n = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
  if (n == 0) return fallback;
  std::wstring path(n, L'\0');
  const DWORD written = GetFinalPathNameByHandleW(handle, path.data(), n, flags);
  if (written == 0 || written >= n) return fallback;
  path.resize(written);
  return path;
}

// Gives the temporary file the attributes and the access list of the file
// it replaces, so that the rename changes the content only. Best effort: a
// file whose list cannot be read keeps the one it inherited.
void CopyAccessRights(const std::wstring& from, std::wstring& to) {
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    SetFileAttributesW(to.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    what |= (control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION;
  }
  SetNamedSecurityInfoW(to.data(), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
}

// 0 or the errno of the failed write.
int WriteAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? DWORD(1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return ErrnoOf(GetLastError());
    bytes.remove_prefix(written);
  }
  return 0;
}

// The whole content of an open file from its current position; false when
// it cannot be read.
bool ReadAll(HANDLE handle, std::string& content) {
  char buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) return true;
    content.append(buffer, got);
  }
}

bool Rewind(HANDLE handle) { return SetFilePointer(handle, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER; }

}  // namespace

int AtomicFileWriter::Open(const std::string& path) {
  Discard();
  error_ = 0;
  targetExists_ = false;
  targetRegular_ = true;
  const std::wstring requested = WidePath(path);
  std::wstring target = requested;
  const DWORD full = GetFullPathNameW(requested.c_str(), 0, nullptr, nullptr);
  if (full > 0) {
    std::wstring buffer(full, L'\0');
    const DWORD n = GetFullPathNameW(requested.c_str(), full, buffer.data(), nullptr);
    if (n > 0 && n < full) target.assign(buffer.data(), n);
  }

  // Opened for its attributes only: links are followed, any sharing mode of
  // another program is respected, and a directory opens too.
  HANDLE probe = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    targetExists_ = true;
    targetRegular_ = GetFileType(probe) == FILE_TYPE_DISK;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = targetRegular_ && GetFileInformationByHandle(probe, &info) != 0;
    if (targetRegular_) target = FinalPath(probe, target);
    CloseHandle(probe);
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(EISDIR);
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return Fail(EACCES);
  } else {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return Fail(ErrnoOf(error));
  }
  target_ = Utf8FromWide(target);

  auto openInPlace = [&] {
    inPlace_ = true;
    return 0;
  };
  // A device or pipe cannot be replaced by a file.
  if (targetExists_ && !targetRegular_) return openInPlace();

  std::random_device random;
  const std::string directory = DirectoryPrefix(target_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = directory + TemporaryName(random);
    HANDLE handle = CreateFileW(WidePath(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      temp_ = candidate;
      return 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && targetExists_) return openInPlace();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return Fail(ErrnoOf(error));
  }
  return Fail(EEXIST);
}

int AtomicFileWriter::WriteOpen(std::string_view bytes) {
  return handle_ == nullptr ? EBADF : WriteAll(static_cast<HANDLE>(handle_), bytes);
}

int AtomicFileWriter::CommitInPlace() {
  inPlace_ = false;
  const std::string content = std::move(pending_);
  pending_.clear();
  const DWORD access = targetRegular_ ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
  HANDLE handle = CreateFileW(WidePath(target_).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(ErrnoOf(GetLastError()));
  std::string previous;
  const bool kept = targetRegular_ && ReadAll(handle, previous);
  int error = targetRegular_ && !Rewind(handle) ? ErrnoOf(GetLastError()) : 0;
  if (error == 0) error = WriteAll(handle, content);
  if (targetRegular_) {
    if (error == 0 && !SetEndOfFile(handle)) error = ErrnoOf(GetLastError());
    if (error == 0 && !FlushFileBuffers(handle)) error = ErrnoOf(GetLastError());
    // Over the clusters the file still has, the old content fits again; a
    // restore that fails is reported in place of the first error, as on POSIX.
    if (error != 0 && kept) {
      int restore = Rewind(handle) ? WriteAll(handle, previous) : ErrnoOf(GetLastError());
      if (restore == 0 && !SetEndOfFile(handle)) restore = ErrnoOf(GetLastError());
      if (restore != 0) error = restore;
    }
  }
  if (!CloseHandle(handle) && error == 0) error = ErrnoOf(GetLastError());
  return error != 0 ? Fail(error) : 0;
}

int AtomicFileWriter::Commit() {
  if (inPlace_) return CommitInPlace();
  if (handle_ == nullptr) return Fail(EBADF);
  HANDLE handle = static_cast<HANDLE>(handle_);
  handle_ = nullptr;
  const bool flushed = !targetRegular_ || FlushFileBuffers(handle) != 0;
  const DWORD flushError = flushed ? 0 : GetLastError();
  if (!CloseHandle(handle) && flushed) return Fail(ErrnoOf(GetLastError()));
  if (!flushed) return Fail(ErrnoOf(flushError));
  if (temp_.empty()) return 0;  // written in place

  std::wstring temp = WidePath(temp_);
  const std::wstring target = WidePath(target_);
  if (targetExists_) CopyAccessRights(target, temp);
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return Fail(ErrnoOf(GetLastError()));
  }
  temp_.clear();
  return 0;
}

void AtomicFileWriter::Discard() {
  inPlace_ = false;
  pending_.clear();
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  if (!temp_.empty()) DeleteFileW(WidePath(temp_).c_str());
  temp_.clear();
}

#else  // POSIX

namespace {

// 0 or the errno of the failed write.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace

int AtomicFileWriter::Open(const std::string& path) {
  namespace fs = std::filesystem;
  Discard();
  error_ = 0;
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  target_ = ec ? path : resolved.string();
  const fs::file_status status = fs::status(target_, ec);
  targetExists_ = !ec && fs::exists(status);
  targetRegular_ = !targetExists_ || fs::is_regular_file(status);
  if (targetExists_ && fs::is_directory(status)) return Fail(EISDIR);
  // Renaming over a file needs only the directory's permission; the file's
  // own protection must still count.
  if (targetExists_ && ::access(target_.c_str(), W_OK) != 0) return Fail(errno);

  auto openInPlace = [&] {
    inPlace_ = true;
    return 0;
  };
  // A device or pipe cannot be replaced by a file.
  if (!targetRegular_) return openInPlace();

  std::random_device random;
  const std::string directory = DirectoryPrefix(target_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = directory + TemporaryName(random);
    // O_EXCL: never reuse a file that happens to exist.
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = candidate;
      return 0;
    }
    if (errno == EACCES && targetExists_) return openInPlace();
    if (errno != EEXIST) return Fail(errno);
  }
  return Fail(EEXIST);
}

int AtomicFileWriter::WriteOpen(std::string_view bytes) { return fd_ < 0 ? EBADF : WriteAll(fd_, bytes); }

int AtomicFileWriter::CommitInPlace() {
  inPlace_ = false;
  const std::string content = std::move(pending_);
  pending_.clear();
  std::string previous;
  bool kept = false;
  if (targetRegular_) {
    std::ifstream in(target_, std::ios::binary);
    if (in) previous.assign(std::istreambuf_iterator<char>(in), {});
    kept = !in.fail();
  }
  const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  int error = WriteAll(fd, content);
  if (targetRegular_) {
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    // Over the blocks the file still has, the old content fits again. When
    // it cannot be put back whole (a longer new content cannot be cut off),
    // the file is neither old nor new: the restore's own errno is reported,
    // as the first one would promise an untouched file.
    if (error != 0 && kept) {
      int restore = ::lseek(fd, 0, SEEK_SET) == 0 ? WriteAll(fd, previous) : errno;
      if (restore == 0 && ::ftruncate(fd, static_cast<off_t>(previous.size())) != 0) restore = errno;
      if (restore != 0) error = restore;
    }
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  return error != 0 ? Fail(error) : 0;
}

int AtomicFileWriter::Commit() {
  if (inPlace_) return CommitInPlace();
  if (fd_ < 0) return Fail(EBADF);
  // The replacement keeps the rights of the file it replaces; a new file
  // has the usual rights of the user's umask.
  struct stat previous {};
  if (!temp_.empty() && targetExists_ && ::stat(target_.c_str(), &previous) == 0) {
    ::fchmod(fd_, previous.st_mode & 07777);
  }
  const int fd = fd_;
  fd_ = -1;
  const bool synced = !targetRegular_ || ::fsync(fd) == 0;
  const int syncError = errno;
  if (::close(fd) != 0 && synced) return Fail(errno);
  if (!synced) return Fail(syncError);
  if (temp_.empty()) return 0;  // written in place

  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temp_.clear();
  // Makes the rename itself durable; the content is on the disk already.
  const std::string directory = DirectoryPrefix(target_);
  const int dir = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

void AtomicFileWriter::Discard() {
  inPlace_ = false;
  pending_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

#endif

}  // namespace tav
