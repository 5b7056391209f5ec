// SPDX-License-Identifier: GPL-2.0-or-later
// MOS Technology: ";" records with a 16-bit sum; nothing before or after.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

void FormatMosTechnologyRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  line.Start(";");
  line.Summed(n, 2);
  line.Summed(address & 0xFFFF, 4);
  for (uint32_t k = 0; k < n; ++k) line.Summed(data[k], 2);
  line.Put(line.Sum() & 0xFFFF, 4);
  line.EndLine();
}

}  // namespace tav
