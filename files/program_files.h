// SPDX-License-Identifier: GPL-2.0-or-later
// Loading program files into the ProgramImage and saving it again: the entry
// points the window, the command line and the device operations call. They
// take the plain values they need, not the records those values live in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "files/program_image.h"

namespace tav {

struct ReadContext;
struct WriteContext;
class FormatProbe;

// The kinds of hex record the writers build; Binary for raw bytes.
enum class RecordKind { Binary, Intel, S1, S2, S3, MosTechnology, Tektronix };

// Everything there is to know about one file format, in one entry of the
// format table: a new format is one more entry and, where its records are
// new, their reader, recogniser and layout.
struct FileFormatInfo {
  int number;                 // 1..9, the value of the DataFormat setting
  const char* name;           // "Binär", "Intel8", ...: the save dialog's entry
  const char* key;            // command-line key: "bin", "intel8", ...
  const char* extension;      // "bin" or "hex"
  bool textMode;              // read as text (CR LF arrives as LF)
  RecordKind recordKind;      // the data records written
  const char* headerLines[2]; // fixed lines before the data, nullptr when none
  bool emptyRecordFirst;      // an empty record of the kind after the header
  const char* endLine;        // fixed line after the data, nullptr when none
  // Whether the line under examination marks a file of this format; may
  // look at the following line. The first entry (binary) also takes an
  // empty file, which its reader refuses.
  bool (*recognises)(FormatProbe& probe);
  int (*read)(ReadContext& context);    // 0, or kFileFailed after its message
  int (*write)(WriteContext& context);  // 0, or kWriteFailed after its message
};

// The format table, in the order of the numbers.
std::span<const FileFormatInfo> FileFormats();
// The format with this number, or nullptr.
const FileFormatInfo* FindFileFormat(int number);
// The format with this command-line key (case-insensitive), or nullptr.
const FileFormatInfo* FindFileFormatByKey(std::string_view key);

// Loads the file at `path` into `image`, reading it once and recognising the
// format from the content; its number goes to `dataFormat` (0 when the file
// cannot be read or is text of no known format; kept when the load fails
// later). Refuses data that does not fit a
// device of `sizeBytes`; with `testChecksum` a line with a wrong checksum is
// refused. Returns 0, or kFileFailed after showing the cause. A
// `forcedFormat` other than 0 is used instead of recognising the format.
int LoadProgramFile(const std::string& path, uint32_t sizeBytes, bool testChecksum, ProgramImage& image,
                    int32_t& dataFormat, Feedback& feedback, int32_t forcedFormat = 0);

// The format number 1..9 of the file, or 0 after the message when the file
// cannot be opened or read, or when its first lines are text of no format.
int DetectFileFormat(const std::string& path, Feedback& feedback);

// "Fehler beim Öffnen der Datei" with the path and the text for the error,
// in a plain box. `platformErrno` is this platform's errno value.
void ShowFileOpenError(Feedback& feedback, const std::string& path, int platformErrno);

// The German text shown for an errno value of this platform.
std::string FileErrorText(int platformErrno);

// Writes image bytes 0 .. sizeBytes - 1 to `path` in format `dataFormat`,
// `hexLineLen` data bytes a record, records of empty cells too with
// `ffSave`. The previous file is replaced only when the whole new file has
// been written. Returns 0, or kWriteFailed after the message.
int SaveImageToFile(const std::string& path, int32_t dataFormat, uint32_t sizeBytes, uint32_t hexLineLen,
                    bool ffSave, const ProgramImage& image, Feedback& feedback);

}  // namespace tav
