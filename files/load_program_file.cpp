// Loading a program file: recognising its format from the first lines,
// running the format's reader and checking that the data fits the device.
#include <cstdio>

#include "files/input_file.h"
#include "files/program_files.h"
#include "files/readers.h"

namespace tav {

namespace {
// A line of binary data: a control or non-ASCII character anywhere but in
// the last two places, where a line end may stand.
bool LooksBinary(std::string_view line) {
  for (size_t i = 0; i + 2 < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c > 0x7F) return true;
  }
  return false;
}

char CharAt(std::string_view line, size_t pos) { return pos < line.size() ? line[pos] : '\0'; }
}  // namespace

int DetectFileFormat(const std::string& path, Feedback& feedback) {
  InputFile file;
  if (int error = file.Open(path, true); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return 0;
  }
  int result = 0;
  std::string_view line;
  for (int examined = 0; result == 0 && examined < 2 && file.ReadLine(line); ++examined) {
    if (LooksBinary(line)) {
      result = 1;
    } else if (line[0] == ':') {
      switch (CharAt(line, 8)) {
        case '0': result = 2; break;
        case '4': result = 3; break;
        case '2':
          // An extended segment record first: a following extended linear
          // record makes it Intel32; without a second line nothing is known.
          result = 4;
          ++examined;
          if (!file.ReadLine(line)) result = 0;
          else if (CharAt(line, 8) == '4') result = 3;
          break;
        default: break;
      }
    } else if (line[0] == ';') {
      result = 8;
    } else if (line[0] == '/') {
      result = 9;
    } else if (line[0] == 'S') {
      const char type = CharAt(line, 1);
      if (type >= '1' && type <= '3') result = 5 + (type - '1');
    }
  }
  if (file.Failed()) {
    // A directory or an unreadable file: nothing can be recognised.
    ShowFileOpenError(feedback, path, file.ErrorNumber());
    return 0;
  }
  return result == 0 ? 1 : result;
}

int LoadProgramFile(Settings& settings, const DeviceRecord& device, ProgramImage& image, Feedback& feedback) {
  const std::string& path = settings.ProgramFilePath;
  image.ByteCount = 0;
  settings.DataFormat = DetectFileFormat(path, feedback);
  const FileFormatInfo* format = FindFileFormat(settings.DataFormat);
  if (!format) return kFileFailed;

  InputFile file;
  if (int error = file.Open(path, format->textMode); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kFileFailed;
  }
  image.PrepareForLoad();
  ReadContext context{file, image, feedback, path, device.SizeBytes, settings.TestChecksum == 1};
  if (format->read(context) != kSuccess) return kFileFailed;

  if (device.SizeBytes < image.ByteCount || device.SizeBytes <= image.HighestAddress) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "Zuviele Programmdaten für diesen Controller-Typ !\n\nErlaubt: %lu Bytes\nGelesen: %lu Bytes\n\n"
                  "Höchste erlaubte Adresse: %lu\nHöchste gefundene Adresse: %lu\n",
                  static_cast<unsigned long>(device.SizeBytes), static_cast<unsigned long>(image.ByteCount),
                  static_cast<unsigned long>(device.SizeBytes - 1),
                  static_cast<unsigned long>(image.HighestAddress));
    feedback.ShowInfo(text);
    return kFileFailed;
  }
  return kSuccess;
}

}  // namespace tav
