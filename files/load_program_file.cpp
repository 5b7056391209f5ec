// Loading a program file: recognising its format from the first lines,
// running the format's reader and checking that the data fits the device.
#include <cstdio>

#include "files/format_probe.h"
#include "files/input_file.h"
#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

int DetectFileFormat(const std::string& path, Feedback& feedback) {
  InputFile file;
  if (int error = file.Open(path, true); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return 0;
  }
  const std::span<const FileFormatInfo> formats = FileFormats();
  int result = 0;
  // At most two lines are examined; a recogniser that looks at the line
  // after its own uses up the second.
  FormatProbe probe(file);
  while (result == 0 && probe.Examined() < 2 && probe.Advance()) {
    for (const FileFormatInfo& format : formats) {
      if (format.recognises(probe)) {
        result = format.number;
        break;
      }
    }
  }
  if (file.Failed()) {
    // A directory or an unreadable file: nothing can be recognised.
    ShowFileOpenError(feedback, path, file.ErrorNumber());
    return 0;
  }
  // What no format claims is taken for raw bytes.
  return result == 0 ? formats.front().number : result;
}

int LoadProgramFile(const std::string& path, uint32_t sizeBytes, bool testChecksum, ProgramImage& image,
                    int32_t& dataFormat, Feedback& feedback, int32_t forcedFormat) {
  image.ByteCount = 0;
  dataFormat = forcedFormat != 0 ? forcedFormat : DetectFileFormat(path, feedback);
  const FileFormatInfo* format = FindFileFormat(dataFormat);
  if (!format) return kFileFailed;

  InputFile file;
  if (int error = file.Open(path, format->textMode); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kFileFailed;
  }
  image.PrepareForLoad();
  ReadContext context{file, image, feedback, path, sizeBytes, testChecksum};
  if (format->read(context) != kSuccess) return kFileFailed;

  if (sizeBytes < image.ByteCount || sizeBytes <= image.HighestAddress) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "Zuviele Programmdaten für diesen Controller-Typ !\n\nErlaubt: %lu Bytes\nGelesen: %lu Bytes\n\n"
                  "Höchste erlaubte Adresse: %lu\nHöchste gefundene Adresse: %lu\n",
                  static_cast<unsigned long>(sizeBytes), static_cast<unsigned long>(image.ByteCount),
                  static_cast<unsigned long>(sizeBytes - 1), static_cast<unsigned long>(image.HighestAddress));
    feedback.ShowInfo(text);
    return kFileFailed;
  }
  return kSuccess;
}

}  // namespace tav
