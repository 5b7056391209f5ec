// SPDX-License-Identifier: GPL-2.0-or-later
// Production runs: the serial formats and where a serial may go, the serial
// file and the log, and whole runs on the simulated board through the
// session, with failed, cancelled and declined chips and a run killed in
// the middle of a chip.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/session/batch_files.h"
#include "app/session/batch_run.h"
#include "app/session/session.h"
#include "files/program_image.h"
#include "library/device_record.h"
#include "tests/start_up_directory.h"
#include "tests/support/scripted_feedback.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace tav {
namespace {

using test::Slurp;

TEST(SerialNumbers, EachFormatPutsItsBytesInOrder) {
  // The format, a value, its bytes, the highest value the format holds.
  const std::tuple<std::string, uint64_t, std::vector<uint8_t>, uint64_t> cases[] = {
      {"le1", 0xAB, {0xAB}, 0xFF}, {"le2", 0x1234, {0x34, 0x12}, 0xFFFF}, {"be2", 0x1234, {0x12, 0x34}, 0xFFFF},
      {"le4", 0x12345678, {0x78, 0x56, 0x34, 0x12}, 0xFFFFFFFF}, {"be3", 0x123456, {0x12, 0x34, 0x56}, 0xFFFFFF},
      {"bcd4", 1234, {0x12, 0x34}, 9999}, {"bcd5", 12345, {0x01, 0x23, 0x45}, 99999}, {"dec1", 7, {'7'}, 9},
      {"bcd10", 9876543210, {0x98, 0x76, 0x54, 0x32, 0x10}, 9999999999},
      {"dec6", 1002, {'0', '0', '1', '0', '0', '2'}, 999999}};
  for (const auto& [name, value, bytes, max] : cases) {
    SCOPED_TRACE(name);
    const std::optional<SerialFormat> format = ParseSerialFormat(name);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->Name() + " " + std::to_string(format->Width()) + " " + std::to_string(format->MaxValue()),
              name + " " + std::to_string(bytes.size()) + " " + std::to_string(max));
    EXPECT_EQ(EncodeSerial(value, *format), bytes);
  }
  for (const char* refused : {"", "le", "le0", "le5", "be8", "bcd0", "bcd11", "dec01", "dec1x", "LE2", "hex2"})
    EXPECT_FALSE(ParseSerialFormat(refused)) << refused;
}

TEST(SerialNumbers, OnlyEmptyCellsOfTheDeviceTakeASerial) {
  DeviceRecord device;
  device.DeviceName = "AT89C2051";
  device.SizeBytes = 2048;
  ProgramImage image;
  for (uint32_t a = 0x10; a < 0x14; ++a) image.Store(a, 0x00);
  const auto problem = [&](uint32_t address, const char* format) {
    return SerialPlacementProblem(address, *ParseSerialFormat(format), device, image, "blink.hex");
  };
  EXPECT_EQ(problem(0x14, "le4") + problem(0x7FC, "be4"), "");  // right behind the program, up to the last cell
  EXPECT_EQ(problem(0x7FD, "be4"),
            "Die Seriennummer (be4, 0x07FD bis 0x0800) liegt nicht ganz im Baustein AT89C2051 (0x0000 bis 0x07FF).");
  EXPECT_EQ(problem(0x0E, "dec10"),
            "Die Seriennummer (dec10, 0x000E bis 0x0017) überdeckt Programmdaten aus blink.hex (0x0010 bis 0x0013).");
}

// What a spreadsheet must be able to take apart, and what a broken file says.
TEST(BatchFiles, LogLinesSerialFilesAndTheirRefusals) {
  test::ScratchDirectory scratch("tav_batch_files");
  ASSERT_TRUE(scratch.Valid());
  int beep = 0;
  ScriptedFeedback feedback(beep);
  ChipLogEntry entry{"2026-12-07T10:20:31Z", 3, "AT89C2051", "/prog/a,\"b\".hex", 0x1A2B, 1002, 6, "fehlerhaft", 1.5};
  EXPECT_EQ(LogLine(entry), "2026-12-07T10:20:31Z,3,AT89C2051,\"/prog/a,\"\"b\"\".hex\",00001A2B,1002,6,fehlerhaft,1.500");

  const std::string log = scratch.Slash() + "log.csv";
  for (const char* line : {"", "eins", "zwei"}) EXPECT_EQ(AppendLogLine(log, line, feedback), 0);
  EXPECT_EQ(Slurp(log), std::string(kBatchLogHeader) + "\neins\nzwei\n");
  EXPECT_EQ(AppendLogLine(scratch.Slash(), "x", feedback), kBatchRefused);  // a folder
  EXPECT_THAT(feedback.LastText(), HasSubstr("Protokoll '" + scratch.Slash() + "' kann nicht geschrieben werden"));

  const std::string serial = scratch.Slash() + "serial.txt";
  std::optional<uint64_t> next = 7;
  EXPECT_EQ(ReadSerialFile(serial, feedback, next), 0);
  EXPECT_FALSE(next);  // no file yet: the run's start number counts
  ASSERT_EQ(StoreSerialFile(serial, 1005, feedback), 0);
  EXPECT_EQ(Slurp(serial), "1005\n");
  const std::pair<const char*, bool> texts[] = {{"1005\n", true}, {"1005\r\n", true}, {"1005", true}, {"", false},
      {"abc\n", false}, {"-5\n", false}, {"12 13\n", false}, {"1005\n1006\n", false}, {"99999999999999999999\n", false}};
  for (const auto& [text, good] : texts) {
    SCOPED_TRACE(text);
    std::ofstream(serial, std::ios::binary) << text;
    feedback.Clear();
    next.reset();
    EXPECT_EQ(ReadSerialFile(serial, feedback, next), good ? 0 : kBatchRefused);
    EXPECT_EQ(next, good ? std::optional<uint64_t>(1005) : std::nullopt);
    EXPECT_THAT(feedback.LastText(), HasSubstr(good ? "" : "Seriennummerndatei '" + serial + "', Zeile 1:"));
  }
}

// A feedback that can end the process as a power cut would, at a pump.
class KillingFeedback : public ScriptedFeedback {
public:
  using ScriptedFeedback::ScriptedFeedback;
  void PumpMessages() override {
    ScriptedFeedback::PumpMessages();
#ifndef _WIN32
    if (killAtPump != 0 && TotalPumps() == killAtPump) std::raise(SIGKILL);
#endif
  }
  uint64_t killAtPump = 0;
};

// Runs on the sample library's first device, the AT89C51 (4 KB flash), with
// examples/blink.hex and a serial behind it; each run is a new session, as
// a new start of the program would be.
class BatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.Valid());
    options_.simulator = SimulatorOptions{};
    batch_.serial = BatchSerial{.address = 0x40, .format = *ParseSerialFormat("dec4"), .start = 500, .file = "serial.txt"};
    batch_.logPath = "log.csv";
  }

  int Run(std::optional<uint32_t> count) {
    batch_.count = count;
    Session session(feedback_, options_);
    EXPECT_EQ(session.Start(), 0);
    EXPECT_EQ(session.UseProgramFile(blink_), 0);
    LockFileBusyMarker busy(directory_.Path().string());
    CommandFrameHooks hooks;
    return RunBatch(session, batch_, busy, hooks, summary_);
  }
  // Column `column` of every chip's log line, below the header.
  std::vector<std::string> LogColumn(int column) const {
    std::istringstream log(Slurp("log.csv"));
    std::string line, field;
    std::vector<std::string> values;
    for (std::getline(log, line); std::getline(log, line); values.push_back(field)) {
      std::istringstream fields(line);
      for (int i = 0; i <= column; ++i) std::getline(fields, field, ',');
    }
    return values;
  }

  test::StartUpDirectory directory_{"tav_batch"};
  int beep_ = 0;
  KillingFeedback feedback_{beep_};
  SessionOptions options_;
  BatchOptions batch_;
  BatchSummary summary_;
  const std::string blink_ = (fs::path(TAVROLITH_SOURCE_DIR) / "examples" / "blink.hex").string();
};

TEST_F(BatchTest, AFailedChipIsLoggedWithItsNumberAndTheRunGoesOnOrStops) {
  options_.simulator->batchChipFaults[2].deadCell = 3;
  EXPECT_EQ(Run(3), kVerifyFailed);
  EXPECT_EQ(BatchSummaryText(summary_), "Bausteine gut: 2, fehlerhaft: 1, abgebrochen: 0; Seriennummern 500 bis 502");
  EXPECT_THAT(LogColumn(5), ElementsAre("500", "501", "502"));
  EXPECT_THAT(LogColumn(1), ElementsAre("1", "2", "3"));
  // The serial is in the burnt memory: the two good chips differ in their checksums.
  EXPECT_NE(LogColumn(4)[0], LogColumn(4)[2]);
  EXPECT_EQ(feedback_.statuses.back(), "Baustein 3 entnehmen");

  // The next run goes on from the serial file; stopping at the failed chip.
  batch_.stopOnError = true;
  options_.simulator->batchChipFaults[1].deadCell = 3;
  EXPECT_EQ(Run(3), kVerifyFailed);
  EXPECT_EQ(BatchSummaryText(summary_), "Bausteine gut: 0, fehlerhaft: 1, abgebrochen: 0; Seriennummern 503 bis 503");
  EXPECT_EQ(Slurp("serial.txt"), "504\n");
}

// Declining a prompt or cancelling between chips ends the run and gives the
// number back; cancelling during a chip ends it too, and that chip keeps its
// number.
TEST_F(BatchTest, DeclinedPromptsAndCancelledChips) {
  feedback_.CancelAtPump(1);  // Ctrl+C before the first chip: nothing asked, no number spent
  EXPECT_EQ(Run(3), kOperationFailed);
  EXPECT_TRUE(feedback_.messages.empty());
  EXPECT_FALSE(fs::exists("serial.txt"));
  for (const int answer : {kOk, kCancel}) feedback_.QueueAnswer(answer);
  EXPECT_EQ(Run(3), kOperationFailed);  // fewer chips than asked for
  EXPECT_TRUE(summary_.endedByUser);
  for (const int answer : {kOk, kCancel}) feedback_.QueueAnswer(answer);
  EXPECT_EQ(Run(std::nullopt), 0);  // without a count the prompt is the way to end
  EXPECT_EQ(summary_.good, 1u);

  feedback_.CancelAtPump(3);
  EXPECT_EQ(Run(3), kOperationFailed);
  EXPECT_EQ(BatchSummaryText(summary_), "Bausteine gut: 0, fehlerhaft: 0, abgebrochen: 1; Seriennummern 502 bis 502");
  EXPECT_THAT(LogColumn(5), ElementsAre("500", "501", "502"));
  EXPECT_EQ(LogColumn(7).back(), "abgebrochen");
  EXPECT_EQ(Slurp("serial.txt"), "503\n");
}

// Everything that makes the run impossible is refused before the first chip.
TEST_F(BatchTest, RefusalsComeBeforeTheFirstChip) {
  // Where the serial goes, its format, the first number, the message.
  const std::tuple<uint32_t, const char*, uint64_t, const char*> cases[] = {
      {0x10, "dec4", 500, "überdeckt Programmdaten aus "},
      {0x40, "bcd2", 98, "Die Seriennummern 98 bis 100 passen nicht in das Format bcd2 (höchstens 99)."}};
  for (const auto& [address, format, start, shows] : cases) {
    SCOPED_TRACE(shows);
    feedback_.Clear();
    batch_.serial = BatchSerial{.address = address, .format = *ParseSerialFormat(format), .start = start,
                                .file = "serial.txt"};
    EXPECT_EQ(Run(3), kBatchRefused);
    EXPECT_THAT(feedback_.Texts(), ElementsAre(HasSubstr(shows)));
  }
  EXPECT_FALSE(fs::exists("serial.txt") || fs::exists("log.csv"));
}

// SIGKILL in the middle of a chip: its number was reserved before the burn,
// so the next run goes on behind it and no number is ever given twice.
TEST_F(BatchTest, AKilledRunNeverHandsANumberOutTwice) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: fork";
#else
  ASSERT_EQ(Run(1), 0);
  const uint64_t pumpsPerChip = feedback_.TotalPumps();
  ASSERT_GT(pumpsPerChip, 4u);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    feedback_.killAtPump = feedback_.TotalPumps() + pumpsPerChip + pumpsPerChip / 2;  // in the second chip
    Run(3);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_EQ(Run(2), 0);
  EXPECT_THAT(LogColumn(5), ElementsAre("500", "501", "503", "504"));
  EXPECT_EQ(Slurp("serial.txt"), "505\n");
#endif
}

}  // namespace
}  // namespace tav
