// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/cli_options.h"

#include <cstdlib>
#include <sstream>

#include <CLI/CLI.hpp>

#include "app/cli/cli_help.h"
#include "app/version/version_info.h"
#include "files/program_files.h"
#include "operations/serial_number.h"
#include "settings/settings_dialog.h"

namespace tav {

const FileFormatInfo* ResolveFormat(const std::string& text) {
  if (const FileFormatInfo* format = FindFileFormatByKey(text)) return format;
  // A format number is a single digit; FindFileFormat refuses 0.
  if (text.size() != 1 || text[0] < '0' || text[0] > '9') return nullptr;
  return FindFileFormat(text[0] - '0');
}

bool ParsePortAddress(const std::string& text, uint16_t& address) {
  const int32_t value = PortTextValue(text);
  if (value < kLowestPortAdress || value > kHighestPortAdress) return false;
  address = uint16_t(value);
  return true;
}

namespace {

// CLI11 explains its errors in English; the program speaks German. The
// option or argument concerned leads CLI11's text up to its first colon.
std::string GermanParseError(const CLI::ParseError& error) {
  const std::string what = error.what();
  const size_t colon = what.find(": ");
  const std::string before = what.substr(0, colon);
  const std::string after = colon == std::string::npos ? what : what.substr(colon + 2);
  if (dynamic_cast<const CLI::ExtrasError*>(&error)) return "Unbekannte Angabe: " + after;
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    if (what.find("subcommand") != std::string::npos) return "Bitte genau einen Befehl angeben.";
    return "Angabe fehlt: " + what.substr(0, what.find(' '));
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) return "Falsche Anzahl von Werten für " + before;
  if (dynamic_cast<const CLI::ValidationError*>(&error)) return "Ungültiger Wert für " + before;
  if (dynamic_cast<const CLI::ConversionError*>(&error)) return "Keine Zahl: " + what;
  return "Aufruf nicht verstanden: " + what;
}

// A number as the user writes addresses and counts: "0x" hexadecimal,
// otherwise decimal; nothing for anything else.
std::optional<uint64_t> ParseBatchNumber(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
}

// The serial options into the run's options; they belong together: an
// address and a format, or none.
void ReadBatchOptions(const std::string& serialFile, CliOptions& options, std::vector<std::string>& errors) {
  const bool anySerial = !options.serialAt.empty() || !options.serialStart.empty() ||
                         !options.serialStep.empty() || !options.serialFormat.empty() || !serialFile.empty();
  // Every prompt answered at once, with no end set: the run would burn the
  // same chip again and again.
  if (options.assumeYes && !options.batch.count) errors.push_back("batch mit --yes braucht --count N.");
  if (!anySerial) return;
  if (options.serialAt.empty() || options.serialFormat.empty()) {
    errors.push_back("Seriennummern brauchen --serial-at ADRESSE und --serial-format F.");
    return;
  }
  BatchSerial serial;
  serial.file = serialFile;
  const auto number = [&](const std::string& name, const std::string& text, uint64_t low, uint64_t high,
                          uint64_t& target) {
    if (text.empty()) return;
    const std::optional<uint64_t> value = ParseBatchNumber(text);
    if (!value || *value < low || *value > high) {
      errors.push_back("Ungültiger Wert für " + name + ": '" + text + "'");
    } else {
      target = *value;
    }
  };
  uint64_t address = 0;
  number("--serial-at", options.serialAt, 0, 0xFFFF, address);
  serial.address = uint32_t(address);
  number("--serial-start", options.serialStart, 0, 9999999999ull, serial.start);
  number("--serial-step", options.serialStep, 1, 1000000, serial.step);
  const std::optional<SerialFormat> format = ParseSerialFormat(options.serialFormat);
  if (!format) {
    errors.push_back("--serial-format: unbekanntes Format '" + options.serialFormat +
                     "' (le1..le4, be1..be4, bcd1..bcd10, dec1..dec10)");
  } else {
    serial.format = *format;
  }
  options.batch.serial = serial;
}

// The program's version from its own version record.
void PrintVersion(const std::string& versionFile, std::FILE* out) {
  VersionInfo info;
  info.Open(versionFile);
  std::fprintf(out, "tavrolith-cli %s\n", VersionText(info).c_str());
}

}  // namespace

int ParseCliOptions(int argc, char** argv, CliOptions& options, std::FILE* out, std::FILE* err,
                    const std::string& versionFile) {
  // Help and version come before everything else, so that `program --help`
  // needs no FILE; the first command name decides whose help it is.
  std::string helpFor;
  bool help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") help = true;
    if (helpFor.empty() && IsCommand(arg)) helpFor = arg;
    if (arg == "--version" && !help) {
      PrintVersion(versionFile, out);
      return 0;
    }
  }
  if (help) {
    PrintHelp(helpFor, out);
    return 0;
  }

  CLI::App app{"tavrolith-cli", "tavrolith-cli"};
  app.set_help_flag();
  app.require_subcommand(1, 1);
  app.fallthrough();
  // CLI11 takes "/x" as option x on Windows; here a leading '/' always
  // starts a path ("/daten/prog.hex" is valid there too), as on Linux.
  app.allow_windows_style_options(false);

  auto flag = [&](const char* name, std::optional<int>& target, int value) {
    app.add_flag_callback(name, [&target, value] { target = value; });
  };
  app.add_option("--device", options.device);
  app.add_option("--manufacturer", options.manufacturer);
  flag("--verify", options.verify, 1);
  flag("--no-verify", options.verify, 0);
  flag("--id-check", options.idCheck, 1);
  flag("--no-id-check", options.idCheck, 0);
  app.add_option_function<int>("--lock", [&](const int& level) { options.lock = level; })->check(CLI::Range(0, 3));
  flag("--ff-save", options.ffSave, 1);
  flag("--no-ff-save", options.ffSave, 0);
  flag("--no-checksum", options.testChecksum, 0);
  flag("--checksum", options.testChecksum, 1);
  app.add_flag("-y,--yes", options.assumeYes);
  app.add_option("--on-error", options.onError)->check(CLI::IsMember({"retry", "cancel"}));
  app.add_option("--trace", options.trace);
  // Before the command as well as after it.
  app.add_option("--format", options.format);
  app.add_flag("-q,--quiet", options.quiet);
  app.add_flag("-v,--verbose", options.verbose);
  app.add_option("--config-dir", options.configDir);
  app.add_option("--port", options.port);
  app.add_flag("--simulate", options.simulate);
  app.add_flag("--sim-realtime", options.simulator.realtime);
  app.add_option("--chip-state", options.simulator.chipState);
  // Unset, the simulated write lasts TimeBaseKorr microseconds.
  options.simulator.writeMicroseconds = 0;
  app.add_option("--sim-write-us", options.simulator.writeMicroseconds)->check(CLI::Range(1, 10000));
  std::vector<std::string> chipFaults, boardFaults;
  app.add_option("--chip-fault", chipFaults);
  app.add_option("--board-fault", boardFaults);

  auto command = [&](const char* name) {
    CLI::App* sub = app.add_subcommand(name);
    sub->set_help_flag();
    sub->fallthrough();
    return sub;
  };
  command("devices")->add_option("PATTERN", options.files)->expected(0, 1);
  command("config")->add_option("WORDS", options.files)->expected(0, 3);
  command("detect");
  command("calibrate")->add_flag("--save", options.save);
  command("blank-check");
  command("erase");
  for (const char* name : {"read", "program", "verify"}) {
    CLI::App* sub = command(name);
    sub->add_option("DATEI", options.files)->required()->expected(1);
    sub->add_option("--format", options.format);
  }
  CLI::App* batch = command("batch");
  batch->add_option("DATEI", options.files)->required()->expected(1);
  batch->add_option("--format", options.format);
  batch->add_option_function<uint32_t>("--count", [&](const uint32_t& count) { options.batch.count = count; })
      ->check(CLI::Range(1u, 1000000u));
  batch->add_flag("--stop-on-error", options.batch.stopOnError);
  batch->add_option("--serial-at", options.serialAt);
  batch->add_option("--serial-start", options.serialStart);
  batch->add_option("--serial-step", options.serialStep);
  batch->add_option("--serial-format", options.serialFormat);
  std::string serialFile;
  batch->add_option("--serial-file", serialFile);
  batch->add_option("--log", options.batch.logPath);
  command("info")->add_option("DATEI", options.files)->required()->expected(1);
  CLI::App* convert = command("convert");
  convert->add_option("EIN AUS", options.files)->required()->expected(2);
  convert->add_option("--format", options.format);
  convert->add_option_function<uint32_t>("--size", [&](const uint32_t& size) { options.size = size; })
      ->check(CLI::Range(1, 65536));

  std::vector<std::string> errors;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    errors.push_back(GermanParseError(error));
  }
  if (errors.empty()) {
    for (const CLI::App* sub : app.get_subcommands()) options.command = sub->get_name();
    const std::string badFault =
        ApplyChipFaults(chipFaults, options.simulator.chipFaults, options.simulator.batchChipFaults);
    if (!badFault.empty()) errors.push_back("--chip-fault: unbekannter Fehler '" + badFault + "'");
    for (const std::string& fault : boardFaults) {
      if (!ApplyBoardFault(fault, options.simulator.boardFaults)) errors.push_back("--board-fault: unbekannter Fehler '" + fault + "'");
    }
    const std::string& c = options.command;
    const bool takesFormat = c == "read" || c == "program" || c == "verify" || c == "convert" || c == "batch";
    if (c == "convert" && options.format.empty()) errors.push_back("Angabe fehlt: --format");
    if (!options.format.empty() && !takesFormat) errors.push_back("--format gilt nicht für " + c);
    if (!options.format.empty() && ResolveFormat(options.format) == nullptr) {
      errors.push_back("--format: unbekanntes Format '" + options.format + "'");
    }
    uint16_t address = 0;
    if (!options.port.empty() && options.port[0] != '/' && !ParsePortAddress(options.port, address)) {
      char range[64];
      std::snprintf(range, sizeof range, " (0x%X bis 0x%X; hexadezimal mit 0x)", unsigned(kLowestPortAdress),
                    unsigned(kHighestPortAdress));
      errors.push_back("--port: weder eine Portadresse noch ein Gerät: '" + options.port + "'" + range);
    }
    if (options.quiet && options.verbose) errors.push_back("-q und -v schließen sich aus.");
    if (c == "batch") ReadBatchOptions(serialFile, options, errors);
  }
  for (const std::string& text : errors) std::fprintf(err, "tavrolith-cli: %s\n", text.c_str());
  if (errors.empty()) return -1;
  std::fprintf(err, "%s\n", kUsageHint);
  return kUsageError;
}

}  // namespace tav
