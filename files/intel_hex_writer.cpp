// SPDX-License-Identifier: GPL-2.0-or-later
// Intel HEX data records of type 00; the fixed extended-address headers and
// the end record are lines of the format table.
#include "files/hex_line_builder.h"
#include "files/writers.h"

namespace tav {

void FormatIntelRecord(uint32_t address, const uint8_t* data, uint32_t n, HexLineBuilder& line) {
  line.Start(":");
  line.Summed(n, 2);
  line.Summed(address & 0xFFFF, 4);
  line.Summed(0x00, 2);
  for (uint32_t k = 0; k < n; ++k) line.Summed(data[k], 2);
  line.Put((0x100 - (line.Sum() & 0xFF)) & 0xFF, 2);
  line.EndLine();
}

}  // namespace tav
