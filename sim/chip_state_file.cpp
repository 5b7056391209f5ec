// Reading and writing the chip state file described in chip_state_file.h.
#include "sim/chip_state_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

#include "base/crc32.h"
#include "settings/atomic_file.h"
#include "settings/native_path.h"

namespace tav::sim {

namespace {

constexpr const char* kMagic = "TAVROLITH-CHIP 1";
// Header lines are short; anything longer than this is not our file.
constexpr size_t kMaxHeaderLine = 512;

uint32_t Crc32(const std::vector<uint8_t>& cells, uint8_t lockBits) {
  return Crc32Update(Crc32Update(0, cells.data(), cells.size()), &lockBits, 1);
}

std::string HexCrc(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", crc);
  return text;
}

std::string FileMessage(const std::string& path, int line, const std::string& what) {
  std::string text = "Chipdatei '" + path + "'";
  if (line > 0) text += ", Zeile " + std::to_string(line);
  return text + ": " + what;
}

// Parses a decimal number that is the whole of `text`, up to `limit`.
bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value <= limit;
}

}  // namespace

bool WriteChipStateFile(const std::string& path, const ChipState& state, std::string& error) {
  std::ostringstream header;
  header << kMagic << "\npart: " << state.part << "\nsize: " << state.cells.size()
         << "\nlockbits: " << unsigned(state.lockBits) << "\ncrc32: " << HexCrc(Crc32(state.cells, state.lockBits))
         << "\ndata:\n";
  // The atomic writer: a crash never leaves half a chip behind, and unlike
  // a plain rename it also replaces an existing file on Windows.
  AtomicFileWriter out;
  if (out.Open(path) != 0) {
    error = FileMessage(path, 0, "kann nicht angelegt werden");
    return false;
  }
  const std::string_view cells(reinterpret_cast<const char*>(state.cells.data()), state.cells.size());
  if (!out.Write(header.str()) || !out.Write(cells)) {
    error = FileMessage(path, 0, "Schreibfehler");
    return false;
  }
  if (out.Commit() != 0) {
    error = FileMessage(path, 0, "kann nicht ersetzt werden");
    return false;
  }
  error.clear();
  return true;
}

bool ReadChipStateFile(const std::string& path, const std::string& part, uint32_t size, ChipState& state,
                       std::string& error) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) {
    error = FileMessage(path, 0, "kann nicht geöffnet werden");
    return false;
  }
  // The header, line by line: the first and last lines exactly, the others
  // by their key, whose value follows it.
  static const char* const kLines[6] = {kMagic, "part: ", "size: ", "lockbits: ", "crc32: ", "data:"};
  std::string values[6];
  for (int i = 0; i < 6; ++i) {
    const int line = i + 1;
    std::string text;
    char c = 0;
    while (in.get(c) && c != '\n' && text.size() <= kMaxHeaderLine) text += c;
    if (!in || c != '\n') {
      error = FileMessage(path, line, "Kopfzeile fehlt oder ist unvollständig");
      return false;
    }
    const std::string prefix(kLines[i]);
    const bool exact = i == 0 || i == 5;
    if (exact ? text != prefix : text.compare(0, prefix.size(), prefix) != 0) {
      error = FileMessage(path, line, i == 0 ? "keine Tavrolith-Chipdatei" : "erwartet '" + prefix + "...'");
      return false;
    }
    values[i] = text.substr(prefix.size());
  }

  if (values[1] != part) {
    state.part = values[1];  // so that the caller can name the part the file belongs to
    error = FileMessage(path, 2, "gehört zu Baustein '" + values[1] + "', nicht zu '" + part + "'");
    return false;
  }
  uint64_t fileSize = 0;
  if (!ParseNumber(values[2], 0x10000, fileSize) || fileSize != size) {
    error = FileMessage(path, 3, "Größe '" + values[2] + "' passt nicht zu " + std::to_string(size) + " Bytes");
    return false;
  }
  uint64_t lockBits = 0;
  if (!ParseNumber(values[3], 7, lockBits)) {
    error = FileMessage(path, 4, "ungültige Lockbits '" + values[3] + "'");
    return false;
  }
  if (values[4].size() != 8 || values[4].find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    error = FileMessage(path, 5, "ungültige Prüfsumme '" + values[4] + "'");
    return false;
  }

  // One byte more than expected is enough to tell a file that is too long.
  std::vector<uint8_t> cells(size_t{size} + 1);
  in.read(reinterpret_cast<char*>(cells.data()), static_cast<std::streamsize>(cells.size()));
  cells.resize(static_cast<size_t>(in.gcount()));
  if (cells.size() != size) {
    error = FileMessage(path, 0,
                        (cells.size() > size ? "mehr als " + std::to_string(size) : std::to_string(cells.size())) +
                            " Datenbytes statt " + std::to_string(size) + ", Datei ist beschädigt");
    return false;
  }
  if (HexCrc(Crc32(cells, static_cast<uint8_t>(lockBits))) != values[4]) {
    error = FileMessage(path, 0, "Prüfsumme stimmt nicht, Datei ist beschädigt");
    return false;
  }
  state.part = values[1];
  state.lockBits = static_cast<uint8_t>(lockBits);
  state.cells = std::move(cells);
  error.clear();
  return true;
}

}  // namespace tav::sim
