// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _WIN32

#include "app/version/elf_version_source.h"

#include <elf.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/version/version_record.h"

namespace fs = std::filesystem;

namespace tav {

namespace {

std::string RunningProgramDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

bool ReadAt(std::ifstream& in, uint64_t offset, void* to, size_t size) {
  in.seekg(std::streamoff(offset));
  return bool(in.read(static_cast<char*>(to), std::streamsize(size)));
}

// The named section of an ELF file of either word size.
template <typename Header, typename SectionHeader>
bool FindSection(std::ifstream& in, const char* wanted, std::vector<uint8_t>& contents) {
  Header header;
  if (!ReadAt(in, 0, &header, sizeof header) || header.e_shentsize != sizeof(SectionHeader)) return false;
  if (header.e_shstrndx >= header.e_shnum) return false;
  SectionHeader names;
  if (!ReadAt(in, header.e_shoff + uint64_t(header.e_shstrndx) * sizeof names, &names, sizeof names)) return false;
  const size_t wantedLength = std::strlen(wanted) + 1;
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    SectionHeader section;
    if (!ReadAt(in, header.e_shoff + uint64_t(i) * sizeof section, &section, sizeof section)) return false;
    if (section.sh_name + wantedLength > names.sh_size) continue;
    std::string name(wantedLength, '\0');
    if (!ReadAt(in, names.sh_offset + section.sh_name, name.data(), wantedLength)) return false;
    if (std::memcmp(name.data(), wanted, wantedLength) != 0) continue;
    // A record larger than the 16-bit block length allows is no record.
    if (section.sh_type == SHT_NOBITS || section.sh_size == 0 || section.sh_size > 0xFFFF) return false;
    contents.resize(section.sh_size);
    return ReadAt(in, section.sh_offset, contents.data(), contents.size());
  }
  return false;
}

}  // namespace

ElfVersionSource::ElfVersionSource(std::string programDirectory)
    : programDirectory_(programDirectory.empty() ? RunningProgramDirectory() : std::move(programDirectory)) {}

std::string ElfVersionSource::Resolve(const std::string& file) const {
  if (file.empty()) return "";
  std::error_code error;
  if (file.find('/') != std::string::npos) return fs::is_regular_file(file, error) ? file : "";
  std::vector<std::string> names{file};
  if (file.size() > 4 && fs::path(file).extension() == ".exe") names.push_back(file.substr(0, file.size() - 4));
  std::vector<fs::path> directories{fs::path(programDirectory_)};
  const fs::path working = fs::current_path(error);
  if (!error) directories.push_back(working);
  for (const fs::path& directory : directories) {
    for (const std::string& name : names) {
      const fs::path candidate = directory / name;
      if (fs::is_regular_file(candidate, error)) return candidate.string();
    }
  }
  return "";
}

bool ElfVersionSource::Section(const std::string& file, std::vector<uint8_t>& contents) const {
  const std::string path = Resolve(file);
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  unsigned char ident[EI_NIDENT];
  if (!in || !ReadAt(in, 0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return false;
  if (ident[EI_DATA] != ELFDATA2LSB) return false;
  if (ident[EI_CLASS] == ELFCLASS64) return FindSection<Elf64_Ehdr, Elf64_Shdr>(in, kVersionSection, contents);
  if (ident[EI_CLASS] == ELFCLASS32) return FindSection<Elf32_Ehdr, Elf32_Shdr>(in, kVersionSection, contents);
  return false;
}

uint32_t ElfVersionSource::RecordSize(const std::string& file) {
  std::vector<uint8_t> contents;
  return Section(file, contents) ? uint32_t(contents.size()) : 0;
}

bool ElfVersionSource::ReadRecord(const std::string& file, std::vector<uint8_t>& record) {
  std::vector<uint8_t> contents;
  if (!Section(file, contents) || contents.size() > record.size()) return false;
  std::copy(contents.begin(), contents.end(), record.begin());
  return true;
}

bool ElfVersionSource::QueryValue(const std::vector<uint8_t>& record, const std::string& path, std::string& value) {
  return QueryVersionRecord(record, path, value);
}

std::unique_ptr<VersionRecordSource> MakeSystemVersionSource() { return std::make_unique<ElfVersionSource>(); }

std::string OwnProgramFile() { return "/proc/self/exe"; }

}  // namespace tav

#endif  // !_WIN32
