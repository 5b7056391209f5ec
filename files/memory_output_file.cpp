// SPDX-License-Identifier: GPL-2.0-or-later
#include "files/output_file.h"

namespace tav {

bool MemoryOutputFile::Write(std::string_view data) {
  ++writes;
  if (failFrom_ != 0 && writes >= failFrom_) return false;
  bytes.append(data);
  return true;
}

}  // namespace tav
