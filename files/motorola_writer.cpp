// SPDX-License-Identifier: GPL-2.0-or-later
// Motorola S1, S2 and S3 data records; the S0 header and the end records
// are lines of the format table.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

void FormatMotorolaRecord(RecordKind kind, uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  const int addressDigits = kind == RecordKind::S1 ? 4 : kind == RecordKind::S2 ? 6 : 8;
  line.Start(kind == RecordKind::S1 ? "S1" : kind == RecordKind::S2 ? "S2" : "S3");
  line.Summed(n + static_cast<uint32_t>(addressDigits / 2) + 1, 2);
  line.Summed(address, addressDigits);
  for (uint32_t i = 0; i < n; ++i) line.Summed(data[i], 2);
  line.Put(~line.Sum() & 0xFF, 2);
  line.EndLine();
}

}  // namespace tav
