// SPDX-License-Identifier: GPL-2.0-or-later
// The hex writer of the format table, its record loop, and the line
// bookkeeping of WriteContext.
#include <algorithm>
#include <cstdio>

#include "files/hex_line_builder.h"
#include "files/program_files.h"
#include "files/writers.h"

namespace tav {

bool WriteContext::WriteLine(std::string_view line) {
  if (!out.Write(line)) return false;
  ++linesWritten;
  return true;
}

bool WriteContext::WriteFixedLine(std::string_view line, const char* what) {
  if (WriteLine(line)) return true;
  feedback.ShowInfo(what);
  ShowFileOpenError(feedback, path, out.ErrorNumber());
  return false;
}

void FormatRecord(RecordKind kind, uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  switch (kind) {
    case RecordKind::Binary:
      break;  // raw bytes have no records
    case RecordKind::Intel:
      FormatIntelRecord(address, data, n, line);
      break;
    case RecordKind::S1:
    case RecordKind::S2:
    case RecordKind::S3:
      FormatMotorolaRecord(kind, address, data, n, line);
      break;
    case RecordKind::MosTechnology:
      FormatMosTechnologyRecord(address, data, n, line);
      break;
    case RecordKind::Tektronix:
      FormatTektronixRecord(address, data, n, line);
      break;
  }
}

uint32_t MaxRecordData(RecordKind kind) {
  switch (kind) {
    case RecordKind::S1: return 0xFF - 3;
    case RecordKind::S2: return 0xFF - 4;
    case RecordKind::S3: return 0xFF - 5;
    default: return 0xFF;
  }
}

int EmitRecords(WriteContext& context, RecordKind kind, const uint8_t* data, uint32_t start, uint32_t length,
                uint8_t emptyValue) {
  // A record length of 0 would never end the loop; a settings file cannot
  // give one, but a caller's record could.
  const uint32_t lineLen = std::clamp<uint32_t>(context.hexLineLen, 1, MaxRecordData(kind));
  HexLineBuilder line;
  uint32_t remaining = length;
  uint32_t offset = 0;
  uint32_t address = start;
  do {
    const uint32_t n = std::min(remaining, lineLen);
    FormatRecord(kind, address, data + offset, n, line);
    const auto empties = static_cast<uint32_t>(std::count(data + offset, data + offset + n, emptyValue));
    if (empties < lineLen || context.ffSave) {
      if (!context.WriteLine(line.Text())) {
        char text[80];
        std::snprintf(text, sizeof text, "Hex-Zeile %lu\nkonnte nicht geschrieben werden",
                      static_cast<unsigned long>(context.linesWritten + 1));
        context.feedback.ShowInfo(text);
        return kWriteFailed;
      }
    }
    address += lineLen;
    offset += lineLen;
    remaining = remaining < lineLen ? 0 : remaining - lineLen;
  } while (remaining != 0);
  return kSuccess;
}

int WriteHexFile(WriteContext& context) {
  const FileFormatInfo* format = FindFileFormat(context.format);
  if (!format) return kWriteFailed;
  for (const char* header : format->headerLines) {
    if (header != nullptr && !context.WriteFixedLine(header, kHeaderNotWritten)) return kWriteFailed;
  }
  const RecordKind kind = format->recordKind;
  if (format->emptyRecordFirst && EmitRecords(context, kind, nullptr, 0, 0) != kSuccess) return kWriteFailed;
  if (EmitRecords(context, kind, context.image.Bytes.data(), 0, context.sizeBytes) != kSuccess) return kWriteFailed;
  if (format->endLine != nullptr && !context.WriteFixedLine(format->endLine, kEndNotWritten)) return kWriteFailed;
  return kSuccess;
}

}  // namespace tav
