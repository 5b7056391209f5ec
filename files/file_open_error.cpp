// SPDX-License-Identifier: GPL-2.0-or-later
// The file-open error message. Its table of texts is indexed by the error
// numbers of the DOS/Windows run-time library it was written for; this
// platform's errno values differ, so they are mapped by meaning.
#include <cerrno>
#include <cstring>
#include <iterator>

#include "files/program_files.h"

namespace tav {

namespace {
constexpr const char* kErrnoTexts[] = {
    " ",
    "Ungültige Funktionsnummer",
    "Datei oder Verzeichnis existiert nicht",
    "Pfad nicht gefunden",
    "Zu viele Dateien offen",
    "Zugriff verweigert",
    "Ungültiges Dateihandle",
    "Speicherblöcke zerstört",
    "Zu wenig Speicher",
    "Ungültige Speicherblockadresse",
    "Ungültiges Environment",
    "Ungültiges Format",
    "Ungültiger Zugriffscode",
    "Ungültige Daten",
    "Unbekannter Fehler",
    "Ungültige Laufwerksangabe",
    "Versuch das aktuelle Verzeichnis zu löschen",
    "Nicht das gleiche Gerät",
    "Keine Dateien mehr",
    "Ungültiges Argument",
    "Argumentliste zu lang",
    "Fehler beim EXEC-Format",
    "Kreuzverbindung von Geräten",
    "Zu viele Dateien offen",
    "no child process",
    "Unix only",
    "Unix only",
    "Unix only",
    "Kein Platz mehr auf dem Gerät",
    "Ungültiges SEEK-Kommando",
    "Read only Dateisystem",
    "Unix only",
    "Unterbrochene Pipeline",
    "Mathe Argumentfehler",
    "Ergebnis zu groß",
    "Datei existiert schon",
    "Datei ist verriegelt",
    "Operation nicht erlaubt",
    "Unix only",
    "Unterbrochener Funktionsaufruf",
    "Eingabe/Ausgabe Fehler",
    "Gerät oder Adresse existiert nicht",
    "Resource zur Zeit nicht verfügbar",
    "Unix only",
    "Resource ist beschäftigt",
    "Unix only",
    "Unix only",
    "Unix only",
    " ",
};

static_assert(std::size(kErrnoTexts) == 49);

// Table entry for a platform errno, or -1 when the table has no text of
// that meaning (the "Unix only" entries say nothing useful).
int TableIndex(int e) {
  switch (e) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: return 4;
    case EACCES:
    // The run-time library the table was written for refuses a directory
    // opened as a file with "access denied".
    case EISDIR: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EFAULT: return 9;
    case EINVAL: return 19;
    case E2BIG: return 20;
    case ENOEXEC: return 21;
    case EXDEV: return 22;
    case ENFILE: return 23;
    case ECHILD: return 24;
    case ENOSPC: return 28;
    case ESPIPE: return 29;
    case EROFS: return 30;
    case EPIPE: return 32;
    case EDOM: return 33;
    case ERANGE: return 34;
    case EEXIST: return 35;
    case EPERM: return 37;
    case EINTR: return 39;
    case EIO: return 40;
    case ENXIO: return 41;
    case EAGAIN: return 42;
    case EBUSY: return 44;
    default: return -1;
  }
}
}  // namespace

std::string FileErrorText(int platformErrno) {
  const int index = TableIndex(platformErrno);
  if (index >= 0) return kErrnoTexts[index];
  return std::strerror(platformErrno);
}

void ShowFileOpenError(Feedback& feedback, const std::string& path, int platformErrno) {
  std::string text = "Fehler beim Öffnen der Datei\n\n";
  text.append(path).append("\n\n").append(FileErrorText(platformErrno));
  feedback.ShowPlainMessage(text);
}

}  // namespace tav
