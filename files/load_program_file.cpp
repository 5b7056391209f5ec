// SPDX-License-Identifier: GPL-2.0-or-later
// Loading a program file: reading it into memory, recognising its format
// from the first lines, running the format's reader and checking that the
// data fits the device.
#include <cerrno>
#include <cstdio>

#include "files/format_probe.h"
#include "files/input_file.h"
#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

namespace {

// Reads the whole file; false after the message.
bool OpenProgramFile(InputFile& file, const std::string& path, Feedback& feedback) {
  const int error = file.Open(path, true);
  if (error == EFBIG) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "\n\nist zu groß für eine Programmdatei\n(mehr als %lu MiB).",
                  static_cast<unsigned long>(InputFile::kMaxSize >> 20));
    feedback.ShowInfo("Die Datei\n\n" + path + limit);
  } else if (error != 0) {
    // A directory or an unreadable file: nothing can be recognised.
    ShowFileOpenError(feedback, path, error);
  }
  return error == 0;
}

// The format whose recogniser claims one of the first two lines that hold
// anything; 0 after a message when these lines are text of no format.
int Detect(InputFile& file, const std::string& path, Feedback& feedback) {
  file.Rewind(true);
  const std::span<const FileFormatInfo> formats = FileFormats();
  // At most two lines are examined; a recogniser that looks at the line
  // after its own uses up the second.
  FormatProbe probe(file);
  while (probe.Examined() < 2 && probe.Advance()) {
    for (const FileFormatInfo& format : formats) {
      if (format.recognises(probe)) return format.number;
    }
  }
  // Text of no known format is never taken for raw bytes: a source file or
  // a note would be burnt as its characters. A file of at most two bytes
  // shows nothing to tell (the last two characters of a line may be its
  // end) and stays raw bytes; the binary reader refuses an empty one.
  if (file.Length() <= 2) return formats.front().number;
  feedback.ShowInfo("Unbekanntes Dateiformat:\n\n" + path +
                    "\n\nDie ersten Zeilen sind Text, aber keine Records\n"
                    "der Formate Intel, Motorola, MOS Technology\noder Tektronix.");
  return 0;
}

}  // namespace

int DetectFileFormat(const std::string& path, Feedback& feedback) {
  InputFile file;
  return OpenProgramFile(file, path, feedback) ? Detect(file, path, feedback) : 0;
}

int LoadProgramFile(const std::string& path, uint32_t sizeBytes, bool testChecksum, ProgramImage& image,
                    int32_t& dataFormat, Feedback& feedback, int32_t forcedFormat) {
  image.ByteCount = 0;
  dataFormat = 0;
  // Read once: a pipe gives its bytes only once, to detection and reader alike.
  InputFile file;
  if (!OpenProgramFile(file, path, feedback)) return kFileFailed;
  dataFormat = forcedFormat != 0 ? forcedFormat : Detect(file, path, feedback);
  const FileFormatInfo* format = FindFileFormat(dataFormat);
  if (!format) return kFileFailed;

  file.Rewind(format->textMode);
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
