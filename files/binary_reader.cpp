// Raw bytes from address 0, in one piece.
#include <algorithm>

#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

int BinaryReader::Read(ReadContext& context) {
  uint64_t length = 0;
  if (!context.file.Length(length)) {
    ShowFileOpenError(context.feedback, context.path, context.file.ErrorNumber());
    return kFileFailed;
  }
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
  if (got == 0 || context.file.Failed()) {
    // An empty file gets the file-open message too; no error number then.
    ShowFileOpenError(context.feedback, context.path, context.file.ErrorNumber());
    return kFileFailed;
  }
  context.image.ByteCount = static_cast<uint32_t>(got);
  context.image.HighestAddress = static_cast<uint32_t>(got - 1);
  return kSuccess;
}

bool BinaryReader::Recognises(FormatProbe& probe) {
  const std::string_view line = probe.Line();
  for (size_t i = 0; i + 2 < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c > 0x7F) return true;
  }
  return false;
}

}  // namespace tav
