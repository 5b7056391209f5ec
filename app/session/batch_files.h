// SPDX-License-Identifier: GPL-2.0-or-later
// The two files of a production run. The serial file holds the next serial
// number and is replaced durably before a chip is burnt, so that no crash
// can hand one number to two chips. The log gets one CSV line per chip,
// forced to the disk before the next chip is asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tav {

class Feedback;

// The next number from `path`: nothing when the file does not exist. 0, or
// kBatchRefused after a message naming the file and line.
int ReadSerialFile(const std::string& path, Feedback& feedback, std::optional<uint64_t>& next);
// Replaces the file with `next`, on the disk when this returns 0; otherwise
// kBatchRefused after the message, and the file is as it was.
int StoreSerialFile(const std::string& path, uint64_t next, Feedback& feedback);

inline constexpr const char* kBatchLogHeader =
    "Zeit,Nr,Baustein,Programmdatei,CRC-32,Seriennummer,Code,Ergebnis,Sekunden";

// One chip as the log keeps it.
struct ChipLogEntry {
  std::string time;  // ISO 8601, UTC
  uint32_t number = 0;
  std::string device;
  std::string programFile;
  uint32_t crc = 0;
  std::optional<uint64_t> serial;
  int code = 0;
  std::string text;
  double seconds = 0;
};

std::string LogLine(const ChipLogEntry& entry);
// The time now as "2026-12-07T10:20:31Z".
std::string IsoTimeNow();

// Appends `line` (or, with an empty line, only makes sure the file can take
// lines), with the header first when the file is new or empty, and forces
// it to the disk. 0, or kBatchRefused after a message naming the file.
int AppendLogLine(const std::string& path, const std::string& line, Feedback& feedback);

}  // namespace tav
