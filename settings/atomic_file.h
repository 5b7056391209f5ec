// Replacing a file so that it is never seen half-written.
#pragma once

#include <string>

namespace tav {

// Writes `content` to a temporary file beside `path`, flushes it to the disk
// and renames it over `path`. Returns false when any step failed; the file at
// `path` is then untouched and no temporary file remains.
bool ReplaceFileContents(const std::string& path, const std::string& content);

}  // namespace tav
