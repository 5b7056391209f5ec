// SPDX-License-Identifier: GPL-2.0-or-later
// Intel HEX: ":" LL AAAA TT data CC. One reader for Intel8, Intel32 and
// IntelMCS; the extended address records 02 and 04 move the offset.
#include "files/readers.h"

namespace tav {

int IntelHexReader::Read(ReadContext& context) {
  context.Begin();
  uint64_t offset = 0;
  std::string_view text;
  while (context.NextLine(text)) {
    RecordLine line(text);
    if (!line.StartsWith(":")) return context.RefuseLineStart();
    // Count, address and type say what the line is; only digits may.
    if (context.CheckHex(line, 1, 8) != kSuccess) return kFileFailed;
    const uint32_t count = line.Hex(1, 2);
    const uint32_t type = line.Hex(7, 2);
    // The end record ends the file whatever follows it.
    if (type == 0x01) return kSuccess;

    line.Cut();
    const size_t required = 2 * count + 11;
    if (line.Length() != required) return context.RefuseLength(line.Length(), required);
    if (context.CheckHex(line, 1, line.Length() - 1) != kSuccess) return kFileFailed;

    line.AddToSum(count);
    const uint32_t address = line.SummedHex(3, 4);
    if (count == 0) continue;
    line.AddToSum(type);
    for (uint32_t k = 0; k < count; ++k) line.SummedHex(9 + 2 * k, 2);
    const uint32_t computed = (0x100 - (line.Sum() & 0xFF)) & 0xFF;
    if (context.ChecksumRefused(line.Hex(9 + 2 * count, 2), computed)) return kFileFailed;

    if (type == 0x00) {
      for (uint32_t k = 0; k < count; ++k)
        context.Store(offset + address + k, static_cast<uint8_t>(line.Hex(9 + 2 * k, 2)));
    } else if (type == 0x02) {
      offset = static_cast<uint64_t>(line.Hex(9, 4)) * 16;
    } else if (type == 0x04) {
      offset = static_cast<uint64_t>(line.Hex(9, 4)) * 65536;
    }
  }
  return kSuccess;
}

// A file of nothing but the end record (what an erased chip saves as) is
// Intel too; Intel8 is the variant without address records.
bool IntelHexReader::RecognisesIntel8(FormatProbe& probe) {
  return probe.At(0) == ':' && (probe.At(8) == '0' || probe.At(8) == '1');
}

bool IntelHexReader::RecognisesIntel32(FormatProbe& probe) {
  if (probe.At(0) != ':') return false;
  char following = 0;
  return probe.At(8) == '4' || (probe.At(8) == '2' && probe.Following(8, following) && following == '4');
}

bool IntelHexReader::RecognisesIntelMcs(FormatProbe& probe) {
  // Without a second line nothing is known about a segment record.
  char following = 0;
  return probe.At(0) == ':' && probe.At(8) == '2' && probe.Following(8, following) && following != '4';
}

}  // namespace tav
