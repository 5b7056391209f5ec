// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli_help.h"

namespace tav {

namespace {

// Which commands an option applies to, as bits.
enum : unsigned {
  kDevices = 1u << 0,
  kConfig = 1u << 1,
  kDetect = 1u << 2,
  kCalibrate = 1u << 3,
  kBlankCheck = 1u << 4,
  kErase = 1u << 5,
  kRead = 1u << 6,
  kProgram = 1u << 7,
  kVerify = 1u << 8,
  kInfo = 1u << 9,
  kConvert = 1u << 10,
  kBatch = 1u << 11,
  kBurning = kProgram | kBatch,
  kOnChip = kBlankCheck | kErase | kRead | kProgram | kVerify | kBatch,
  kOnBoard = kDetect | kCalibrate | kOnChip,
  kWithLibrary = kDevices | kConfig | kOnBoard,
  kAll = ~0u,
};

struct CommandHelp {
  const char* name;
  unsigned bit;
  const char* use;     // the arguments after the name
  const char* what;    // one line for the overview
  const char* status;  // the exit statuses besides 0, 1 and 2
};

// The exit status of the board: the same for every command that reaches it.
#define TV_BOARD_STATUS                                                                    \
  "  7   ein anderer Befehl benutzt den Brenner gerade (auch aus einem anderen Ordner)\n" \
  "  9   Zeitgeber-Fehler während eines Impulses\n"                                      \
  "  10  der Brenner antwortet nicht (Timeout)\n"                                          \
  "  13  die Bauteilbibliothek ist nicht zu gebrauchen\n"                                  \
  "  23  Simulator: eine elektrische Regel wurde verletzt\n"

constexpr CommandHelp kCommands[] = {
    {"devices", kDevices, "[MUSTER]", "Hersteller und Bausteine der Bibliothek zeigen (MUSTER filtert die Namen)",
     "  13  die Bauteilbibliothek ist nicht zu gebrauchen, oder kein Baustein passt\n"},
    {"config", kConfig, "[set SCHLÜSSEL WERT | reset SCHLÜSSEL]",
     "gespeicherte Einstellungen zeigen, eine setzen oder zurücksetzen",
     "  4   QUENVALD.INI kann nicht gelesen oder geschrieben werden\n"
     "  13  Device: der Baustein ist nicht in der Bibliothek\n"},
    {"detect", kDetect, "", "den Brenner suchen",
     "  8   Register- oder Latch-Test des Brenners fehlgeschlagen\n"
     "  10  der Brenner antwortet nicht (Timeout)\n"},
    {"calibrate", kCalibrate, "[--save]", "die Dauer eines Registerzugriffs messen (TimeBaseKorr)", TV_BOARD_STATUS},
    {"blank-check", kBlankCheck, "", "prüfen, ob der Baustein leer ist",
     "  4   nicht leere Zellen gefunden\n"
     "  5   abgebrochen, Sockel-Frage nicht bestätigt oder falsche Signatur\n" TV_BOARD_STATUS},
    {"erase", kErase, "", "den Baustein elektrisch löschen (Flash-Bausteine)",
     "  7   abgebrochen, nicht bestätigt, oder der Baustein ist nicht elektrisch löschbar\n"
     "  14  falsche Signatur\n" TV_BOARD_STATUS},
    {"read", kRead, "DATEI", "den Baustein in DATEI auslesen",
     "  4   Lesen fehlgeschlagen, abgebrochen, nicht bestätigt, oder DATEI nicht geschrieben\n" TV_BOARD_STATUS},
    {"program", kProgram, "DATEI", "DATEI in den Baustein brennen (danach prüfen und Lockbits wie eingestellt)",
     "  3   DATEI kann nicht geladen werden\n"
     "  6   Prüfen nach dem Brennen: Unterschied gefunden\n"
     "  7   Brennen fehlgeschlagen, abgebrochen, nicht bestätigt oder falsche Signatur\n"
     "  22  die Lockbits wirken nicht\n" TV_BOARD_STATUS},
    {"batch", kBatch, "DATEI", "Serienfertigung: DATEI in Baustein um Baustein brennen, mit Seriennummer und Protokoll",
     "  3   DATEI kann nicht geladen werden\n"
     "  6, 7, 9, 10, 22, 23  das Ergebnis des ersten fehlerhaften Bausteins\n"
     "  7   außerdem: ein Baustein abgebrochen, vor --count beendet, oder kein Baustein gebrannt\n"
     "  24  Seriennummer außerhalb des Bausteins, über Programmdaten oder zu groß für ihr Format;\n"
     "      Seriennummerndatei oder Protokoll nicht zu gebrauchen\n"
     "  13  die Bauteilbibliothek ist nicht zu gebrauchen\n"},
    {"verify", kVerify, "DATEI", "den Baustein mit DATEI vergleichen",
     "  3   DATEI kann nicht geladen werden\n"
     "  6   Unterschied gefunden, abgebrochen oder nicht bestätigt\n"
     "  7   falsche Signatur\n" TV_BOARD_STATUS},
    {"info", kInfo, "DATEI", "Format, Byte-Anzahl und höchste Adresse von DATEI zeigen",
     "  3   DATEI kann nicht gelesen werden\n"},
    {"convert", kConvert, "EIN AUS --format F", "EIN in das Format F umwandeln und als AUS schreiben",
     "  3   EIN kann nicht gelesen werden\n"
     "  4   AUS kann nicht geschrieben werden\n"},
};

#undef TV_BOARD_STATUS

struct OptionHelp {
  const char* spelling;
  const char* what;
  unsigned commands;
};

constexpr OptionHelp kOptions[] = {
    {"-h, --help", "diese Hilfe", kAll},
    {"-q, --quiet", "nur Fehler und eine Schlusszeile", kAll},
    {"-v, --verbose", "zusätzlich Port-Zugang, Zeitbasis, Priorität und Fehler auf Registerebene", kAll},
    {"--config-dir ORDNER", "QUENVALD.INI und 8789LIST.CSV in ORDNER statt im Arbeitsordner", kAll},
    {"--device NAME", "Baustein nach Name (z. B. AT89C2051) oder Listenplatz, nur für diesen Aufruf",
     kWithLibrary},
    {"--manufacturer NAME", "Hersteller nach Name (z. B. Atmel) oder Listenplatz", kWithLibrary},
    {"--format F", "Format erzwingen: Nummer 1..9 oder bin, intel8, intel32, intelmcs, s1, s2, s3, mos, tek",
     kRead | kBurning | kVerify | kConvert},
    {"--verify, --no-verify", "nach dem Brennen prüfen / nicht prüfen", kBurning},
    {"--lock N", "nach dem Brennen Lockbits bis N (1..3) setzen; 0 = keine. Bei EPROMs unumkehrbar", kBurning},
    {"--checksum, --no-checksum", "Prüfsummen der Hex-Zeilen prüfen / nicht prüfen",
     kBurning | kVerify | kInfo | kConvert},
    {"--count N", "N Bausteine brennen (ohne: bis [a]bbrechen oder Strg+C an der Frage)", kBatch},
    {"--stop-on-error", "nach dem ersten fehlerhaften Baustein aufhören (sonst protokollieren und weiter)", kBatch},
    {"--serial-at ADRESSE", "Seriennummer an ADRESSE (0x hexadezimal) in jeden Baustein brennen", kBatch},
    {"--serial-format F", "le1..le4, be1..be4 (binär, Bytes), bcd1..bcd10 (gepackt BCD, Ziffern), "
                          "dec1..dec10 (ASCII-Ziffern mit führenden Nullen)",
     kBatch},
    {"--serial-start N", "erste Seriennummer (Vorgabe 1; eine Seriennummerndatei geht vor)", kBatch},
    {"--serial-step N", "Abstand der Seriennummern (Vorgabe 1)", kBatch},
    {"--serial-file DATEI", "hält die nächste Seriennummer über Läufe hinweg; vor jedem Brennen gesichert",
     kBatch},
    {"--log DATEI", "eine CSV-Zeile je Baustein anhängen (Zeit, Nr, Baustein, Datei, CRC-32, Seriennummer, "
                    "Ergebnis, Sekunden)",
     kBatch},
    {"--ff-save, --no-ff-save", "Leerzellen (0xFF) in die Datei schreiben / weglassen", kRead | kConvert},
    {"--id-check, --no-id-check", "Signatur vor dem Befehl prüfen / nicht prüfen", kOnChip},
    {"-y, --yes", "die Sockel-Fragen bestätigen (batch: nur mit --count)", kOnChip},
    {"--on-error retry|cancel", "Antwort auf Fehlermeldungen ohne Terminal (Vorgabe cancel)", kOnChip},
    {"--port ADRESSE|GERÄT", "Portadresse (0xD010; ohne 0x dezimal) oder ppdev-Gerät (/dev/parport0)", kOnBoard},
    {"--simulate", "simulierter Brenner mit einem Baustein der gewählten Art", kOnBoard},
    {"--sim-realtime", "der Simulator braucht so lange wie echte Hardware", kOnBoard},
    {"--sim-write-us N", "Dauer eines simulierten Registerzugriffs in µs (Vorgabe: TimeBaseKorr)", kOnBoard},
    {"--chip-state DATEI", "den simulierten Baustein zwischen Aufrufen in DATEI halten", kOnBoard},
    {"--chip-fault F", "fehlerhafter simulierter Baustein: empty-socket, wrong-signature, not-blank, "
                       "stuck-bit:ADR:BIT:PEGEL, dead-cell:ADR, weak:IMPULSE; F@N nur Baustein N von batch",
     kOnBoard},
    {"--board-fault F", "fehlerhafter simulierter Brenner: no-board, handshake-low, broken-latch, silent-after:N",
     kOnBoard},
    {"--trace DATEI", "jeden Registerzugriff in DATEI schreiben", kOnBoard},
    {"--save", "den gemessenen TimeBaseKorr speichern", kCalibrate},
    {"--size N", "die Adressen 0 bis N-1 schreiben (Vorgabe: bis zur höchsten Adresse)", kConvert},
};

const CommandHelp* FindCommand(const std::string& name) {
  for (const CommandHelp& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void PrintOptions(unsigned bit, std::FILE* out) {
  for (const OptionHelp& option : kOptions) {
    if ((option.commands & bit) == 0) continue;
    // printf pads by bytes; an umlaut is two of them but one column.
    int extraBytes = 0;
    for (const char* c = option.spelling; *c != '\0'; ++c) extraBytes += (*c & 0xC0) == 0x80;
    std::fprintf(out, "  %-*s %s\n", 27 + extraBytes, option.spelling, option.what);
  }
}

constexpr const char* kCommonStatus =
    "  0   Erfolg\n"
    "  1   Demomodus: kein Brenner gefunden oder kein Portzugriff\n"
    "  2   Aufruf nicht verstanden\n";

}  // namespace

bool IsCommand(const std::string& name) { return FindCommand(name) != nullptr; }

void PrintHelp(const std::string& name, std::FILE* out) {
  const CommandHelp* command = FindCommand(name);
  if (command == nullptr) {
    std::fputs("tavrolith-cli - brennt 8051-Controller auf dem Tavrolith-Brenner\n\n"
               "Aufruf: tavrolith-cli [OPTIONEN] BEFEHL [ARGUMENTE]\n"
               "        tavrolith-cli BEFEHL --help    zeigt die Optionen und den Exit-Status eines Befehls\n"
               "        tavrolith-cli --version\n\nBefehle:\n",
               out);
    for (const CommandHelp& each : kCommands) std::fprintf(out, "  %-12s %s\n", each.name, each.what);
    std::fputs("\nOptionen gelten nur für den Aufruf, in dem sie stehen. Dauerhafte Vorgaben stehen in\n"
               "QUENVALD.INI (tavrolith-cli config), die Bausteine in 8789LIST.CSV: im Arbeitsordner, sonst\n"
               "unter Linux in ~/.config/tavrolith (oder mit --config-dir); fehlt 8789LIST.CSV, gilt die\n"
               "mitgelieferte Bibliothek.\n\n"
               "Exit-Status:\n",
               out);
    std::fputs(kCommonStatus, out);
    std::fputs("  sonst das Ergebnis des Befehls; siehe tavrolith-cli BEFEHL --help\n", out);
    return;
  }
  std::fprintf(out, "Aufruf: tavrolith-cli [OPTIONEN] %s %s\n\n%s: %s.\n", command->name, command->use,
               command->name, command->what);
  if (command->bit == kConfig) {
    std::fputs("\nOhne Argument zeigt config jede gespeicherte Einstellung. set speichert einen Wert mit\n"
               "denselben Bereichsregeln und Meldungen wie beim Laden (z. B. config set Verify 0,\n"
               "config set PortAdress d010 - hexadezimal wie in der Datei); Device speichert den\n"
               "Baustein nach Name (config set Device AT89C2051). reset stellt die Vorgabe her.\n",
               out);
  }
  if (command->bit == kBatch) {
    std::fputs("\nJe Baustein: die Frage \"Baustein N einsetzen\" mit der Seriennummer (Enter weiter, a oder\n"
               "Strg+C beendet den Lauf), Brennen, Prüfen und Lockbits wie bei program, die Ergebniszeile,\n"
               "\"Baustein N entnehmen\". Der Sockel ist beim Wechseln stromlos. Mit --simulate kommt an jeder\n"
               "Frage ein neuer leerer Baustein; --chip-fault F@N gibt Baustein N den Fehler F.\n",
               out);
  }
  std::fputs("\nOptionen:\n", out);
  PrintOptions(command->bit, out);
  std::fputs("\nExit-Status:\n", out);
  std::fputs(kCommonStatus, out);
  std::fputs(command->status, out);
}

}  // namespace tav
