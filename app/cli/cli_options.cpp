#include "app/cli/cli_options.h"

#include <cstdlib>
#include <sstream>

#include <CLI/CLI.hpp>

#include "files/program_files.h"

namespace tav {

namespace {

constexpr const char* kFooter =
    "Settings come from QUENVALD.INI and the device library from 8789LIST.CSV in the\n"
    "working directory. Options that mirror the window's check boxes and lists\n"
    "(--device, --verify, --lock, --ff-save, ...) are stored there like the window\n"
    "stores them; --lock 0 clears the lock bits again.\n"
    "\n"
    "Formats (--format), by number or key: 1 bin, 2 intel8, 3 intel32, 4 intelmcs,\n"
    "5 s1 (Motorola S19), 6 s2, 7 s3, 8 mos (MOS Technology), 9 tek (Tektronix).\n"
    "Chip faults (--chip-fault): empty-socket, wrong-signature, not-blank,\n"
    "stuck-bit:ADDR:BIT:LEVEL, dead-cell:ADDR, weak:PULSES.\n"
    "Board faults (--board-fault): no-board, handshake-low, broken-latch,\n"
    "silent-after:N (the board stops answering after N register writes).\n"
    "\n"
    "Exit status: the result code of the command (0 = success), 1 in demonstration\n"
    "mode, 2 for usage errors.";

bool ParseNumber(const std::string& text, uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text.c_str(), &end, 0);
  return errno == 0 && *end == '\0' && text[0] != '-';
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

}  // namespace

const FileFormatInfo* ResolveFormat(const std::string& text) {
  if (const FileFormatInfo* format = FindFileFormatByKey(text)) return format;
  uint64_t number = 0;
  if (!ParseNumber(text, number) || number > 9) return nullptr;
  return FindFileFormat(int(number));
}

bool ParsePortAddress(const std::string& text, uint16_t& address) {
  uint64_t value = 0;
  // The three port addresses must fit below 0x10000.
  if (!ParseNumber(text, value) || value == 0 || value > 0xFFFD) return false;
  address = uint16_t(value);
  return true;
}

bool ApplyChipFault(const std::string& text, sim::ChipFaults& faults) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.empty()) return false;
  uint64_t a = 0, b = 0, c = 0;
  if (parts.size() == 1) {
    if (text == "empty-socket") faults.emptySocket = true;
    else if (text == "wrong-signature") faults.wrongSignature = true;
    else if (text == "not-blank") faults.notBlank = true;
    else return false;
    return true;
  }
  if (parts[0] == "stuck-bit" && parts.size() == 4 && ParseNumber(parts[1], a) && ParseNumber(parts[2], b) &&
      ParseNumber(parts[3], c) && a < 0x10000 && b < 8 && c < 2) {
    faults.stuckBit = sim::StuckBit{uint32_t(a), uint8_t(b), c == 1};
    return true;
  }
  if (parts[0] == "dead-cell" && parts.size() == 2 && ParseNumber(parts[1], a) && a < 0x10000) {
    faults.deadCell = uint32_t(a);
    return true;
  }
  if (parts[0] == "weak" && parts.size() == 2 && ParseNumber(parts[1], a) && a > 0 && a < 100000) {
    faults.neededPulses = uint32_t(a);
    return true;
  }
  return false;
}

bool ApplyBoardFault(const std::string& text, sim::BoardFaults& faults) {
  if (text == "no-board") faults.noBoard = true;
  else if (text == "handshake-low") faults.handshakeStuckLow = true;
  else if (text == "broken-latch") faults.brokenDataLatch = true;
  else {
    // silent-after:N (or =N): the board stops answering after N register writes.
    const size_t sep = text.find_first_of(":=");
    uint64_t writes = 0;
    if (sep == std::string::npos || text.compare(0, sep, "silent-after") != 0 ||
        !ParseNumber(text.substr(sep + 1), writes) || writes > INT64_MAX) {
      return false;
    }
    faults.silentAfterWrites = static_cast<int64_t>(writes);
  }
  return true;
}

int ParseCliOptions(int argc, char** argv, CliOptions& options, std::FILE* out, std::FILE* err) {
  CLI::App app{"tavrolith-cli - programs 8051-family microcontrollers on the Tavrolith programmer board",
               "tavrolith-cli"};
  app.footer(kFooter);
  app.require_subcommand(1, 1);
  app.fallthrough();
  // CLI11 takes "/x" as option x on Windows; here a leading '/' always
  // starts a path ("/daten/prog.hex" is valid there too), as on Linux.
  app.allow_windows_style_options(false);

  auto flag = [&](const char* name, std::optional<int>& target, int value, const char* help) {
    app.add_flag_callback(name, [&target, value] { target = value; }, help);
  };
  app.add_option("--device", options.device, "Device by name (e.g. AT89C2051) or list position");
  app.add_option("--manufacturer", options.manufacturer, "Manufacturer by name (e.g. Atmel) or list position");
  flag("--verify", options.verify, 1, "Verify after programming");
  flag("--no-verify", options.verify, 0, "Do not verify after programming");
  flag("--id-check", options.idCheck, 1, "Check the signature before each operation");
  flag("--no-id-check", options.idCheck, 0, "Do not check the signature");
  app.add_option_function<int>("--lock", [&](const int& level) { options.lock = level; },
                               "Program lock bits up to 1, 2 or 3 after programming; 0 = none")
      ->check(CLI::Range(0, 3));
  flag("--ff-save", options.ffSave, 1, "Write blank cells (0xFF) into saved files");
  flag("--no-ff-save", options.ffSave, 0, "Leave blank cells out of saved files");
  flag("--no-checksum", options.testChecksum, 0, "Do not test the checksums of hex lines");
  flag("--checksum", options.testChecksum, 1, "Test the checksums of hex lines");
  app.add_flag("-y,--yes", options.assumeYes, "Confirm the socket prompts");
  app.add_option("--on-error", options.onError, "Answer to Retry/Cancel reports without a terminal (default cancel)")
      ->check(CLI::IsMember({"retry", "cancel"}));
  app.add_option("--trace", options.trace, "Write the register-write trace to FILE");
  app.add_flag("-q,--quiet", options.quiet, "No status lines and no progress");
  app.add_option("--port", options.port, "I/O address (0x378) or ppdev device (/dev/parport0); default PortAdress");
  app.add_flag("--simulate", options.simulate, "Use the simulated board with a chip of the selected device");
  app.add_option("--chip-state", options.simulator.chipState, "Keep the simulated chip in FILE between runs");
  app.add_option("--sim-write-us", options.simulator.writeMicroseconds, "Duration of one simulated register write, in us")
      ->check(CLI::Range(1, 10000));
  std::vector<std::string> chipFaults, boardFaults;
  app.add_option("--chip-fault", chipFaults, "Insert a faulty simulated chip (see below)");
  app.add_option("--board-fault", boardFaults, "Simulate a faulty board (see below)");

  auto command = [&](const char* name, const char* help) {
    CLI::App* sub = app.add_subcommand(name, help);
    sub->fallthrough();
    return sub;
  };
  command("devices", "List the manufacturers and devices of the library");
  command("detect", "Search for the programmer board");
  command("calibrate", "Measure one register write and the matching TimeBaseKorr")
      ->add_flag("--save", options.save, "Store the measured TimeBaseKorr");
  command("blank-check", "Check that the chip is blank");
  command("erase", "Erase the chip (flash parts)");
  CLI::App* read = command("read", "Read the chip into FILE");
  read->add_option("FILE", options.files, "File to write")->required()->expected(1);
  read->add_option("--format", options.format, "Format number or key (default: by extension .bin .hex .s19 .s28 .s37, else DataFormat)");
  command("program", "Program FILE into the chip (verify and lock bits as set)")
      ->add_option("FILE", options.files, "Program file")->required()->expected(1);
  command("verify", "Compare the chip with FILE")
      ->add_option("FILE", options.files, "Program file")->required()->expected(1);
  command("info", "Show the detected format, ByteCount and HighestAddress of FILE")
      ->add_option("FILE", options.files, "Program file")->required()->expected(1);
  CLI::App* convert = command("convert", "Convert IN into OUT in another format");
  convert->add_option("IN OUT", options.files, "Input and output file")->required()->expected(2);
  convert->add_option("--format", options.format, "Format number or key of OUT")->required();
  convert->add_option_function<uint32_t>("--size", [&](const uint32_t& size) { options.size = size; },
                                         "Write addresses 0 .. N-1 (default: up to the highest address)")
      ->check(CLI::Range(1, 65536));

  std::ostringstream outText, errText;
  int status = -1;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    status = app.exit(error, outText, errText) == 0 ? 0 : kUsageError;
  }
  if (status < 0) {
    for (const CLI::App* sub : app.get_subcommands()) options.command = sub->get_name();
    for (const std::string& fault : chipFaults) {
      if (!ApplyChipFault(fault, options.simulator.chipFaults)) {
        errText << "--chip-fault: unknown fault '" << fault << "'\n";
        status = kUsageError;
      }
    }
    for (const std::string& fault : boardFaults) {
      if (!ApplyBoardFault(fault, options.simulator.boardFaults)) {
        errText << "--board-fault: unknown fault '" << fault << "'\n";
        status = kUsageError;
      }
    }
    if (!options.format.empty() && ResolveFormat(options.format) == nullptr) {
      errText << "--format: unknown format '" << options.format << "'\n";
      status = kUsageError;
    }
    uint16_t address = 0;
    if (!options.port.empty() && options.port[0] != '/' && !ParsePortAddress(options.port, address)) {
      errText << "--port: neither an I/O address nor a device path: '" << options.port << "'\n";
      status = kUsageError;
    }
    if (status == kUsageError) errText << "Run with --help for more information.\n";
  }
  std::fputs(outText.str().c_str(), out);
  std::fputs(errText.str().c_str(), err);
  return status;
}

}  // namespace tav
