#include "files/format_probe.h"

namespace tav {

bool FormatProbe::Advance() {
  std::string_view line;
  if (!file_.ReadLine(line)) return false;
  // A copy: the file's line buffer is reused by the next read.
  line_.assign(line);
  followingRead_ = false;
  hasFollowing_ = false;
  ++examined_;
  return true;
}

bool FormatProbe::Following(size_t pos, char& c) {
  if (!followingRead_) {
    followingRead_ = true;
    ++examined_;
    std::string_view line;
    hasFollowing_ = file_.ReadLine(line);
    following_.assign(line);
  }
  if (!hasFollowing_) return false;
  c = pos < following_.size() ? following_[pos] : '\0';
  return true;
}

}  // namespace tav
