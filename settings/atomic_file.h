// Replacing a file so that it is never seen half-written.
#pragma once

#include <string>

namespace tav {

// Where a replacement of a file must go, and whether it may be made at all.
// Writing a temporary file and renaming it over the target needs only the
// directory's permission, so without these checks a write-protected file
// would be replaced anyway and a symbolic link would be replaced by a file.
struct ReplaceTarget {
  std::string path;     // the file that really changes (symbolic links resolved)
  bool exists = false;
  bool regular = true;  // false for a device or pipe: it can only be written in place
  int error = 0;        // the errno when it may not be written (EACCES, EISDIR, ...)
};
ReplaceTarget ResolveReplaceTarget(const std::string& path);

// Writes `content` to a temporary file beside `path`, flushes it to the disk
// and renames it over `path`. Returns false when any step failed or the file
// may not be written; the file at `path` is then untouched and no temporary
// file remains.
bool ReplaceFileContents(const std::string& path, const std::string& content);

}  // namespace tav
