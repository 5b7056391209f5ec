// SPDX-License-Identifier: GPL-2.0-or-later
// Every device of the sample library through the whole life of a part on the
// simulated board and chip: erase (refused for an EPROM, no pulse with
// EraseTime 1), blank check, program a random image with verify, read back in
// every file format, an EPROM that cannot take a bit back, lock bits with
// their effect test. And the failure paths of the operations on the same
// simulator, with the socket at rest afterwards and no electrical rule broken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "files/program_files.h"
#include "tests/sample_library.h"
#include "tests/scratch_directory.h"
#include "tests/start_up_directory.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

using test::LibraryDevice;
using test::SampleLibraryDevices;
using test::SimRig;
using ::testing::_;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// Random program bytes, about one cell in eight left empty. Byte 0 is never
// 0xFF or 0x00 so that the lock's effect test has something to hide. Parts
// with long programming pulses get an image over the start of their memory
// only: a full 8751H alone would take minutes of simulation.
std::vector<uint8_t> RandomProgram(const DeviceRecord& device, uint32_t seed) {
  const uint64_t writesPerByte = uint64_t(device.ProgPulseCount) * (2 * device.ProgPulseTime + 8) + 20;
  const uint64_t budget = 2000000;  // register writes per burn
  std::vector<uint8_t> bytes(std::min<uint64_t>(device.SizeBytes, std::max<uint64_t>(64, budget / writesPerByte)));
  std::mt19937 random(seed);
  for (auto& b : bytes) b = (random() % 8 == 0) ? 0xFF : static_cast<uint8_t>(random());
  bytes[0] = 0x5A;
  return bytes;
}

TEST(EndToEnd, EveryLibraryDeviceErasesBurnsVerifiesReadsBackAndLocks) {
  const auto devices = SampleLibraryDevices();
  ASSERT_EQ(devices.size(), 9u);  // flash parts with 40 and 20 pins, EPROMs with 40
  uint32_t seed = 1;
  for (const DeviceRecord& device : devices) {
    SCOPED_TRACE(device.DeviceName);
    SimRig rig(device);
    test::ScratchDirectory dir("tav_e2e");
    if (device.IsEprom()) {
      EXPECT_EQ(rig.Run(EraseDevice), 7);  // refused without a word or a register write
      EXPECT_TRUE(rig.feedback.messages.empty());
      EXPECT_EQ(rig.link.WriteCount(), 0u);
    } else {
      // Left-over program in the chip proves the erase; EraseTime 1 marks a
      // part that needs no erase pulse.
      std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
      rig.device.EraseTime = 1;
      EXPECT_EQ(rig.Run(EraseDevice), 0);
      EXPECT_EQ(rig.chip->EraseCount(), 0u);
      rig.device.EraseTime = device.EraseTime;
      EXPECT_EQ(rig.Run(EraseDevice), 0);
      EXPECT_EQ(rig.feedback.LastText(), "Baustein ist gelöscht !");
    }
    EXPECT_EQ(rig.Run(BlankCheck), 0);
    EXPECT_EQ(rig.feedback.LastText(), "\nController ist gelöscht !\n");

    const std::vector<uint8_t> program = RandomProgram(device, seed++);
    rig.LoadImage(program);
    rig.settings.Verify = 1;
    EXPECT_EQ(rig.Run(RunProgramSequence), 0);
    EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");
    ASSERT_TRUE(std::equal(program.begin(), program.end(), rig.chip->Memory().begin()));
    EXPECT_EQ(rig.Run(VerifyDevice), 0);
    EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");

    const ProgramImage burnt = rig.image;
    for (const FileFormatInfo& entry : FileFormats()) {
      const int format = entry.number;
      SCOPED_TRACE(format);
      rig.settings.DataFormat = format;
      rig.settings.ProgramFilePath = dir.Slash() + "read" + std::to_string(format) + (format == 1 ? ".bin" : ".hex");
      EXPECT_EQ(rig.Run(ReadDevice), 0);
      EXPECT_EQ(rig.feedback.LastText(), "\nProzessor-Programm gespeichert \n");
      ProgramImage loaded;
      int32_t detected = 0;
      ASSERT_EQ(LoadProgramFile(rig.settings.ProgramFilePath, device.SizeBytes, true, loaded, detected, rig.feedback), 0)
          << rig.feedback.LastText();
      EXPECT_EQ(detected, format);
      ASSERT_TRUE(std::equal(burnt.Bytes.begin(), burnt.Bytes.begin() + device.SizeBytes, loaded.Bytes.begin()));
    }

    if (device.IsEprom()) {  // an EPROM cannot take a programmed bit back
      rig.LoadImage({0x5B});      // over 0x5A
      for (int answer : {kOk, kRetry}) rig.feedback.QueueAnswer(answer);
      EXPECT_EQ(rig.Run(RunProgramSequence), 6);
      EXPECT_EQ(rig.feedback.LastText(), "Fehler an Adresse 0 (0x0) !\nRichtig: 0x5B\nGelesen: 0x5A\n");
    }
    if (device.LockBitCount > 0) {
      rig.image = burnt;
      rig.settings.Lock1 = rig.settings.Lock2 = rig.settings.Lock3 = 1;
      EXPECT_EQ(rig.Run(RunProgramSequence), 0);
      EXPECT_THAT(rig.feedback.Texts(), Not(Contains("Schutzbits haben keine Wirkung !")));
      EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");
      EXPECT_EQ(rig.chip->LockBits(), (1u << device.LockBitCount) - 1);
    }
    rig.ExpectNoElectricalFault();
  }
}

TEST(EndToEndFailures, NonBlankCellsAnsweredRetryThenCancel) {
  sim::ChipFaults faults;
  faults.notBlank = true;
  SimRig rig(LibraryDevice("AT89C2051"), faults);
  for (int answer : {kOk, kRetry, kCancel}) rig.feedback.QueueAnswer(answer);
  EXPECT_EQ(rig.Run(BlankCheck), 5);
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(_, "Zelle 0x0000 ist nicht leer !\nInhalt 0x00\n",
                                                "Zelle 0x0001 ist nicht leer !\nInhalt 0x01\n"));
  rig.ExpectNoElectricalFault();
}

TEST(EndToEndFailures, CellThatNeverProgramsIsReportedByBurnAndVerify) {
  sim::ChipFaults faults;
  faults.deadCell = 5;
  // Retry at the programming error burns on, and the verify reports the cell
  // (answered Retry again); Cancel stops the burn there.
  for (const Answer answer : {kRetry, kCancel}) {
    SimRig rig(LibraryDevice("AT89C51"), faults);
    rig.LoadImage({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    for (const Answer a : {kOk, answer, kRetry}) rig.feedback.QueueAnswer(a);
    EXPECT_EQ(rig.Run(RunProgramSequence), answer == kRetry ? 6 : 7);
    const auto texts = rig.feedback.Texts();
    ASSERT_EQ(texts.size(), answer == kRetry ? 3u : 2u);
    EXPECT_EQ(texts[1].rfind("Programmierfehler an Adresse 5 (0x5)\nRichtig: 0x06   Gelesen: 0x", 0), 0u) << texts[1];
    if (answer == kRetry) {
      EXPECT_EQ(texts[2], "Fehler an Adresse 5 (0x5) !\nRichtig: 0x06\nGelesen: 0xFF\n");
    }
    EXPECT_EQ(rig.chip->Memory()[6], answer == kRetry ? 7 : 0xFF);
    rig.ExpectNoElectricalFault();
  }
}

TEST(EndToEndFailures, CancelButtonStopsEachLoopWithItsMessage) {
  const struct {
    int (*run)(OperationContext&);
    int result;
    const char* message;
  } cases[] = {
      {BlankCheck, 5, "Leertest abgebrochen !"},
      {ReadDevice, 4, "Auslesen abgebrochen !"},
      {RunProgramSequence, 7, "Programmierung abgebrochen !"},
      {VerifyDevice, 6, "Prüfen abgebrochen !"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    SimRig rig(LibraryDevice("AT89C51"));
    rig.LoadImage(std::vector<uint8_t>(4096, 0xFF));  // verify of a blank chip: no differences
    rig.feedback.CancelAtPump(3);
    EXPECT_EQ(rig.Run(c.run), c.result);
    EXPECT_EQ(rig.feedback.LastText(), c.message);
    EXPECT_EQ(rig.feedback.TotalPumps(), 3u);  // the loop stopped at the cell that saw the flag
    rig.ExpectNoElectricalFault();
  }
}

TEST(EndToEndFailures, BoardGoingSilentWhileBurningEndsWithTheTimerMessage) {
  SimRig rig(LibraryDevice("87C51"));
  rig.settings.TimeOut = 100;  // keeps the many failing handshakes short
  rig.LoadImage(std::vector<uint8_t>(64, 0x00));
  // Silent a little after the power-up, in the middle of the burn.
  rig.board.Faults().silentAfterWrites = 113 + 3406 + 19 + 40 * 250;
  EXPECT_EQ(RunProgramSequence(rig.ctx), 9);
  EXPECT_THAT(rig.feedback.Texts(), AllOf(Contains(kTimeoutMessage), Contains(kHardwareTimerMessage),
                                          Not(Contains("Keine Fehler beim Prüfen"))));
}

// An erased chip read into a binary file: neither a cancelled read nor one
// with no data to write (blank cells left out) touches the file there.
TEST(EndToEndFailures, ErasedChipSavedAsBinary) {
  test::ScratchDirectory dir("tav_e2e");
  SimRig rig(LibraryDevice("AT89C1051"));
  rig.settings.ProgramFilePath = dir.Slash() + "rig.bin";
  rig.settings.DataFormat = 1;
  rig.settings.FFSave = 1;
  std::ofstream(rig.settings.ProgramFilePath, std::ios::binary) << "old";
  rig.feedback.CancelAtPump(3);
  EXPECT_EQ(rig.Run(ReadDevice), 4);
  rig.feedback.SetCancelRequested(0);  // as the closing of the command would
  rig.feedback.Clear();
  rig.settings.FFSave = 0;
  EXPECT_EQ(rig.Run(ReadDevice), 4);
  EXPECT_EQ(rig.feedback.messages.size(), 2u);  // the prompt and the writer's message
  EXPECT_EQ(test::Slurp(rig.settings.ProgramFilePath), "old");
  rig.settings.FFSave = 1;
  EXPECT_EQ(rig.Run(ReadDevice), 0);
  EXPECT_EQ(test::Slurp(rig.settings.ProgramFilePath), std::string(1024, '\xFF'));
  rig.ExpectNoElectricalFault();
}

}  // namespace
}  // namespace tav
