// SPDX-License-Identifier: GPL-2.0-or-later
#include "files/format_probe.h"

namespace tav {

bool FormatProbe::NextLine(std::string& into) {
  std::string_view line;
  while (file_.ReadLine(line)) {
    if (line.find_first_not_of(" \t\n") == std::string_view::npos) continue;
    into.assign(line);
    ++examined_;
    return true;
  }
  return false;
}

bool FormatProbe::Advance() {
  followingRead_ = false;
  hasFollowing_ = false;
  return NextLine(line_);
}

bool FormatProbe::Following(size_t pos, char& c) {
  if (!followingRead_) {
    followingRead_ = true;
    hasFollowing_ = NextLine(following_);
  }
  if (!hasFollowing_) return false;
  c = pos < following_.size() ? following_[pos] : '\0';
  return true;
}

}  // namespace tav
