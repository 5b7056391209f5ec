// Saving the image. The new file is written beside the target under a
// temporary name and renamed over it only when the writer succeeded, so a
// refused or failed save never costs the user the previous file.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <unistd.h>

#include "files/program_files.h"
#include "files/writers.h"

namespace tav {

namespace {

// One write call per Write, so a failure belongs to the line that caused it.
class DiskOutputFile : public OutputFile {
public:
  ~DiskOutputFile() override { Discard(); }

  // Creates a new file beside `target`; 0 or the errno.
  int Create(const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path t(target);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
      fs::path candidate = t.parent_path() / ("." + t.filename().string() + suffix);
      errno = 0;
      // "x": never reuse a file that happens to exist.
      file_ = std::fopen(candidate.c_str(), "wbx");
      if (file_) {
        path_ = candidate.string();
        std::setvbuf(file_, nullptr, _IONBF, 0);
        return 0;
      }
      if (errno != EEXIST) return errno ? errno : EIO;
    }
    return EEXIST;
  }

  bool Write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return true;
    error_ = errno ? errno : EIO;
    return false;
  }
  int ErrorNumber() const override { return error_; }

  // Flushes the data to the disk and puts the file in place of `target`,
  // keeping the access rights of the file it replaces. 0 or the errno.
  int Commit(const std::string& target) {
    namespace fs = std::filesystem;
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) return Fail();
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return Fail();
    std::error_code ec;
    const auto previous = fs::status(target, ec);
    if (!ec && fs::is_regular_file(previous)) fs::permissions(path_, previous.permissions(), ec);
    fs::rename(path_, target, ec);
    if (ec) return ec.value();
    path_.clear();
    return 0;
  }

  // Closes and removes the temporary file, if there still is one.
  void Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) std::remove(path_.c_str());
    path_.clear();
  }

private:
  int Fail() {
    error_ = errno ? errno : EIO;
    return error_;
  }

  std::FILE* file_ = nullptr;
  std::string path_;
  int error_ = 0;
};

}  // namespace

int SaveImageToFile(const Settings& settings, const DeviceRecord& device, const ProgramImage& image,
                    Feedback& feedback) {
  const std::string& path = settings.ProgramFilePath;
  const FileFormatInfo* format = FindFileFormat(settings.DataFormat);
  if (!format) {
    char text[64];
    std::snprintf(text, sizeof text, "Unbekanntes Dateiformat %d\nfür die Datei\n\n",
                  static_cast<int>(settings.DataFormat));
    feedback.ShowInfo(std::string(text).append(path));
    return kWriteFailed;
  }
  DiskOutputFile out;
  if (int error = out.Create(path); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kWriteFailed;
  }
  WriteContext context{out,
                       feedback,
                       path,
                       image,
                       std::min<uint32_t>(device.SizeBytes, ProgramImage::kSize),
                       settings.HexLineLen,
                       settings.FFSave != 0,
                       format->number};
  if (format->write(context) != 0) return kWriteFailed;  // `out` removes the partial file
  if (int error = out.Commit(path); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kWriteFailed;
  }
  return 0;
}

}  // namespace tav
