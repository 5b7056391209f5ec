// SPDX-License-Identifier: GPL-2.0-or-later
// Serial numbers burnt with the program: how a number becomes bytes, where
// those bytes may go, and the copy of the image that carries them. A serial
// may only take cells that the device has and that the program leaves
// empty, so that it can never change a byte of the program itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tav {

struct DeviceRecord;
struct ProgramImage;

enum class SerialEncoding { LittleEndian, BigEndian, PackedBcd, AsciiDecimal };

struct SerialFormat {
  SerialEncoding encoding = SerialEncoding::LittleEndian;
  uint32_t digits = 2;  // bytes for the binary encodings, decimal digits for BCD and ASCII

  // The cells the serial takes.
  uint32_t Width() const;
  // The largest number the format can hold.
  uint64_t MaxValue() const;
  // "le2", "bcd6", ... as the user writes it.
  std::string Name() const;
};

// "le1".."le4", "be1".."be4", "bcd1".."bcd10", "dec1".."dec10"; nothing for
// anything else.
std::optional<SerialFormat> ParseSerialFormat(const std::string& text);

// The bytes of `value` in `format`, lowest address first. `value` must not
// exceed format.MaxValue().
std::vector<uint8_t> EncodeSerial(uint64_t value, const SerialFormat& format);

// Empty when the serial at `address` fits into `device` over empty cells of
// `image`; otherwise the German message that names the conflict.
std::string SerialPlacementProblem(uint32_t address, const SerialFormat& format, const DeviceRecord& device,
                                   const ProgramImage& image, const std::string& programFile);

// Writes the serial into `image` and widens ByteCount and HighestAddress so
// that burning and verifying cover it. The placement must have been checked.
void PatchSerial(ProgramImage& image, uint32_t address, const std::vector<uint8_t>& bytes);

// The zlib CRC-32 over the device's whole memory as the image holds it.
uint32_t DeviceImageCrc32(const ProgramImage& image, uint32_t sizeBytes);

}  // namespace tav
