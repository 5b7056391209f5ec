// SPDX-License-Identifier: GPL-2.0-or-later
// The program-file calls of the front ends, all in one place: making a file
// the current one, and loading or writing a file apart from the current
// device and settings (the command line's info and convert).
#include <cerrno>
#include <filesystem>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/session/session.h"
#include "files/program_files.h"
#include "settings/native_path.h"
#include "settings/paths.h"
#include "settings/program_file.h"

namespace tav {

namespace {

constexpr const char* kLibraryFile = "8789LIST.CSV";

// In the system's own spelling, so that messages show one kind of separator.
std::string InFolder(const std::string& folder, const char* name) {
  return Utf8Path((NativePath(folder) / name).lexically_normal());
}

// The folder of the running program, where an installed tree keeps its
// sample library at a fixed distance whatever the prefix.
std::string ProgramDirectory() {
#ifdef _WIN32
  wchar_t buffer[4 * MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
  if (length == 0 || length >= std::size(buffer)) return {};
  return Utf8Path(std::filesystem::path(std::wstring(buffer, length)).parent_path());
#else
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
#endif
}

}  // namespace

std::vector<std::string> DefaultLibraryFallbacks() {
  std::vector<std::string> folders;
  if (const std::string program = ProgramDirectory(); !program.empty()) {
    folders.push_back(Utf8Path((NativePath(program) / TAVROLITH_DATA_DIR_FROM_BIN).lexically_normal()));
  }
  folders.push_back(TAVROLITH_DATA_DIR);
  return folders;
}

std::string FindLibrary(const std::string& configDirectory, const std::vector<std::string>& fallbacks) {
  if (!configDirectory.empty()) return InFolder(configDirectory, kLibraryFile);
  const std::string here = InFolder(CurrentDirectory(), kLibraryFile);
  std::error_code error;
  if (std::filesystem::exists(NativePath(here), error)) return here;
  for (const std::string& folder : fallbacks) {
    const std::string there = InFolder(folder, kLibraryFile);
    if (!folder.empty() && std::filesystem::is_regular_file(NativePath(there), error)) return there;
  }
  return here;
}

int Session::UseProgramFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  // A file dialog never hands over a directory; taken as the program file,
  // one would leave no file name to load and an empty LastFile behind.
  const bool directory = fs::is_directory(NativePath(path), error);
  if (directory || NativePath(path).filename().empty()) {
    ShowFileOpenError(feedback_, path, directory ? EISDIR : error ? error.value() : ENOENT);
    return kFileFailed;
  }
  const fs::path absolute = fs::absolute(NativePath(path), error);
  tav::UseProgramFile(settings_, error ? path : Utf8Path(absolute));
  return kSuccess;
}

int Session::LoadFileAlone(const std::string& path, ProgramImage& image, int32_t* format) {
  // As large as the image, so that a file is never refused for the size of
  // whatever device happens to be selected; looking at a file must not
  // change the stored format.
  int32_t detected = 0;
  const int result =
      LoadProgramFile(path, ProgramImage::kSize, settings_.TestChecksum == 1, image, detected, feedback_);
  if (format) *format = detected;
  return result;
}

int Session::SaveImageAs(const std::string& path, int format, uint32_t size, const ProgramImage& image) {
  return SaveImageToFile(path, format, size, settings_.HexLineLen, settings_.FFSave != 0, image, feedback_);
}

}  // namespace tav
