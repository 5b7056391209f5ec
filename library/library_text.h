// SPDX-License-Identifier: GPL-2.0-or-later
// Small text rules of the device library: how a line is read from the file,
// how it is classified, how numbers are converted and how names are made
// displayable. Kept apart from DeviceLibrary so each rule can be tested alone.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tav {

// At most this many characters make one line; a longer line is continued as
// the next line (the classic 2048-byte fgets buffer).
inline constexpr size_t kMaxLibraryLineLength = 2047;

// Reads the next line from `file` (opened in binary mode) into `line`, with
// its '\n' when one was reached. A CR LF pair arrives as a single '\n', so
// files written on either platform read alike. Returns false when nothing
// could be read (end of file or read error).
bool ReadLibraryLine(std::FILE* file, std::string& line);

// The character two positions before the end of the line as read, upper
// case; '\0' for lines of fewer than two characters.
char FlagCharacter(const std::string& line);
bool IsActiveLine(const std::string& line);
bool IsHeaderLine(const std::string& line);

// The name of a manufacturer header: the text after ':' up to the first ';',
// or up to the character before the flag when there is no ';'.
std::string ManufacturerNameOf(const std::string& header);

// strtoul with base 0, narrowed to 32 bits: leading white space, an optional
// sign, then decimal, 0x-hexadecimal or 0-octal digits up to the first
// character that does not fit. Too large a number gives 0xFFFFFFFF, as a
// 32-bit strtoul would, so an absurd value cannot wrap into a plausible one.
uint32_t ParseLibraryNumber(const std::string& text);

bool IsValidUtf8(const std::string& text);
// Names are shown as UTF-8: text that is already valid UTF-8 is kept, any
// other text is taken as Windows-1252 (the usual encoding of older libraries
// with German names) and converted.
std::string DisplayText(const std::string& text);

}  // namespace tav
