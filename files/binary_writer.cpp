// SPDX-License-Identifier: GPL-2.0-or-later
// Raw bytes from address 0. Without FFSave the trailing empty cells are
// left out, and an image of nothing but empty cells is refused.
#include "files/program_files.h"
#include "files/writers.h"

namespace tav {

int WriteBinary(WriteContext& context) {
  const uint8_t* bytes = context.image.Bytes.data();
  uint32_t length = context.sizeBytes;
  if (!context.ffSave) {
    while (length > 0 && bytes[length - 1] == ProgramImage::kBlank) --length;
    if (length == 0) {
      context.feedback.ShowInfo(
          "Der Baustein enthält nur Leerzellen !!\n\nSpeichervorgang abgebrochen.\n\n"
          "Wenn eine Leerzellen-Datei geschrieben werden\nsoll, ** Leerzellen speichern ** aktivieren !");
      return kWriteFailed;
    }
  }
  if (!context.out.Write(std::string_view(reinterpret_cast<const char*>(bytes), length))) {
    ShowFileOpenError(context.feedback, context.path, context.out.ErrorNumber());
    return kWriteFailed;
  }
  return kSuccess;
}

}  // namespace tav
