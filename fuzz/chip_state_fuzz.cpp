// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator's chip-state file: the first byte picks the part the file is
// read for, the rest is the file. A file that is read, written and read again
// gives the same chip; a refused file gets a message naming it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "sim/chip_state_file.h"

namespace {

struct Part {
  const char* name;
  uint32_t size;
};
// Small parts too, so that a mutated file can still carry its checksum.
constexpr Part kParts[] = {{"AT89C2051", 2048}, {"AT89C1051", 1024}, {"AT89C51", 4096}, {"T16", 16}, {"T0", 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Part& part = kParts[data[0] % (sizeof kParts / sizeof kParts[0])];
  const tav::fuzz::ScratchDirectory scratch;
  const std::string path = scratch.Write("chip.state", data + 1, size - 1);

  tav::sim::ChipState first;
  std::string error;
  if (!tav::sim::ReadChipStateFile(path, part.name, part.size, first, error)) {
    if (error.find("'" + path + "'") == std::string::npos) tav::fuzz::Fail("refusal without the file name");
    return 0;
  }
  if (first.part != part.name || first.cells.size() != part.size || first.lockBits > 7) {
    tav::fuzz::Fail("accepted a state for another part");
  }
  const std::string copy = scratch.Path() + "copy.state";
  if (!tav::sim::WriteChipStateFile(copy, first, error)) tav::fuzz::Fail("written state refused by the writer");
  tav::sim::ChipState second;
  if (!tav::sim::ReadChipStateFile(copy, part.name, part.size, second, error)) {
    tav::fuzz::Fail("written state not read back");
  }
  if (second.part != first.part || second.lockBits != first.lockBits || second.cells != first.cells) {
    tav::fuzz::Fail("read, write, read changed the chip");
  }
  return 0;
}
