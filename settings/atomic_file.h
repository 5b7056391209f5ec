// SPDX-License-Identifier: GPL-2.0-or-later
// Writing a file so that it is never seen half-written: the settings file
// and the program files both go through AtomicFileWriter.
//
// The new content goes to a temporary file beside the target (a short name
// of its own, so that a target name near the length limit still leaves room)
// and replaces the target only when all of it is on the disk; a failed or
// abandoned write leaves the previous file as it was and no temporary file
// behind. The rules a plain truncating open would apply still hold: symbolic
// links are followed and the file they name changes; a device or pipe is
// written in place; a write-protected file is refused; a directory where no
// new file may be made, but whose existing file may be written, gets that
// file written in place. The replacement keeps the access rights of the
// file it replaces.
//
// What is written in place is first collected in memory and reaches the
// target only at Commit, so a save that is refused or abandoned half-way
// leaves the old file as it was there too. At Commit a file is written over
// from its start and cut to the new length only when all of it is written;
// when that fails (a full disk), the old content is put back.
#pragma once

#include <string>
#include <string_view>

namespace tav {

class AtomicFileWriter {
public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter() { Discard(); }
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Prepares the output for `path` (UTF-8). 0, or the errno that keeps the
  // file from being written (EACCES for a write-protected file, EISDIR for a
  // directory, ...).
  int Open(const std::string& path);

  // Writes all of `bytes` with as few system calls as the system allows, so
  // that a failure belongs to the piece that caused it. False on failure;
  // ErrorNumber() then tells why.
  bool Write(std::string_view bytes);
  int ErrorNumber() const { return error_; }

  // Puts the written content in place of the target: flushed to the disk,
  // renamed over the target, the rename made durable. 0 or the errno; after
  // a failure the target is as it was.
  int Commit();

  // Drops what was written; the target stays as it was. Harmless when
  // nothing is open.
  void Discard();

private:
  int Fail(int error);
  // Commit for a target written in place.
  int CommitInPlace();
  // Writes to the open file: 0, or the errno (EBADF when none is open).
  int WriteOpen(std::string_view bytes);

  std::string target_;    // the file that really changes (links resolved)
  std::string temp_;      // the temporary file; empty when writing in place
  bool targetExists_ = false;
  bool targetRegular_ = true;
  bool inPlace_ = false;  // the target itself is written, at Commit
  std::string pending_;   // what Commit writes in place
  int error_ = 0;
#ifdef _WIN32
  void* handle_ = nullptr;  // HANDLE; nullptr when nothing is open
#else
  int fd_ = -1;
#endif
};

// Writes `content` with an AtomicFileWriter. False when the file may not be
// written or any step failed; the file at `path` is then untouched.
bool ReplaceFileContents(const std::string& path, std::string_view content);

}  // namespace tav
