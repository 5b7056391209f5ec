// SPDX-License-Identifier: GPL-2.0-or-later
// Tektronix: "/" records, address before count, header and data byte sums;
// nothing before or after.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

void FormatTektronixRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  line.Start("/");
  line.Summed(address & 0xFFFF, 4);
  line.Summed(n, 2);
  const uint32_t header = line.Sum() & 0xFF;
  line.Put(header, 2);
  line.AddToSum(header);
  for (uint32_t k = 0; k < n; ++k) line.Summed(data[k], 2);
  line.Put(line.Sum() & 0xFF, 2);
  line.EndLine();
}

}  // namespace tav
