// SPDX-License-Identifier: GPL-2.0-or-later
// One INI file in memory, with the rules of the Windows private-profile
// functions the settings were designed around: section and key names match
// without regard to case, an entry is replaced in place by its key, and every
// other key, section and comment survives a save.
#pragma once

// Only the narrow-character profile is used, so the wide-character
// converters (and the extra library they need) stay out.
#ifndef SI_NO_CONVERSION
#define SI_NO_CONVERSION
#endif
#include <SimpleIni.h>

#include <string>

namespace tav {

class IniFile {
public:
  IniFile();

  // Reads the file as bytes. A missing file is an empty profile and counts
  // as success; a file that exists but cannot be read gives false, and the
  // caller must not save over it.
  bool Load(const std::string& path);

  // The entry's text, or nullptr when section or key is missing. Leading and
  // trailing blanks are not part of the text.
  const char* Find(const char* section, const char* key) const;

  // Replaces (or appends) one entry. Returns false, leaving the entry as it
  // was, when the text holds a line break: written out it would end the
  // line and smuggle the rest in as entries of its own.
  bool Write(const char* section, const char* key, const std::string& text);

  // Removes one entry (missing ones count as removed).
  bool Remove(const char* section, const char* key);

  // Writes the whole profile to `path` atomically. False when that failed;
  // the file at `path` is then as it was.
  bool Save(const std::string& path) const;

private:
  // CSimpleIniA compares names without regard to case; the "Case" variant
  // of the library is the case-sensitive one.
  CSimpleIniA ini_;
};

}  // namespace tav
