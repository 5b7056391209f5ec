// SPDX-License-Identifier: GPL-2.0-or-later
// The two writers of the format table and what they share: the record loop
// and the layouts of the hex records.
#pragma once

#include <cstdint>
#include <string>

#include "base/feedback.h"
#include "base/result_codes.h"
#include "files/output_file.h"
#include "files/program_files.h"
#include "files/program_image.h"

namespace tav {

struct WriteContext {
  OutputFile& out;
  Feedback& feedback;
  const std::string& path;  // named in the file error message
  const ProgramImage& image;
  uint32_t sizeBytes = 0;   // bytes 0 .. sizeBytes - 1 are written
  uint32_t hexLineLen = 32; // data bytes per record
  bool ffSave = false;      // write records made only of empty cells too
  int format = 0;           // 1..9
  uint32_t linesWritten = 0;

  // Writes one line and counts it; false when the write failed.
  bool WriteLine(std::string_view line);
  // A header or end line: on failure shows `what`, then the file error
  // message, and returns false.
  bool WriteFixedLine(std::string_view line, const char* what);
};

inline constexpr const char* kHeaderNotWritten = "Header-Record der HEX-Datei\nkonnte nicht geschrieben werden.";
inline constexpr const char* kEndNotWritten = "Endemarkierung der HEX-Datei\nkonnte nicht geschrieben werden.";

// Builds one record line (ending in CR LF) of the n bytes at `data`.
class HexLineBuilder;
void FormatRecord(RecordKind kind, uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line);
// The layouts, one per record family.
void FormatIntelRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line);
void FormatMotorolaRecord(RecordKind kind, uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line);
void FormatMosTechnologyRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line);
void FormatTektronixRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line);

// Most data bytes one record of the kind can hold: an S-record's count
// includes its address and checksum and must fit one byte.
uint32_t MaxRecordData(RecordKind kind);

// Cuts data[0 .. length - 1] into records of hexLineLen bytes (fewer for
// S-records whose count would not fit) and writes them from `start` on,
// leaving out full records made only of `emptyValue` unless ffSave is on.
// A length of 0 writes exactly one record without data. 0 or kWriteFailed.
int EmitRecords(WriteContext& context, RecordKind kind, const uint8_t* data, uint32_t start, uint32_t length,
                uint8_t emptyValue = ProgramImage::kBlank);

// Raw bytes, without the trailing empty cells unless ffSave is on.
int WriteBinary(WriteContext& context);
// The header lines of the format's table entry, its records and its end
// line. 0 or kWriteFailed.
int WriteHexFile(WriteContext& context);

}  // namespace tav
