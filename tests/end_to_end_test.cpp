// SPDX-License-Identifier: GPL-2.0-or-later
// Every device of the sample library through the whole life of a part on the
// simulated board and chip: erase (refused for an EPROM, no pulse with
// EraseTime 1), blank check, program a random image with verify, read back
// (each device in another of the nine file formats), lock bits with their
// effect test. And the failure paths of the operations on the same simulator,
// with the socket at rest afterwards and no electrical rule broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "files/program_files.h"
#include "sim/fault_names.h"
#include "tests/files_test_rig.h"
#include "tests/sample_library.h"
#include "tests/sim_rig.h"

namespace tav {
namespace {

TEST(EndToEnd, EveryLibraryDeviceErasesBurnsVerifiesReadsBackAndLocks) {
  const auto devices = test::SampleLibraryDevices();
  ASSERT_EQ(devices.size(), 9u);  // flash parts with 40 and 20 pins, EPROMs with 40
  std::mt19937 random(1);
  for (const DeviceRecord& device : devices) {
    SCOPED_TRACE(device.DeviceName);
    test::SimRig rig(device);
    test::ScratchDirectory dir("tav_e2e");
    const auto step = [&rig](int (*run)(OperationContext&), int result, const std::string& lastText) {
      EXPECT_EQ(rig.Run(run), result);
      EXPECT_EQ(rig.feedback.LastText(), lastText);
    };
    if (device.IsEprom()) {
      EXPECT_EQ(rig.Run(EraseDevice), 7);  // refused without a word or a register write
      EXPECT_EQ(rig.feedback.messages.size() + rig.link.WriteCount(), 0u);
    } else {
      // Left-over program in the chip proves the erase; EraseTime 1 marks a
      // part that needs no erase pulse.
      std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
      rig.device.EraseTime = 1;
      step(EraseDevice, 0, "Baustein ist gelöscht !");
      EXPECT_EQ(rig.chip->EraseCount(), 0u);
      rig.device.EraseTime = device.EraseTime;
      step(EraseDevice, 0, "Baustein ist gelöscht !");
    }
    step(BlankCheck, 0, "\nController ist gelöscht !\n");

    // Random bytes, about one cell in eight left empty, byte 0 something for
    // the lock's effect test to hide; over the start of the memory only, as
    // a full 8751H alone would take minutes of simulation.
    std::vector<uint8_t> program(device.ProgPulseTime > 10000 ? 64 : 384);
    for (auto& b : program) b = (random() % 8 == 0) ? 0xFF : static_cast<uint8_t>(random());
    program[0] = 0x5A;
    rig.LoadImage(program);
    step(RunProgramSequence, 0, "Keine Fehler beim Prüfen");
    ASSERT_TRUE(std::equal(program.begin(), program.end(), rig.chip->Memory().begin()));
    step(VerifyDevice, 0, "Keine Fehler beim Prüfen");

    // Read back, each device in another of the nine file formats.
    const FileFormatInfo& format = FileFormats()[&device - devices.data()];
    rig.settings.DataFormat = format.number;
    rig.settings.ProgramFilePath = dir.Slash() + "read." + format.extension;
    step(ReadDevice, 0, "\nProzessor-Programm gespeichert \n");
    ProgramImage loaded;
    int32_t detected = 0;
    ASSERT_EQ(LoadProgramFile(rig.settings.ProgramFilePath, device.SizeBytes, true, loaded, detected, rig.feedback), 0)
        << rig.feedback.LastText();
    ASSERT_TRUE(std::equal(rig.chip->Memory().begin(), rig.chip->Memory().end(), loaded.Bytes.begin()));
    if (device.LockBitCount > 0) {
      rig.LoadImage(program);
      rig.settings.Lock1 = rig.settings.Lock2 = rig.settings.Lock3 = 1;
      step(RunProgramSequence, 0, "Keine Fehler beim Prüfen");
      EXPECT_NE(rig.feedback.Texts().end()[-2], "Schutzbits haben keine Wirkung !");  // the effect test passed
      EXPECT_EQ(rig.chip->LockBits(), (1u << device.LockBitCount) - 1);
    }
    rig.ExpectNoElectricalFault();
  }
}

// Each row: a chip or board fault by its command-line name, the answers to
// the message boxes, and the cancel button pressed at the n-th pump. The
// texts are those after the prompt. None touches the file read.bin.
TEST(EndToEndFailures, EachFaultAnswerOrCancelEndsTheOperationWithItsMessageAndLeavesTheFile) {
  const std::vector<uint8_t> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, blank(4096, 0xFF);
  const std::string programError = "Programmierfehler an Adresse 5 (0x5)\nRichtig: 0x06   Gelesen: 0xFF\n";
  const struct {
    const char *device, *fault;
    const std::vector<uint8_t>& image;
    std::vector<int> answers;
    uint64_t cancelAtPump;
    int (*run)(OperationContext&);
    int result;
    std::vector<std::string> texts;
    uint8_t cell6;
    int verify = 1;
  } cases[] = {
      {"AT89C2051", "not-blank", ten, {kOk, kRetry, kCancel}, 0, BlankCheck, 5,
       {"Zelle 0x0000 ist nicht leer !\nInhalt 0x00\n", "Zelle 0x0001 ist nicht leer !\nInhalt 0x01\n"}, 6},
      // Retry at the programming error burns on, and the verify reports the
      // cell (Retry again); Cancel stops the burn there.
      {"AT89C51", "dead-cell:5", ten, {kOk, kRetry, kRetry}, 0, RunProgramSequence, 6,
       {programError, "Fehler an Adresse 5 (0x5) !\nRichtig: 0x06\nGelesen: 0xFF\n"}, 7},
      {"AT89C51", "dead-cell:5", ten, {kOk, kCancel}, 0, RunProgramSequence, 7, {programError}, 0xFF},
      // With verify off, going on past a programming error must still not end as a clean run.
      {"AT89C51", "dead-cell:5", ten, {kOk, kRetry}, 0, RunProgramSequence, kOperationFailed,
       {programError, "Programmierung beendet mit 1 übergangenen Programmierfehler !"}, 7, 0},
      // The cancel button stops each loop at the cell that saw it; verify of
      // a blank chip finds no differences before.
      {"AT89C51", "", blank, {}, 3, BlankCheck, 5, {"Leertest abgebrochen !"}, 0xFF},
      {"AT89C51", "", blank, {}, 3, ReadDevice, 4, {"Auslesen abgebrochen !"}, 0xFF},
      {"AT89C51", "", blank, {}, 3, RunProgramSequence, 7, {"Programmierung abgebrochen !"}, 0xFF},
      {"AT89C51", "", blank, {}, 3, VerifyDevice, 6, {"Prüfen abgebrochen !"}, 0xFF},
      // An erased chip with blank cells left out leaves no data to write.
      {"AT89C1051", "", blank, {}, 0, ReadDevice, 4,
       {"Der Baustein enthält nur Leerzellen !!\n\nSpeichervorgang abgebrochen.\n\nWenn eine Leerzellen-Datei "
        "geschrieben werden\nsoll, ** Leerzellen speichern ** aktivieren !"},
       0xFF},
      // Silent after the power-up and five cells, in the middle of the burn.
      {"87C51", "silent-after=4788", ten, {}, 0, RunProgramSequence, 9, {kTimeoutMessage, kHardwareTimerMessage},
       0xFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + c.fault + " " + std::to_string(c.result));
    sim::ChipFaults faults;
    const bool boardFault = *c.fault && !ApplyChipFault(c.fault, faults);
    test::SimRig rig(test::LibraryDevice(c.device), faults);
    ASSERT_TRUE(!boardFault || ApplyBoardFault(c.fault, rig.board.Faults()));
    test::ScratchDirectory dir("tav_e2e");
    rig.settings.ProgramFilePath = dir.Slash() + "read.bin";
    test::WriteFile(rig.settings.ProgramFilePath, "old");
    rig.settings.Verify = c.verify;
    rig.settings.TimeOut = 100;  // keeps the many failing handshakes of a silent board short
    rig.LoadImage(c.image);
    for (const int answer : c.answers) rig.feedback.QueueAnswer(answer);
    rig.feedback.CancelAtPump(c.cancelAtPump);
    EXPECT_EQ(boardFault ? c.run(rig.ctx) : rig.Run(c.run), c.result);
    const auto texts = rig.feedback.Texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + (texts.empty() ? 0 : 1), texts.end()), c.texts);
    EXPECT_TRUE(!c.cancelAtPump || rig.feedback.TotalPumps() == c.cancelAtPump) << rig.feedback.TotalPumps();
    EXPECT_EQ(rig.chip->Memory()[6], c.cell6);
    EXPECT_EQ(test::ReadFile(rig.settings.ProgramFilePath), "old");
    if (!boardFault) rig.ExpectNoElectricalFault();
  }
}

}  // namespace
}  // namespace tav
