// SPDX-License-Identifier: GPL-2.0-or-later
// Build step for Linux programs: writes the version record that
// tavrolith_attach_version puts into an ELF section.
// Usage: version_record_tool OUT "1, 3, 9, 0" LANGUAGE CODEPAGE KEY VALUE...
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/version/version_record.h"

int main(int argc, char** argv) {
  if (argc < 5 || argc % 2 != 1) {
    std::fprintf(stderr, "Aufruf: %s AUSGABE VERSION SPRACHE CODESEITE [SCHLÜSSEL WERT]...\n", argv[0]);
    return 2;
  }
  tav::VersionRecordValues values;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (std::sscanf(argv[2], "%u , %u , %u , %u", &a, &b, &c, &d) != 4) {
    std::fprintf(stderr, "%s: Versionsnummer '%s' ist nicht von der Form a, b, c, d\n", argv[0], argv[2]);
    return 2;
  }
  values.numbers[0] = uint16_t(a);
  values.numbers[1] = uint16_t(b);
  values.numbers[2] = uint16_t(c);
  values.numbers[3] = uint16_t(d);
  values.language = uint16_t(std::strtoul(argv[3], nullptr, 0));
  values.codePage = uint16_t(std::strtoul(argv[4], nullptr, 0));
  for (int i = 5; i + 1 < argc; i += 2) values.strings.emplace_back(argv[i], argv[i + 1]);
  const std::vector<uint8_t> record = tav::BuildVersionRecord(values);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(record.data(), 1, record.size(), out) != record.size() || std::fclose(out) != 0) {
    std::fprintf(stderr, "%s: '%s' kann nicht geschrieben werden\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
