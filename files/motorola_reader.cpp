// SPDX-License-Identifier: GPL-2.0-or-later
// Motorola S-records: "S1"/"S2"/"S3" CC address data CC. S0 headers are
// skipped; S7, S8 and S9 end the file.
#include "files/readers.h"

namespace tav {

int MotorolaReader::Read(ReadContext& context) {
  context.Begin();
  std::string_view text;
  while (context.NextLine(text)) {
    RecordLine line(text);
    if (line.StartsWith("S9") || line.StartsWith("S8") || line.StartsWith("S7")) return kSuccess;
    if (line.StartsWith("S0")) continue;
    const char type = line.At(1);
    if (line.At(0) != 'S' || type < '1' || type > '3') return context.RefuseLineStart();

    if (context.CheckHex(line, 2, 2) != kSuccess) return kFileFailed;
    const uint32_t count = line.Hex(2, 2);
    line.Cut();
    const size_t required = 2 * count + 4;
    if (line.Length() != required) return context.RefuseLength(line.Length(), required);
    if (context.CheckHex(line, 2, line.Length() - 2) != kSuccess) return kFileFailed;

    // The count covers address and checksum; one too small for them would
    // leave a negative number of data bytes. Such a record is refused with
    // the length of the shortest record of its type.
    const uint32_t addressDigits = 2 * static_cast<uint32_t>(type - '1') + 4;
    const uint32_t overhead = addressDigits / 2 + 1;
    if (count < overhead) return context.RefuseLength(line.Length(), 2 * overhead + 4);

    line.AddToSum(count);
    const uint32_t address = line.SummedHex(4, addressDigits);
    const uint32_t dataCount = count - overhead;
    if (dataCount == 0) continue;
    const size_t dataStart = 4 + addressDigits;
    for (uint32_t k = 0; k < dataCount; ++k) line.SummedHex(dataStart + 2 * k, 2);
    const uint32_t computed = ~line.Sum() & 0xFF;
    if (context.ChecksumRefused(line.Hex(2 + 2 * count, 2), computed)) return kFileFailed;

    for (uint32_t k = 0; k < dataCount; ++k)
      context.Store(static_cast<uint64_t>(address) + k, static_cast<uint8_t>(line.Hex(dataStart + 2 * k, 2)));
  }
  return kSuccess;
}

// The end record names the variant as well as a data record does (S9 ends
// S1 files, S8 S2 files, S7 S3 files), so an erased chip saved as an S0
// header and its end record is recognised too.
bool MotorolaReader::RecognisesS1(FormatProbe& probe) {
  return probe.At(0) == 'S' && (probe.At(1) == '1' || probe.At(1) == '9');
}
bool MotorolaReader::RecognisesS2(FormatProbe& probe) {
  return probe.At(0) == 'S' && (probe.At(1) == '2' || probe.At(1) == '8');
}
bool MotorolaReader::RecognisesS3(FormatProbe& probe) {
  return probe.At(0) == 'S' && (probe.At(1) == '3' || probe.At(1) == '7');
}

}  // namespace tav
