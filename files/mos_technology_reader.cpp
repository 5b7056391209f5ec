// SPDX-License-Identifier: GPL-2.0-or-later
// MOS Technology: ";" LL AAAA data CCCC, a 16-bit plain sum; a record of
// count "00" ends the file.
#include "files/readers.h"

namespace tav {

int MosTechnologyReader::Read(ReadContext& context) {
  context.Begin();
  std::string_view text;
  while (context.NextLine(text)) {
    RecordLine line(text);
    // Tested before the start character, as the end record is recognised
    // by its count alone.
    if (line.At(1) == '0' && line.At(2) == '0') return kSuccess;
    if (!line.StartsWith(";")) return context.RefuseLineStart();

    if (context.CheckHex(line, 1, 2) != kSuccess) return kFileFailed;
    const uint32_t count = line.Hex(1, 2);
    line.Cut();
    const size_t required = 2 * count + 11;
    if (line.Length() != required) return context.RefuseLength(line.Length(), required);
    if (context.CheckHex(line, 1, line.Length() - 1) != kSuccess) return kFileFailed;

    line.AddToSum(count);
    const uint32_t address = line.SummedHex(3, 4);
    for (uint32_t k = 0; k < count; ++k) line.SummedHex(7 + 2 * k, 2);
    const uint32_t computed = line.Sum() & 0xFFFF;
    if (context.ChecksumRefused(line.Hex(7 + 2 * count, 4), computed)) return kFileFailed;

    for (uint32_t k = 0; k < count; ++k)
      context.Store(static_cast<uint64_t>(address) + k, static_cast<uint8_t>(line.Hex(7 + 2 * k, 2)));
  }
  return kSuccess;
}

bool MosTechnologyReader::Recognises(FormatProbe& probe) { return probe.At(0) == ';'; }

}  // namespace tav
