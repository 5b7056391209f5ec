// Motorola S-records: the S0 header, for S2 and S3 an empty record of the
// kind, the data records and the end record that matches the kind.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

namespace {
struct MotorolaKind {
  RecordKind kind;
  const char* prefix;
  int addressDigits;
  const char* endLine;
};

const MotorolaKind* KindOfFormat(int format) {
  static constexpr MotorolaKind kKinds[] = {
      {RecordKind::S1, "S1", 4, "S9030000FC\r\n"},
      {RecordKind::S2, "S2", 6, "S804000000FB\r\n"},
      {RecordKind::S3, "S3", 8, "S70500000000FA\r\n"},
  };
  return format >= 5 && format <= 7 ? &kKinds[format - 5] : nullptr;
}

const MotorolaKind& KindOfRecord(RecordKind kind) {
  return *KindOfFormat(kind == RecordKind::S1 ? 5 : kind == RecordKind::S2 ? 6 : 7);
}
}  // namespace

void MotorolaWriter::FormatRecord(RecordKind kind, uint32_t address, const uint8_t* data, uint32_t n,
                                  HexLineBuilder& line) {
  const MotorolaKind& k = KindOfRecord(kind);
  line.Start(k.prefix);
  line.Summed(n + static_cast<uint32_t>(k.addressDigits / 2) + 1, 2);
  line.Summed(address, k.addressDigits);
  for (uint32_t i = 0; i < n; ++i) line.Summed(data[i], 2);
  line.Put(~line.Sum() & 0xFF, 2);
  line.EndLine();
}

int MotorolaWriter::Write(WriteContext& context) {
  const MotorolaKind* k = KindOfFormat(context.format);
  if (!k) return kWriteFailed;
  // Header data: the ASCII text "BRASTE V1.00".
  if (!context.WriteFixedLine("S00F00004252415354452056312E3030FA\r\n", kHeaderNotWritten)) return kWriteFailed;
  if (k->kind != RecordKind::S1 && EmitRecords(context, k->kind, nullptr, 0, 0) != kSuccess) return kWriteFailed;
  if (EmitRecords(context, k->kind, context.image.Bytes.data(), 0, context.sizeBytes) != kSuccess) return kWriteFailed;
  if (!context.WriteFixedLine(k->endLine, kEndNotWritten)) return kWriteFailed;
  return kSuccess;
}

}  // namespace tav
