// Loading program files into the ProgramImage and saving it again: the entry
// points the window, the command line and the device operations call.
#pragma once

#include <string>
#include <string_view>

#include "base/feedback.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "settings/settings.h"

namespace tav {

struct ReadContext;
struct WriteContext;

// One entry of the list of file formats. The numbers are those stored in the
// DataFormat setting; the names are the entries of the save dialog's list.
struct FileFormatInfo {
  int number;                       // 1..9
  const char* name;                 // "Binär", "Intel8", ...
  const char* key;                  // command-line key: "bin", "intel8", ...
  const char* extension;            // "bin" or "hex"
  bool textMode;                    // read as text (CR LF arrives as LF)
  int (*read)(ReadContext& context);    // 0, or 3 after its message
  int (*write)(WriteContext& context);  // 0, or 4 after its message
};

// The format with this number, or nullptr.
const FileFormatInfo* FindFileFormat(int number);
// The format with this command-line key (case-insensitive), or nullptr.
const FileFormatInfo* FindFileFormatByKey(std::string_view key);

// Loads settings.ProgramFilePath into `image`, recognising the format from
// the content and storing it in settings.DataFormat. Refuses data that does
// not fit `device`. Returns 0, or 3 after showing the cause.
int LoadProgramFile(Settings& settings, const DeviceRecord& device, ProgramImage& image,
                    Feedback& feedback);

// The format number 1..9 of the file, or 0 (after the file-open error
// message) when the file cannot be opened or read.
int DetectFileFormat(const std::string& path, Feedback& feedback);

// "Fehler beim Öffnen der Datei" with the path and the text for the error,
// in a plain box. `platformErrno` is this platform's errno value.
void ShowFileOpenError(Feedback& feedback, const std::string& path, int platformErrno);

// The German text shown for an errno value of this platform.
std::string FileErrorText(int platformErrno);

// Writes image bytes 0 .. device.SizeBytes - 1 to settings.ProgramFilePath
// in format settings.DataFormat. The previous file is replaced only when the
// whole new file has been written. Returns 0, or 4 after the message.
int SaveImageToFile(const Settings& settings, const DeviceRecord& device, const ProgramImage& image,
                    Feedback& feedback);

}  // namespace tav
