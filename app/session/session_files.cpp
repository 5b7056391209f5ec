// The program-file calls of the front ends, all in one place: making a file
// the current one, and loading or writing a file apart from the current
// device and settings (the command line's info and convert).
#include <cerrno>
#include <filesystem>

#include "app/session/session.h"
#include "files/program_files.h"
#include "settings/program_file.h"

namespace tav {

int Session::UseProgramFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  // A file dialog never hands over a directory; taken as the program file,
  // one would leave no file name to load and an empty LastFile behind.
  const bool directory = fs::is_directory(path, error);
  if (directory || fs::path(path).filename().empty()) {
    ShowFileOpenError(feedback_, path, directory ? EISDIR : error ? error.value() : ENOENT);
    return kFileFailed;
  }
  const fs::path absolute = fs::absolute(path, error);
  tav::UseProgramFile(settings_, error ? path : absolute.string());
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
