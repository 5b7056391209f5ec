#include "settings/ini_file.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "settings/atomic_file.h"

namespace tav {

IniFile::IniFile() : ini_(/*isUtf8=*/false, /*multiKey=*/false, /*multiLine=*/false) {
  // "key=value" without blanks, as the Windows profile functions write it.
  ini_.SetSpaces(false);
}

bool IniFile::Load(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  // The parser stops at the first NUL byte; everything behind it would be
  // neither read nor written back. A blank keeps those entries alive.
  for (char& c : bytes) {
    if (c == '\0') c = ' ';
  }
  return ini_.LoadData(bytes) >= 0;
}

const char* IniFile::Find(const char* section, const char* key) const {
  return ini_.GetValue(section, key, nullptr);
}

bool IniFile::Write(const char* section, const char* key, const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  return ini_.SetValue(section, key, text.c_str()) >= 0;
}

bool IniFile::Save(const std::string& path) const {
  std::string content;
  // A file that came with a UTF-8 signature keeps it.
  if (ini_.Save(content, ini_.IsUnicode()) < 0) return false;
  return ReplaceFileContents(path, content);
}

}  // namespace tav
