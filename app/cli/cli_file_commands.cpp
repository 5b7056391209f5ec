// SPDX-License-Identifier: GPL-2.0-or-later
// The commands that need no board: the library listing and the file
// commands, which go through the same readers and writers as the device
// operations.
#include <cctype>
#include <cinttypes>

#include "app/cli/cli_session.h"
#include "base/crc32.h"
#include "files/program_files.h"
#include "library/device_selection.h"

namespace tav {

namespace {

uint32_t ImageCrc32(const ProgramImage& image) { return Crc32Update(0, image.Bytes.data(), image.Bytes.size()); }

// A device name against `devices PATTERN`: without regard to case, '*' for
// any run of characters and '?' for one; a pattern without wildcards is
// looked for anywhere in the name.
bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern.find_first_of("*?") == std::string::npos) return MatchesPattern(name, "*" + pattern + "*");
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

int CliSession::CommandDevices() {
  const int32_t storedManufacturer = settings_.ManufIndex;
  const int32_t storedDevice = settings_.DeviceIndex;
  SelectionList manufacturers;
  if (FillManufacturerList(library_, manufacturers) != 0) {
    // The list's placeholder ("Keine Hersteller"), so that an empty library is not a silent failure.
    for (const SelectionEntry& entry : manufacturers.Entries) std::fprintf(out_, "%s\n", entry.Text.c_str());
    return kLibraryUnusable;
  }
  const int32_t selectedManufacturer = settings_.ManufIndex;

  // "Gehäuse" is passed ready-padded: printf counts its bytes, not its letters.
  std::fprintf(out_, "    %-3s %-14s %s %8s  %-6s %6s %8s  %s\n", "Nr", "Baustein", "Gehäuse ", "Bytes", "Art", "Vpp",
               "Lockbits", "Signatur");
  const std::string pattern = options_.files.empty() ? std::string() : options_.files[0];
  int shown = 0;
  for (size_t m = 0; m < manufacturers.Entries.size(); ++m) {
    if (pattern.empty()) std::fprintf(out_, "%s (Hersteller %zu)\n", manufacturers.Entries[m].Text.c_str(), m);
    bool headerShown = pattern.empty();
    settings_.ManufIndex = int32_t(m);
    settings_.DeviceIndex = 0;
    SelectionList devices;
    FillDeviceList(library_, devices);
    for (size_t d = 0; d < devices.Entries.size(); ++d) {
      const SelectionEntry& entry = devices.Entries[d];
      if (entry.Placeholder) {
        if (pattern.empty()) std::fprintf(out_, "    %s\n", entry.Text.c_str());
        continue;
      }
      if (!MatchesPattern(entry.Text, pattern)) continue;
      if (!headerShown) std::fprintf(out_, "%s (Hersteller %zu)\n", manufacturers.Entries[m].Text.c_str(), m);
      headerShown = true;
      ++shown;
      settings_.DeviceIndex = entry.LibraryIndex;
      if (library_.LoadSelectedDevice() != 0) continue;
      const bool selected = int32_t(m) == selectedManufacturer && entry.LibraryIndex == storedDevice;
      char signature[32];
      if (device_.IsDip20()) {
        std::snprintf(signature, sizeof signature, "%02X %02X", device_.ManufacturerId000, device_.DeviceIdDip20);
      } else {
        std::snprintf(signature, sizeof signature, "%02X %02X %02X", device_.ManufacturerId030, device_.DeviceId031,
                      device_.DeviceId032);
      }
      std::fprintf(out_, "  %c %-3zu %-14s DIP%-5d %8" PRIu32 "  %-6s %4.1f V %8d  %s\n", selected ? '*' : ' ', d,
                   device_.DeviceName.c_str(), int(device_.Package), device_.SizeBytes,
                   device_.IsFlash() ? "Flash" : "EPROM", device_.VppCode / 10.0, int(device_.LockBitCount),
                   signature);
    }
  }
  settings_.ManufIndex = storedManufacturer;
  settings_.DeviceIndex = storedDevice;
  if (!pattern.empty() && shown == 0) {
    std::fprintf(err_, "Kein Baustein passt zu '%s'.\n", pattern.c_str());
    return kLibraryUnusable;
  }
  return 0;
}

int CliSession::CommandInfo() {
  const std::string& path = options_.files[0];
  ProgramImage image;
  int32_t format = 0;
  const int result = session_.LoadFileAlone(path, image, &format);
  if (result != 0) return result;
  const FileFormatInfo* info = FindFileFormat(format);
  std::fprintf(out_, "Datei:          %s\n", path.c_str());
  std::fprintf(out_, "Format:         %d (%s)\n", int(format), info ? info->name : "?");
  std::fprintf(out_, "ByteCount:      %" PRIu32 " (0x%" PRIX32 ")\n", image.ByteCount, image.ByteCount);
  std::fprintf(out_, "HighestAddress: %" PRIu32 " (0x%" PRIX32 ")\n", image.HighestAddress, image.HighestAddress);
  // Over the whole image, blank cells included: a file and its read-back
  // agree here even when one of them writes trailing blank cells.
  std::fprintf(out_, "CRC-32 des Abbilds: %08X\n", unsigned(ImageCrc32(image)));
  return 0;
}

int CliSession::CommandConvert() {
  const std::string& in = options_.files[0];
  const std::string& out = options_.files[1];
  ProgramImage image;
  int result = session_.LoadFileAlone(in, image);
  if (result != 0) return result;

  const uint32_t highest = image.HighestAddress < ProgramImage::kSize ? image.HighestAddress : ProgramImage::kSize - 1;
  const uint32_t size = options_.size ? *options_.size : highest + 1;
  if (image.ByteCount > 0 && highest >= size) {
    std::fprintf(err_, "Hinweis: Daten ab Adresse 0x%" PRIX32 " werden nicht geschrieben (--size %" PRIu32 ").\n",
                 size, size);
  }
  const FileFormatInfo* format = ResolveFormat(options_.format);
  result = session_.SaveImageAs(out, format->number, size, image);
  if (result != 0) return result;
  char line[600];
  std::snprintf(line, sizeof line, "%s -> %s (%s), Adressen 0x0000 bis 0x%04" PRIX32, in.c_str(), out.c_str(),
                format->name, size - 1);
  finalLine_ = line;
  if (!options_.quiet) std::fprintf(out_, "%s\n", line);
  return 0;
}

}  // namespace tav
