// SPDX-License-Identifier: GPL-2.0-or-later
// The format table: each entry ties a format number to its names, its
// recogniser, its reader, its record kind with the fixed lines around the
// data, and its writer.
#include <cctype>

#include "files/program_files.h"
#include "files/readers.h"
#include "files/writers.h"

namespace tav {

namespace {

constexpr const char* kIntelEnd = ":00000001FF\r\n";
constexpr const char* kLinearAddressZero = ":020000040000FA\r\n";
constexpr const char* kSegmentAddressZero = ":020000020000FC\r\n";
// The S0 header; its data is the ASCII text "BRASTE V1.00".
constexpr const char* kS0Header = "S00F00004252415354452056312E3030FA\r\n";

constexpr FileFormatInfo kFormats[] = {
    {1, "Binär", "bin", "bin", false, RecordKind::Binary, {}, false, nullptr, BinaryReader::Recognises,
     BinaryReader::Read, WriteBinary},
    {2, "Intel8", "intel8", "hex", true, RecordKind::Intel, {}, false, kIntelEnd, IntelHexReader::RecognisesIntel8,
     IntelHexReader::Read, WriteHexFile},
    {3, "Intel32", "intel32", "hex", true, RecordKind::Intel, {kLinearAddressZero, kSegmentAddressZero}, false,
     kIntelEnd, IntelHexReader::RecognisesIntel32, IntelHexReader::Read, WriteHexFile},
    {4, "IntelMCS", "intelmcs", "hex", true, RecordKind::Intel, {kSegmentAddressZero}, false, kIntelEnd,
     IntelHexReader::RecognisesIntelMcs, IntelHexReader::Read, WriteHexFile},
    {5, "Motorola S1 Exorciser", "s1", "hex", true, RecordKind::S1, {kS0Header}, false, "S9030000FC\r\n",
     MotorolaReader::RecognisesS1, MotorolaReader::Read, WriteHexFile},
    {6, "Motorola S2 Exormax", "s2", "hex", true, RecordKind::S2, {kS0Header}, true, "S804000000FB\r\n",
     MotorolaReader::RecognisesS2, MotorolaReader::Read, WriteHexFile},
    {7, "Motorola S3 32Bit", "s3", "hex", true, RecordKind::S3, {kS0Header}, true, "S70500000000FA\r\n",
     MotorolaReader::RecognisesS3, MotorolaReader::Read, WriteHexFile},
    {8, "MOS Technology", "mos", "hex", true, RecordKind::MosTechnology, {}, false, nullptr,
     MosTechnologyReader::Recognises, MosTechnologyReader::Read, WriteHexFile},
    {9, "Tektronix", "tek", "hex", true, RecordKind::Tektronix, {}, false, nullptr, TektronixReader::Recognises,
     TektronixReader::Read, WriteHexFile},
};

}  // namespace

std::span<const FileFormatInfo> FileFormats() { return kFormats; }

const FileFormatInfo* FindFileFormat(int number) {
  for (const auto& format : kFormats)
    if (format.number == number) return &format;
  return nullptr;
}

const FileFormatInfo* FindFileFormatByKey(std::string_view key) {
  for (const auto& format : kFormats) {
    std::string_view k = format.key;
    if (k.size() != key.size()) continue;
    bool same = true;
    for (size_t i = 0; i < k.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(key[i])) == k[i];
    if (same) return &format;
  }
  return nullptr;
}

}  // namespace tav
