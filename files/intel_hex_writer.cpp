// Intel HEX: data records of type 00, the fixed extended-address headers of
// Intel32 and IntelMCS, and the end record.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

void IntelHexWriter::FormatRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  line.Start(":");
  line.Summed(n, 2);
  line.Summed(address & 0xFFFF, 4);
  line.Summed(0x00, 2);
  for (uint32_t k = 0; k < n; ++k) line.Summed(data[k], 2);
  line.Put((0x100 - (line.Sum() & 0xFF)) & 0xFF, 2);
  line.EndLine();
}

int IntelHexWriter::Write(WriteContext& context) {
  if (context.format == 3 && !context.WriteFixedLine(":020000040000FA\r\n", kHeaderNotWritten)) return kWriteFailed;
  if ((context.format == 3 || context.format == 4) &&
      !context.WriteFixedLine(":020000020000FC\r\n", kHeaderNotWritten))
    return kWriteFailed;
  if (EmitRecords(context, RecordKind::Intel, context.image.Bytes.data(), 0, context.sizeBytes) != kSuccess)
    return kWriteFailed;
  if (!context.WriteFixedLine(":00000001FF\r\n", kEndNotWritten)) return kWriteFailed;
  return kSuccess;
}

}  // namespace tav
