// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/session/batch_files.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/feedback.h"
#include "base/result_codes.h"
#include "settings/atomic_file.h"
#include "settings/native_path.h"

namespace tav {

namespace {

// A serial file is one short line; anything longer is not one.
constexpr size_t kMaxSerialFile = 64;

int Refuse(Feedback& feedback, const std::string& text) {
  feedback.ShowInfo(text);
  return kBatchRefused;
}

std::string SerialFileText(const std::string& path) { return "Seriennummerndatei '" + path + "'"; }

// Quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Forces what was written to `file` onto the disk.
bool SyncToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

int ReadSerialFile(const std::string& path, Feedback& feedback, std::optional<uint64_t>& next) {
  next.reset();
  std::error_code error;
  if (!std::filesystem::exists(NativePath(path), error)) return kSuccess;
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    return Refuse(feedback, SerialFileText(path) + " kann nicht gelesen werden: " + std::strerror(errno));
  }
  char buffer[kMaxSerialFile + 1];
  const size_t length = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const bool digits = !text.empty() && text.size() <= 19 && length <= kMaxSerialFile &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits) {
    return Refuse(feedback, SerialFileText(path) + ", Zeile 1: keine Seriennummer (erwartet: eine Zahl, "
                                                   "die nächste Seriennummer).");
  }
  next = std::strtoull(text.c_str(), nullptr, 10);
  return kSuccess;
}

int StoreSerialFile(const std::string& path, uint64_t next, Feedback& feedback) {
  AtomicFileWriter writer;
  const std::string text = std::to_string(next) + "\n";
  int error = writer.Open(path);
  if (error == 0 && !writer.Write(text)) error = writer.ErrorNumber();
  if (error == 0) error = writer.Commit();
  if (error == 0) return kSuccess;
  return Refuse(feedback, SerialFileText(path) + " kann nicht geschrieben werden: " + std::strerror(error) +
                              "\n\nDer Lauf endet, damit keine Seriennummer doppelt vergeben wird.");
}

std::string LogLine(const ChipLogEntry& entry) {
  char crc[16], seconds[32];
  std::snprintf(crc, sizeof crc, "%08" PRIX32, entry.crc);
  std::snprintf(seconds, sizeof seconds, "%.3f", entry.seconds);
  return entry.time + "," + std::to_string(entry.number) + "," + CsvField(entry.device) + "," +
         CsvField(entry.programFile) + "," + crc + "," + (entry.serial ? std::to_string(*entry.serial) : "") + "," +
         std::to_string(entry.code) + "," + CsvField(entry.text) + "," + seconds;
}

std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

int AppendLogLine(const std::string& path, const std::string& line, Feedback& feedback) {
  std::FILE* file = OpenFile(path, "ab");
  if (file == nullptr) {
    return Refuse(feedback, "Protokoll '" + path + "' kann nicht geschrieben werden: " + std::strerror(errno));
  }
  // Appending, the position starts at the end: 0 means a new or empty file.
  std::fseek(file, 0, SEEK_END);
  std::string text;
  if (std::ftell(file) == 0) text = std::string(kBatchLogHeader) + "\n";
  if (!line.empty()) text += line + "\n";
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && SyncToDisk(file);
  const int error = errno;
  if (std::fclose(file) != 0 || !written) {
    return Refuse(feedback, "Protokoll '" + path + "' kann nicht geschrieben werden: " +
                                std::strerror(written ? errno : error));
  }
  return kSuccess;
}

}  // namespace tav
