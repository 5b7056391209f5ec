// The program-file calls of the front ends, all in one place: making a file
// the current one, and loading or writing a file apart from the current
// device and settings (the command line's info and convert).
#include <filesystem>

#include "app/session/session.h"
#include "files/program_files.h"
#include "settings/program_file.h"

namespace tav {

void Session::UseProgramFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  tav::UseProgramFile(settings_, error ? path : absolute.string());
}

int Session::LoadFileAlone(const std::string& path, ProgramImage& image) {
  // As large as the image, so that a file is never refused for the size of
  // whatever device happens to be selected; looking at a file must not
  // change the stored format.
  int32_t detected = 0;
  return LoadProgramFile(path, ProgramImage::kSize, settings_.TestChecksum == 1, image, detected, feedback_);
}

int Session::SaveImageAs(const std::string& path, int format, uint32_t size, const ProgramImage& image) {
  return SaveImageToFile(path, format, size, settings_.HexLineLen, settings_.FFSave != 0, image, feedback_);
}

}  // namespace tav
