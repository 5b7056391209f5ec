// SPDX-License-Identifier: GPL-2.0-or-later
// Tektronix: "/" AAAA LL HH data CC. HH is the byte sum of address and
// count; the data checksum starts from twice HH and adds the data bytes.
// These are byte sums, not the digit sums other tools use, and files
// written here rely on them.
#include "files/readers.h"

namespace tav {

int TektronixReader::Read(ReadContext& context) {
  context.Begin();
  std::string_view text;
  while (context.NextLine(text)) {
    RecordLine line(text);
    if (!line.StartsWith("/")) return context.RefuseLineStart();
    // Address, count and header sum say what the line is; only digits may.
    // A C comment ("/* ... */") would otherwise be an empty end record.
    if (context.CheckHex(line, 1, 8) != kSuccess) return kFileFailed;
    const uint32_t count = line.Hex(5, 2);
    if (count == 0) return kSuccess;

    line.Cut();
    const size_t required = 2 * count + 11;
    if (line.Length() != required) return context.RefuseLength(line.Length(), required);
    if (context.CheckHex(line, 1, line.Length() - 1) != kSuccess) return kFileFailed;

    line.AddToSum(count);
    const uint32_t address = line.SummedHex(1, 4);
    const uint32_t header = line.Sum() & 0xFF;
    if (context.ChecksumRefused(line.Hex(7, 2), header)) return kFileFailed;

    line.AddToSum(header);
    for (uint32_t k = 0; k < count; ++k) line.SummedHex(9 + 2 * k, 2);
    const uint32_t computed = line.Sum() & 0xFF;
    if (context.ChecksumRefused(line.Hex(9 + 2 * count, 2), computed)) return kFileFailed;

    for (uint32_t k = 0; k < count; ++k)
      context.Store(static_cast<uint64_t>(address) + k, static_cast<uint8_t>(line.Hex(9 + 2 * k, 2)));
  }
  return kSuccess;
}

bool TektronixReader::Recognises(FormatProbe& probe) { return probe.At(0) == '/'; }

}  // namespace tav
