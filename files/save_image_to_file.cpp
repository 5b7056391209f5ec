// SPDX-License-Identifier: GPL-2.0-or-later
// Saving the image through the atomic file writer, so that a refused or
// failed save never costs the user the previous file.
#include <algorithm>
#include <cstdio>

#include "files/program_files.h"
#include "files/writers.h"
#include "settings/atomic_file.h"

namespace tav {

namespace {

// The writers' output on the disk: each Write is one piece, so a failure
// belongs to the line that caused it.
class DiskOutputFile : public OutputFile {
public:
  int Open(const std::string& path) { return writer_.Open(path); }
  bool Write(std::string_view bytes) override { return writer_.Write(bytes); }
  int ErrorNumber() const override { return writer_.ErrorNumber(); }
  int Commit() { return writer_.Commit(); }

private:
  AtomicFileWriter writer_;
};

}  // namespace

int SaveImageToFile(const std::string& path, int32_t dataFormat, uint32_t sizeBytes, uint32_t hexLineLen,
                    bool ffSave, const ProgramImage& image, Feedback& feedback) {
  const FileFormatInfo* format = FindFileFormat(dataFormat);
  if (!format) {
    char text[64];
    std::snprintf(text, sizeof text, "Unbekanntes Dateiformat %d\nfür die Datei\n\n", static_cast<int>(dataFormat));
    feedback.ShowInfo(std::string(text).append(path));
    return kWriteFailed;
  }
  DiskOutputFile out;
  if (int error = out.Open(path); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kWriteFailed;
  }
  WriteContext context{out,       feedback, path,   image, std::min<uint32_t>(sizeBytes, ProgramImage::kSize),
                       hexLineLen, ffSave,  format->number};
  if (format->write(context) != kSuccess) return kWriteFailed;  // `out` removes the partial file
  if (int error = out.Commit(); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kWriteFailed;
  }
  return kSuccess;
}

}  // namespace tav
