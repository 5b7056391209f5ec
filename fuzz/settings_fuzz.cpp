// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file: whatever QUENVALD.INI holds, loading it, saving the
// record and loading again gives the same record. The bytes after the first
// NUL (when there is one) are a program file the user chose before the save,
// as the file dialogs set it: every such path must survive a save and a load.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_scratch.h"
#include "settings/program_file.h"
#include "settings/settings.h"
#include "tests/support/scripted_feedback.h"

namespace {

// Text entries hold at most this many bytes; longer paths are cut on loading.
constexpr size_t kMaxText = 259;

// The first field in which the two records differ, or nullptr. DataDirectory
// counts only after a file was chosen: loaded, it is the DataPath text as
// read, which may still name a file; saved is the directory of the program
// file.
const char* Difference(const tav::Settings& a, const tav::Settings& b, bool fileChosen) {
#define TAV_SAME(field) \
  if (a.field != b.field) return #field
  TAV_SAME(PortAdress); TAV_SAME(StatusPort); TAV_SAME(ControlPort); TAV_SAME(DebugNT);
  TAV_SAME(SearchHardware); TAV_SAME(TimeOut); TAV_SAME(MessageBeap); TAV_SAME(TimeBaseKorr);
  TAV_SAME(FFSave); TAV_SAME(Verify); TAV_SAME(XKoord); TAV_SAME(YKoord); TAV_SAME(ShowDeviceData);
  TAV_SAME(ManufIndex); TAV_SAME(DeviceIndex); TAV_SAME(IDCheck); TAV_SAME(TestChecksum);
  TAV_SAME(Lock1); TAV_SAME(Lock2); TAV_SAME(Lock3); TAV_SAME(HexLineLen); TAV_SAME(DataFormat);
  TAV_SAME(ReadFilter); TAV_SAME(SettingsFilePath); TAV_SAME(ProgramFilePath); TAV_SAME(ProgramFileName);
  if (fileChosen) TAV_SAME(DataDirectory);
#undef TAV_SAME
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(bytes, '\0', size);
  const size_t fileSize = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size;

  const tav::fuzz::ScratchDirectory scratch;
  scratch.Write("QUENVALD.INI", bytes, fileSize);

  tav::Settings first;
  tav::ScriptedFeedback feedback(first.MessageBeap);
  tav::LoadSettings(first, feedback, scratch.Path());
  if (nul != nullptr) {
    const std::string chosen(bytes + fileSize + 1, size - fileSize - 1);
    // A path with a line break is not stored (documented), and a directory
    // or name beyond the text buffer is cut when read.
    if (chosen.find('\0') != std::string::npos || chosen.find_first_of("\r\n") != std::string::npos ||
        chosen.size() > kMaxText) {
      return 0;
    }
    tav::UseProgramFile(first, chosen);
  }
  tav::SaveSettings(first);

  tav::Settings second;
  tav::LoadSettings(second, feedback, scratch.Path());
  if (const char* field = Difference(first, second, nul != nullptr)) {
    std::fprintf(stderr, "%s: [%s] [%s]\n", field, first.ProgramFilePath.c_str(), second.ProgramFilePath.c_str());
    tav::fuzz::Fail("load, save, load changed the settings");
  }
  return 0;
}
