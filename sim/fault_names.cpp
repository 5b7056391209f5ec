// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/fault_names.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace tav {

namespace {

bool ParseNumber(const std::string& text, uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text.c_str(), &end, 0);
  return errno == 0 && *end == '\0' && text[0] != '-';
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

}  // namespace

bool ApplyChipFault(const std::string& text, sim::ChipFaults& faults) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.empty()) return false;
  uint64_t a = 0, b = 0, c = 0;
  if (parts.size() == 1) {
    if (text == "empty-socket") faults.emptySocket = true;
    else if (text == "wrong-signature") faults.wrongSignature = true;
    else if (text == "not-blank") faults.notBlank = true;
    else return false;
    return true;
  }
  if (parts[0] == "stuck-bit" && parts.size() == 4 && ParseNumber(parts[1], a) && ParseNumber(parts[2], b) &&
      ParseNumber(parts[3], c) && a < 0x10000 && b < 8 && c < 2) {
    faults.stuckBit = sim::StuckBit{uint32_t(a), uint8_t(b), c == 1};
    return true;
  }
  if (parts[0] == "dead-cell" && parts.size() == 2 && ParseNumber(parts[1], a) && a < 0x10000) {
    faults.deadCell = uint32_t(a);
    return true;
  }
  if (parts[0] == "weak" && parts.size() == 2 && ParseNumber(parts[1], a) && a > 0 && a < 100000) {
    faults.neededPulses = uint32_t(a);
    return true;
  }
  return false;
}

std::string ApplyChipFaults(const std::vector<std::string>& texts, sim::ChipFaults& every,
                            std::map<uint32_t, sim::ChipFaults>& byChip) {
  // The faults of every chip first, so that chip N starts from them
  // wherever its own entries stand on the line.
  for (const std::string& text : texts) {
    if (text.find('@') == std::string::npos && !ApplyChipFault(text, every)) return text;
  }
  for (const std::string& text : texts) {
    const size_t at = text.rfind('@');
    if (at == std::string::npos) continue;
    uint64_t number = 0;
    if (!ParseNumber(text.substr(at + 1), number) || number == 0 || number > UINT32_MAX) return text;
    const auto entry = byChip.try_emplace(uint32_t(number), every).first;
    if (!ApplyChipFault(text.substr(0, at), entry->second)) return text;
  }
  return {};
}

bool ApplyBoardFault(const std::string& text, sim::BoardFaults& faults) {
  if (text == "no-board") faults.noBoard = true;
  else if (text == "handshake-low") faults.handshakeStuckLow = true;
  else if (text == "broken-latch") faults.brokenDataLatch = true;
  else {
    // silent-after:N (or =N): the board stops answering after N register writes.
    const size_t sep = text.find_first_of(":=");
    uint64_t writes = 0;
    if (sep == std::string::npos || text.compare(0, sep, "silent-after") != 0 ||
        !ParseNumber(text.substr(sep + 1), writes) || writes > INT64_MAX) {
      return false;
    }
    faults.silentAfterWrites = static_cast<int64_t>(writes);
  }
  return true;
}

}  // namespace tav
