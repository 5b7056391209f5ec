// SPDX-License-Identifier: GPL-2.0-or-later
// The frame every operation shares: prompt texts, the cancel and signature
// results of each operation, the signature reports, and which cells each
// scanning operation reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "operations/operations.h"
#include "tests/operations_test_board.h"

namespace tav::testing {
namespace {

using ::testing::HasSubstr;
using Read = std::pair<uint8_t, uint32_t>;
using Reads = std::vector<Read>;

// The writes of reset, power-up, signature check and power-down alone: an
// operation stopped by its signature must add nothing to them.
uint64_t FrameWrites(const DeviceRecord& d, bool powered) {
  Rig rig(d);
  rig.link.ResetOutputs();
  if (!powered) return rig.link.WriteCount();
  rig.link.PowerUp();
  CheckSignature(rig.ctx);
  rig.link.PowerDown();
  return rig.link.WriteCount();
}

TEST(OperationFrame, PromptCancelAndSignatureMismatchEndEachOperationWithItsOwnResult) {
  const std::string all = "Anzahl Bytes: 1024 (0x400)\n";
  const std::string image = "Anzahl Bytes: 3 (0x3)\nHöchste Adresse: 767 (0x2FF)\n";
  const struct {
    int (*run)(OperationContext&);
    std::string prompt;  // between the device name and the socket
    int cancelledAtPrompt, signatureMismatch;
    std::vector<std::string> statuses;  // the verify shows none until its compare loop runs
    bool cancelButton;
  } operations[] = {
      {BlankCheck, "Leertest ***\n\n" + all, 0, 5, {"Leertest"}, true},
      {EraseDevice, "Controller löschen ***\n\n", 7, 14, {"Lösche Controller"}, false},
      {ReadDevice, "Controller auslesen ***\n\n" + all, 0, 4, {"Speichere Bausteindaten"}, true},
      {ProgramDevice, "Controller programmieren ***\n\n" + image, 7, 7, {"Programmiere Baustein"}, true},
      {VerifyDevice, "Controller Prüfen ***\n\n" + image, 0, 7, {}, true},
  };
  const uint64_t unpowered = FrameWrites(SmallPart(40), false), powered = FrameWrites(SmallPart(40), true);
  for (const auto& op : operations) {
    SCOPED_TRACE(op.prompt);
    Rig rig(SmallPart(40));
    rig.LoadImage({0x12, 0x34});
    rig.image.Store(0x2FF, 0x56);
    rig.settings.ProgramFilePath = rig.scratch.Slash() + "never_written.bin";
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(op.run(rig.ctx), op.cancelledAtPrompt);
    EXPECT_EQ(rig.link.WriteCount(), unpowered);  // the socket never powered
    ASSERT_EQ(rig.feedback.messages.size(), 1u);  // the prompt, nothing after it
    EXPECT_EQ(rig.feedback.messages[0].kind, MessageKind::OkCancel);
    EXPECT_EQ(rig.feedback.LastText(), "*** TESTFLASH40 ***\n\n*** " + op.prompt +
                                           "\n\nController in Sockel 2 einsetzen.\nNase zeigt zum Hebel");
    EXPECT_TRUE(rig.feedback.statuses.empty());

    rig.feedback.Clear();
    rig.chip->signature[0x31] = 0x99;
    EXPECT_EQ(op.run(rig.ctx), op.signatureMismatch);
    EXPECT_EQ(rig.link.WriteCount(), unpowered + powered);
    ASSERT_EQ(rig.feedback.messages.size(), 2u);
    EXPECT_EQ(rig.feedback.messages[1].text,
              "Eine Prozessor ID stimmt nicht !\n\n"
              "Hersteller-ID(0x30)\tRichtig:0x1E\tGelesen:0x1E\n"
              "Baustein-ID(0x31)\tRichtig:0x51\tGelesen:0x99\n");
    EXPECT_EQ(rig.feedback.statuses, op.statuses);
    EXPECT_EQ(rig.feedback.cancelButtonEnabled, op.cancelButton);
    EXPECT_FALSE(std::filesystem::exists(rig.settings.ProgramFilePath));
    EXPECT_TRUE(rig.board.SocketAtRest());
    EXPECT_TRUE(rig.board.Violations().empty());
  }
}

TEST(CheckSignature, ReadsOnlyTheNonzeroFieldsInTableOrderAndTwentyPinPartsCompareBoth) {
  Rig rig(SmallPart(40));
  rig.device.ManufacturerId000 = rig.chip->signature[0x000] = 0x1E;
  rig.device.DeviceId100 = rig.chip->signature[0x100] = 0x7A;
  rig.device.DeviceId060 = rig.chip->signature[0x060] = 0x33;
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);
  EXPECT_EQ(rig.board.reads, (Reads{{0, 0x000}, {0, 0x030}, {0, 0x031}, {0, 0x100}, {0, 0x060}}));
  EXPECT_TRUE(rig.feedback.messages.empty());

  Rig zero(SmallPart(20));
  zero.device.DeviceIdDip20 = 0;  // compared even so
  EXPECT_EQ(BlankCheck(zero.ctx), 5);
  const auto texts = zero.feedback.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_THAT(texts[0], HasSubstr("\nController in Sockel 3 einsetzen."));
  EXPECT_EQ(texts[1],
            "Prozessor-ID's stimmen nicht !!!\n\nRichtig: Hersteller-ID 0x1E\tBaustein-ID 0x00\n"
            "Gelesen: Hersteller-ID 0x1E\tBaustein-ID 0x21\n");
}

// Every cell of the range read once, in order, none beyond it; with the ID
// check off a wrong chip is worked on without its signature being read.
TEST(Scanning, EachOperationReadsItsRangeOnceAndStopsAtItsEnd) {
  const auto cells = [](uint32_t n, Reads reads) {
    for (uint32_t a = 0; a < n; ++a) reads.emplace_back(12, a);
    return reads;
  };
  const Reads signature = {{0, 0x030}, {0, 0x031}};
  Rig blank(SmallPart(40)), read(SmallPart(40));
  EXPECT_EQ(BlankCheck(blank.ctx), 0);
  EXPECT_EQ(blank.board.reads, cells(1024, signature));
  EXPECT_EQ(blank.feedback.TotalPumps(), 51u);  // a bar step every 1024 / 50 = 20 cells
  read.settings.ProgramFilePath = read.scratch.Slash() + "read.bin";
  read.settings.FFSave = 1;  // an erased chip is saved only so
  EXPECT_EQ(ReadDevice(read.ctx), 0);
  EXPECT_EQ(read.board.reads, cells(1024, signature));
  for (const uint32_t n : {100u, 1u}) {
    Rig verify(SmallPart(40));
    verify.settings.IDCheck = 0;
    verify.chip->signature[0x31] = verify.chip->memory[n] = 0x00;
    verify.LoadImage(std::vector<uint8_t>(n, 0xFF));
    EXPECT_EQ(VerifyDevice(verify.ctx), 0);
    EXPECT_EQ(verify.board.reads, cells(n, {}));
  }
  blank.chip->memory[0x3FF] = 0x7E;
  EXPECT_EQ(BlankCheck(blank.ctx), 4);  // answered Retry
  EXPECT_EQ(blank.feedback.LastText(), "Zelle 0x03FF ist nicht leer !\nInhalt 0x7E\n");
}

}  // namespace
}  // namespace tav::testing
