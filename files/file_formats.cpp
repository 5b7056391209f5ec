// The one list that ties format numbers to names, keys, readers and writers.
#include <cctype>

#include "files/program_files.h"
#include "files/readers.h"
#include "files/writers.h"

namespace tav {

namespace {
constexpr FileFormatInfo kFormats[] = {
    {1, "Binär", "bin", "bin", false, BinaryReader::Read, WriteBinary},
    {2, "Intel8", "intel8", "hex", true, IntelHexReader::Read, WriteIntelHex},
    {3, "Intel32", "intel32", "hex", true, IntelHexReader::Read, WriteIntelHex},
    {4, "IntelMCS", "intelmcs", "hex", true, IntelHexReader::Read, WriteIntelHex},
    {5, "Motorola S1 Exorciser", "s1", "hex", true, MotorolaReader::Read, WriteMotorola},
    {6, "Motorola S2 Exormax", "s2", "hex", true, MotorolaReader::Read, WriteMotorola},
    {7, "Motorola S3 32Bit", "s3", "hex", true, MotorolaReader::Read, WriteMotorola},
    {8, "MOS Technology", "mos", "hex", true, MosTechnologyReader::Read, WriteMosTechnology},
    {9, "Tektronix", "tek", "hex", true, TektronixReader::Read, WriteTektronix},
};
}  // namespace

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
