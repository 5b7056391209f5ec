// SPDX-License-Identifier: GPL-2.0-or-later
#include "operations/serial_number.h"

#include <cstdio>

#include "base/crc32.h"
#include "files/program_image.h"
#include "library/device_record.h"

namespace tav {

namespace {

struct EncodingName {
  const char* prefix;
  SerialEncoding encoding;
  uint32_t maxDigits;
};

// Ten decimal digits still fit a 64-bit number with room for the step.
constexpr EncodingName kEncodings[] = {{"le", SerialEncoding::LittleEndian, 4},
                                       {"be", SerialEncoding::BigEndian, 4},
                                       {"bcd", SerialEncoding::PackedBcd, 10},
                                       {"dec", SerialEncoding::AsciiDecimal, 10}};

std::string Range(uint32_t first, uint32_t last) {
  char text[40];
  std::snprintf(text, sizeof text, "0x%04X bis 0x%04X", unsigned(first), unsigned(last));
  return text;
}

}  // namespace

uint32_t SerialFormat::Width() const {
  switch (encoding) {
    case SerialEncoding::LittleEndian:
    case SerialEncoding::BigEndian:
    case SerialEncoding::AsciiDecimal: return digits;
    case SerialEncoding::PackedBcd: return (digits + 1) / 2;
  }
  return digits;
}

uint64_t SerialFormat::MaxValue() const {
  if (encoding == SerialEncoding::LittleEndian || encoding == SerialEncoding::BigEndian) {
    return (uint64_t(1) << (8 * digits)) - 1;
  }
  uint64_t max = 1;
  for (uint32_t i = 0; i < digits; ++i) max *= 10;
  return max - 1;
}

std::string SerialFormat::Name() const {
  for (const EncodingName& each : kEncodings) {
    if (each.encoding == encoding) return each.prefix + std::to_string(digits);
  }
  return {};
}

std::optional<SerialFormat> ParseSerialFormat(const std::string& text) {
  for (const EncodingName& each : kEncodings) {
    const std::string prefix = each.prefix;
    if (text.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string number = text.substr(prefix.size());
    // One or two digits without a leading zero: "bcd06" is no format.
    if (number.empty() || number.size() > 2 || number[0] < '1' || number[0] > '9') return std::nullopt;
    if (number.size() == 2 && (number[1] < '0' || number[1] > '9')) return std::nullopt;
    const uint32_t digits = uint32_t(std::stoul(number));
    if (digits > each.maxDigits) return std::nullopt;
    return SerialFormat{each.encoding, digits};
  }
  return std::nullopt;
}

std::vector<uint8_t> EncodeSerial(uint64_t value, const SerialFormat& format) {
  std::vector<uint8_t> bytes(format.Width());
  switch (format.encoding) {
    case SerialEncoding::LittleEndian:
      for (uint8_t& byte : bytes) {
        byte = uint8_t(value);
        value >>= 8;
      }
      break;
    case SerialEncoding::BigEndian:
      for (size_t i = bytes.size(); i-- > 0;) {
        bytes[i] = uint8_t(value);
        value >>= 8;
      }
      break;
    case SerialEncoding::AsciiDecimal:
      for (size_t i = bytes.size(); i-- > 0;) {
        bytes[i] = uint8_t('0' + value % 10);
        value /= 10;
      }
      break;
    case SerialEncoding::PackedBcd:
      // Two digits a byte, the last digit in the low nibble of the last
      // byte; an odd count leaves the first high nibble 0.
      for (size_t i = bytes.size(); i-- > 0;) {
        const uint8_t low = uint8_t(value % 10);
        value /= 10;
        const uint8_t high = uint8_t(value % 10);
        value /= 10;
        bytes[i] = uint8_t(high << 4 | low);
      }
      break;
  }
  return bytes;
}

std::string SerialPlacementProblem(uint32_t address, const SerialFormat& format, const DeviceRecord& device,
                                   const ProgramImage& image, const std::string& programFile) {
  const uint64_t end = uint64_t(address) + format.Width();  // one past the last cell
  if (end > device.SizeBytes) {
    return "Die Seriennummer (" + format.Name() + ", " + Range(address, uint32_t(end - 1)) +
           ") liegt nicht ganz im Baustein " + device.DeviceName + " (" + Range(0, device.SizeBytes - 1) + ").";
  }
  uint32_t first = 0, last = 0;
  bool overlap = false;
  for (uint32_t a = address; a < end; ++a) {
    if (image.Bytes[a] == ProgramImage::kBlank) continue;
    if (!overlap) first = a;
    last = a;
    overlap = true;
  }
  if (!overlap) return {};
  return "Die Seriennummer (" + format.Name() + ", " + Range(address, uint32_t(end - 1)) +
         ") überdeckt Programmdaten aus " + programFile + " (" + Range(first, last) + ").";
}

void PatchSerial(ProgramImage& image, uint32_t address, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) image.Store(address + uint32_t(i), bytes[i]);
}

uint32_t DeviceImageCrc32(const ProgramImage& image, uint32_t sizeBytes) {
  return Crc32Update(0, image.Bytes.data(), sizeBytes < ProgramImage::kSize ? sizeBytes : ProgramImage::kSize);
}

}  // namespace tav
