// Saving the image. The new file is written beside the target under a
// temporary name and renamed over it only when the writer succeeded, so a
// refused or failed save never costs the user the previous file. A file the
// user may not write is refused as an open failure, as a truncating open
// would refuse it.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <unistd.h>

#include "files/program_files.h"
#include "files/writers.h"
#include "settings/atomic_file.h"

namespace tav {

namespace {

// One write call per Write, so a failure belongs to the line that caused it.
class DiskOutputFile : public OutputFile {
public:
  ~DiskOutputFile() override { Discard(); }

  // Opens the output for `requested`; 0 or the errno. Normally a new file
  // beside the real target (symbolic links followed); a device or pipe, or a
  // writable file in a directory where no new file may be made, is written
  // in place as it always was.
  int Create(const std::string& requested) {
    namespace fs = std::filesystem;
    target_ = ResolveReplaceTarget(requested);
    if (target_.error != 0) return target_.error;
    if (target_.exists && !target_.regular) return OpenInPlace();
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, ".tav.%08x.tmp", static_cast<unsigned>(random()));
      const fs::path candidate = fs::path(target_.path).parent_path() / name;
      errno = 0;
      // "x": never reuse a file that happens to exist.
      file_ = std::fopen(candidate.c_str(), "wbx");
      if (file_) {
        path_ = candidate.string();
        std::setvbuf(file_, nullptr, _IONBF, 0);
        return 0;
      }
      if (errno == EACCES && target_.exists) return OpenInPlace();
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
  int Commit() {
    namespace fs = std::filesystem;
    if (std::fflush(file_) != 0 || (target_.regular && fsync(fileno(file_)) != 0)) return Fail();
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return Fail();
    if (path_.empty()) return 0;  // written in place
    std::error_code ec;
    const auto previous = fs::status(target_.path, ec);
    if (!ec && fs::is_regular_file(previous)) fs::permissions(path_, previous.permissions(), ec);
    fs::rename(path_, target_.path, ec);
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
  int OpenInPlace() {
    errno = 0;
    file_ = std::fopen(target_.path.c_str(), "wb");
    if (!file_) return errno ? errno : EIO;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return 0;
  }

  int Fail() {
    error_ = errno ? errno : EIO;
    return error_;
  }

  ReplaceTarget target_;
  std::FILE* file_ = nullptr;
  std::string path_;  // the temporary file; empty when writing in place
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
  if (format->write(context) != kSuccess) return kWriteFailed;  // `out` removes the partial file
  if (int error = out.Commit(); error != 0) {
    ShowFileOpenError(feedback, path, error);
    return kWriteFailed;
  }
  return kSuccess;
}

}  // namespace tav
