// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdio>

#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

void ReadContext::Begin() {
  lineNumber = 0;
  image.ByteCount = 0;
  image.HighestAddress = 0;
}

bool ReadContext::NextLine(std::string_view& line) {
  if (!file.ReadLine(line)) return false;
  ++lineNumber;
  return true;
}

void ReadContext::Store(uint64_t address, uint8_t value) {
  image.Store(address > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(address), value);
}

int ReadContext::RefuseLineStart() {
  char text[128];
  std::snprintf(text, sizeof text, "Zeilenanfang in Zeile %lu\nder Hex-Datei nicht gefunden !",
                static_cast<unsigned long>(lineNumber));
  feedback.ShowInfo(text);
  return kFileFailed;
}

int ReadContext::RefuseLength(size_t actual, size_t required) {
  char text[160];
  std::snprintf(text, sizeof text, "Länge der HEX-Zeile %lu stimmt nicht !\n\nGelesen %ld\nBerechnet %ld\n",
                static_cast<unsigned long>(lineNumber), static_cast<long>(actual),
                static_cast<long>(required));
  feedback.ShowInfo(text);
  return kFileFailed;
}

int ReadContext::RefuseNonHex(size_t pos) {
  char text[128];
  std::snprintf(text, sizeof text, "Keine Hexziffer in Zeile %lu, Spalte %lu\nder Hex-Datei !\n\n",
                static_cast<unsigned long>(lineNumber), static_cast<unsigned long>(pos + 1));
  feedback.ShowInfo(text + path);
  return kFileFailed;
}

int ReadContext::CheckHex(const RecordLine& line, size_t pos, size_t width) {
  const size_t bad = line.FirstNonHex(pos, width);
  return bad == RecordLine::npos ? kSuccess : RefuseNonHex(bad);
}

bool ReadContext::ChecksumRefused(uint32_t read, uint32_t computed) {
  if (read == computed || !testChecksum) return false;
  char text[160];
  std::snprintf(text, sizeof text, "Prüfsumme der HEX-Zeile %lu stimmt nicht !\n\nGelesen 0x%04X\nBerechnet 0x%04X\n",
                static_cast<unsigned long>(lineNumber), read, computed);
  feedback.ShowInfo(text);
  return true;
}

}  // namespace tav
