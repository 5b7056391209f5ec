// SPDX-License-Identifier: GPL-2.0-or-later
// Raw bytes from address 0, in one piece.
#include <algorithm>

#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

int BinaryReader::Read(ReadContext& context) {
  const uint64_t length = context.file.Length();
  if (length > context.sizeBytes) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "Zuviele Daten für diesen Baustein !\n\nMaximale Anzahl Bytes: %lu\nAnzahl Bytes in Brenndatei: %lu\n",
                  static_cast<unsigned long>(context.sizeBytes), static_cast<unsigned long>(length));
    context.feedback.ShowInfo(text);
    return kFileFailed;
  }
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, ProgramImage::kSize));
  const size_t got = context.file.Read(context.image.Bytes.data(), wanted);
  if (got == 0) {
    // An empty file gets the file-open message too; no error number then.
    ShowFileOpenError(context.feedback, context.path, 0);
    return kFileFailed;
  }
  context.image.ByteCount = static_cast<uint32_t>(got);
  context.image.HighestAddress = static_cast<uint32_t>(got - 1);
  return kSuccess;
}

namespace {

// The length of the UTF-8 sequence that starts at `i`, or 0 when the bytes
// there are none (a lone continuation byte, a cut or overlong sequence).
size_t Utf8Length(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) return 0;
  return n;
}

}  // namespace

bool BinaryReader::Recognises(FormatProbe& probe) {
  // Text is printable ASCII, tabs and UTF-8, with a few stray bytes of an
  // 8-bit code page at most (a source file with a comment in German is
  // text, not a program image). Machine code has control characters in
  // nearly every line, and blank cells are nothing but 0xFF.
  const std::string_view line = probe.Line();
  size_t examined = 0;
  size_t stray = 0;
  for (size_t i = 0; i + 2 < line.size(); ++i, ++examined) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c == '\t' || (c >= 0x20 && c <= 0x7F)) continue;
    if (c < 0x20) return true;
    const size_t n = Utf8Length(line, i);
    if (n == 0) ++stray;
    else i += n - 1;
  }
  return stray * 4 > examined;
}

}  // namespace tav
