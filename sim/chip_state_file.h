// The state of one simulated chip on disk, so that separate runs of the
// command line can work on the same part (program it in one run, verify it
// in the next).
//
// The file is a short text header followed by the raw cells:
//
//   TAVROLITH-CHIP 1
//   part: <device name as in the library>
//   size: <number of cells, decimal>
//   lockbits: <0..7, bit n-1 = lock bit n>
//   crc32: <8 hex digits over the cells and then the lock-bit byte>
//   data:
//   <exactly `size` bytes, nothing after them>
//
// Header lines end in LF. A file for another part or size, or one whose
// header, length or checksum is wrong, is refused as a whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav::sim {

struct ChipState {
  std::string part;
  uint8_t lockBits = 0;
  std::vector<uint8_t> cells;
};

// Writes through a temporary file and a rename, so an interrupted write
// leaves the previous state intact. On failure `error` holds a German message.
bool WriteChipStateFile(const std::string& path, const ChipState& state, std::string& error);

// Reads a state for the part `part` with `size` cells. On failure `error`
// holds a German message naming the file (and the line, for header faults)
// and `state` is unspecified, except that a file of another part leaves
// that part's name in `state.part`.
bool ReadChipStateFile(const std::string& path, const std::string& part, uint32_t size, ChipState& state,
                       std::string& error);

}  // namespace tav::sim
