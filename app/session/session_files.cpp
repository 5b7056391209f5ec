// The program-file calls of the front ends, all in one place: making a file
// the current one, and loading or writing a file apart from the current
// device and settings (the command line's info and convert).
#include <filesystem>

#include "app/session/session.h"
#include "files/program_files.h"
#include "settings/paths.h"

namespace tav {

namespace {

// A device as large as the image, so that a file is never refused for the
// size of whatever device happens to be selected.
DeviceRecord WholeImageDevice(uint32_t size = ProgramImage::kSize) {
  DeviceRecord device;
  device.SizeBytes = size;
  return device;
}

}  // namespace

void Session::UseProgramFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  settings_.ProgramFilePath = error ? path : absolute.string();
  const PathParts parts = SplitPath(settings_.ProgramFilePath);
  settings_.ProgramFileName = parts.name + parts.extension;
  settings_.DataDirectory = parts.drive + parts.directory;
}

int Session::LoadFileAlone(const std::string& path, ProgramImage& image) {
  // A copy: looking at a file must not change the stored format or file.
  Settings settings = settings_;
  settings.ProgramFilePath = path;
  return LoadProgramFile(settings, WholeImageDevice(), image, feedback_);
}

int Session::SaveImageAs(const std::string& path, int format, uint32_t size, const ProgramImage& image) {
  Settings settings = settings_;
  settings.ProgramFilePath = path;
  settings.DataFormat = format;
  return SaveImageToFile(settings, WholeImageDevice(size), image, feedback_);
}

}  // namespace tav
