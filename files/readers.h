// SPDX-License-Identifier: GPL-2.0-or-later
// The format readers and what they share: the open file, the image, the
// line counter and the three messages every text reader can give.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/feedback.h"
#include "base/result_codes.h"
#include "files/format_probe.h"
#include "files/input_file.h"
#include "files/program_image.h"
#include "files/record_line.h"

namespace tav {

struct ReadContext {
  InputFile& file;
  ProgramImage& image;
  Feedback& feedback;
  const std::string& path;
  uint32_t sizeBytes = 0;       // of the current device
  bool testChecksum = true;     // the TestChecksum setting
  uint32_t lineNumber = 0;      // lines read so far; shown in every message

  // Starts a text reader: line number, ByteCount and HighestAddress 0.
  void Begin();
  // Reads the next line and counts it; false at the end of the file.
  bool NextLine(std::string_view& line);

  // Stores one data byte by the image's store rule. Addresses beyond 32
  // bits are held at 0xFFFFFFFF instead of wrapping onto low addresses.
  void Store(uint64_t address, uint8_t value);

  // The messages; each returns 3.
  int RefuseLineStart();
  int RefuseLength(size_t actual, size_t required);
  // A character that is no hex digit where the record has a number; it
  // would be read as the end of that number, and a comment line as an empty
  // record. Names the file, the line and the column (0-based `pos`).
  int RefuseNonHex(size_t pos);
  // Refuses the line when one of the `width` characters at `pos` is there
  // and no hex digit (RefuseNonHex). A field cut short by the line end is
  // left to the length check. 0 or kFileFailed.
  int CheckHex(const RecordLine& line, size_t pos, size_t width);
  // Shows the checksum message and returns true when the sums differ and
  // TestChecksum is on; a difference is ignored otherwise.
  bool ChecksumRefused(uint32_t read, uint32_t computed);
};

// Each reader reads the whole opened file into the image (0 or kFileFailed)
// and knows the first lines of its formats (the recognisers of the format
// table).
class BinaryReader {
public:
  static int Read(ReadContext& context);
  // A control character (tabs aside) or a byte that is not part of UTF-8
  // text anywhere but in the last two places, where a line end may stand.
  static bool Recognises(FormatProbe& probe);
};

class IntelHexReader {
public:
  static int Read(ReadContext& context);
  // The record type of the first record decides: data (00) or the end
  // record (01) makes Intel8, an extended linear address (04) Intel32; an
  // extended segment address (02) makes IntelMCS unless an extended linear
  // address follows it.
  static bool RecognisesIntel8(FormatProbe& probe);
  static bool RecognisesIntel32(FormatProbe& probe);
  static bool RecognisesIntelMcs(FormatProbe& probe);
};

class MotorolaReader {
public:
  static int Read(ReadContext& context);
  // By the data or end record type; an S0 header leaves the decision to the
  // next line.
  static bool RecognisesS1(FormatProbe& probe);
  static bool RecognisesS2(FormatProbe& probe);
  static bool RecognisesS3(FormatProbe& probe);
};

class MosTechnologyReader {
public:
  static int Read(ReadContext& context);
  static bool Recognises(FormatProbe& probe);
};

class TektronixReader {
public:
  static int Read(ReadContext& context);
  static bool Recognises(FormatProbe& probe);
};

}  // namespace tav
