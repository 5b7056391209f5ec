// The frame every operation shares: prompt texts, the cancel and signature
// results of each operation, where the socket is powered, the signature
// reports, and the register-write counts the sequences imply.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>

#include "operations/operations.h"
#include "tests/operations_test_board.h"

namespace tav::testing {
namespace {

using Read = std::pair<uint8_t, uint32_t>;

void PrepareForAnyOperation(Rig& rig) {
  rig.LoadImage({{0, 0x12}, {1, 0x34}, {0x2FF, 0x56}});
  rig.settings.ProgramFilePath = rig.scratch.Slash() + "never_written.bin";
}

TEST(OperationFrame, PromptCancelAndSignatureMismatchEndEachOperationWithItsOwnResult) {
  const struct {
    const char* name;
    int (*run)(OperationContext&);
    int cancelledAtPrompt;
    int signatureMismatch;
    std::vector<std::string> statuses;  // the verify shows none until its compare loop runs
    bool cancelButton;
  } operations[] = {
      {"BlankCheck", BlankCheck, 0, 5, {"Leertest"}, true},
      {"EraseDevice", EraseDevice, 7, 14, {"Lösche Controller"}, false},
      {"ReadDevice", ReadDevice, 0, 4, {"Speichere Bausteindaten"}, true},
      {"ProgramDevice", ProgramDevice, 7, 7, {"Programmiere Baustein"}, true},
      {"VerifyDevice", VerifyDevice, 0, 7, {}, true},
  };
  for (const auto& op : operations) {
    SCOPED_TRACE(op.name);
    Rig cancelled(SmallPart(40));
    PrepareForAnyOperation(cancelled);
    cancelled.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(op.run(cancelled.ctx), op.cancelledAtPrompt);
    const auto supply = cancelled.board.WritesTo(8);
    EXPECT_TRUE(std::none_of(supply.begin(), supply.end(), [](uint8_t v) { return (v & 0x80) != 0; }));
    ASSERT_EQ(cancelled.feedback.messages.size(), 1u);  // the prompt, nothing after it
    EXPECT_EQ(cancelled.feedback.messages[0].kind, MessageKind::OkCancel);
    EXPECT_TRUE(cancelled.feedback.statuses.empty());

    Rig wrong(SmallPart(40));
    PrepareForAnyOperation(wrong);
    wrong.chip->signature[0x31] = 0x99;
    EXPECT_EQ(op.run(wrong.ctx), op.signatureMismatch);
    ASSERT_EQ(wrong.feedback.messages.size(), 2u);
    EXPECT_EQ(wrong.feedback.messages[1].text,
              "Eine Prozessor ID stimmt nicht !\n\n"
              "Hersteller-ID(0x30)\tRichtig:0x1E\tGelesen:0x1E\n"
              "Baustein-ID(0x31)\tRichtig:0x51\tGelesen:0x99\n");
    EXPECT_EQ(wrong.feedback.statuses, op.statuses);
    EXPECT_EQ(wrong.feedback.cancelButtonEnabled, op.cancelButton);
    EXPECT_EQ(wrong.chip->erasePulses, 0u);
    EXPECT_EQ(wrong.chip->memory[0], 0xFF);
    EXPECT_FALSE(std::filesystem::exists(wrong.settings.ProgramFilePath));
    for (const Rig* rig : {&cancelled, &wrong}) {
      EXPECT_TRUE(rig->board.SocketAtRest());
      EXPECT_TRUE(rig->board.Violations().empty());
    }
  }
}

TEST(OperationFrame, PromptNamesTheDeviceTheCountsAndTheSocket) {
  Rig rig(SmallPart(40));
  PrepareForAnyOperation(rig);
  for (auto* operation : {BlankCheck, ReadDevice, ProgramDevice, VerifyDevice}) {
    rig.feedback.QueueAnswer(kCancel);
    operation(rig.ctx);
  }
  const std::string tail = "\n\nController in Sockel 2 einsetzen.\nNase zeigt zum Hebel";
  EXPECT_EQ(rig.feedback.Texts(),
            (std::vector<std::string>{
                "*** TESTFLASH40 ***\n\n*** Leertest ***\n\nAnzahl Bytes: 1024 (0x400)\n" + tail,
                "*** TESTFLASH40 ***\n\n*** Controller auslesen ***\n\nAnzahl Bytes: 1024 (0x400)\n" + tail,
                "*** TESTFLASH40 ***\n\n*** Controller programmieren ***\n\nAnzahl Bytes: 3 (0x3)\n"
                "Höchste Adresse: 767 (0x2FF)\n" + tail,
                "*** TESTFLASH40 ***\n\n*** Controller Prüfen ***\n\nAnzahl Bytes: 3 (0x3)\n"
                "Höchste Adresse: 767 (0x2FF)\n" + tail,
            }));

  // The socket follows the package and is left out for an unknown one; 64 KiB still counts right.
  const std::tuple<uint8_t, uint32_t, std::string> cases[] = {
      {20, 1024, "Sockel 3 einsetzen"}, {28, 1024, "Sockel  einsetzen"}, {40, 65536, "Bytes: 65536 (0x10000)\n"}};
  for (const auto& [package, size, expected] : cases) {
    Rig other(SmallPart(40));
    other.device.Package = package;
    other.device.SizeBytes = size;
    other.feedback.QueueAnswer(kCancel);
    BlankCheck(other.ctx);
    EXPECT_NE(other.feedback.LastText().find(expected), std::string::npos) << other.feedback.LastText();
  }
}

TEST(CheckSignature, ReadsOnlyTheNonzeroFieldsInTableOrder) {
  Rig rig(SmallPart(40));
  rig.device.ManufacturerId000 = rig.chip->signature[0x000] = 0x1E;
  rig.device.DeviceId100 = rig.chip->signature[0x100] = 0x7A;
  rig.device.DeviceId060 = rig.chip->signature[0x060] = 0x33;
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);
  EXPECT_EQ(rig.board.reads, (std::vector<Read>{{0, 0x000}, {0, 0x030}, {0, 0x031}, {0, 0x100}, {0, 0x060}}));
  EXPECT_TRUE(rig.feedback.messages.empty());

  Rig none(SmallPart(40));  // a 40-pin record without expected bytes passes unread
  none.device.ManufacturerId030 = none.device.DeviceId031 = 0;
  none.link.PowerUp();
  EXPECT_EQ(CheckSignature(none.ctx), 0);
  EXPECT_TRUE(none.board.reads.empty());
}

TEST(CheckSignature, TwentyPinComparesBothBytesEvenWhenOneIsExpectedZero) {
  Rig zero(SmallPart(20));
  zero.device.DeviceIdDip20 = 0;
  zero.link.PowerUp();
  EXPECT_EQ(CheckSignature(zero.ctx), 14);
  EXPECT_EQ(zero.feedback.LastText(),
            "Prozessor-ID's stimmen nicht !!!\n\nRichtig: Hersteller-ID 0x1E\tBaustein-ID 0x00\n"
            "Gelesen: Hersteller-ID 0x1E\tBaustein-ID 0x21\n");
}

// Register writes as the sequences imply them, at TimeBaseKorr 85:
//   TP(ms)   = max(1, ms*1000/85) + 1                       (timed pulse)
//   RO       = 1 + 4 + 2*51 + 1 + 3 + 1 + 1 = 113          (ResetOutputs)
//   PU40     = 3 + 2 + 3 + 2 + 2*51 + TP(100) + 1
//              + 8*(51 + TP(5)) + 51 + 4 + 4 + TP(100)      (PowerUp, 40 pins, no KVp)
//   PD       = 2 + 2 + 1 + 1 + 3 + 51 + 4 + 51 + 4 + 1 + 1 + TP(600)  (PowerDown)
//   SIG      = 5 + 3 + 1 + 3 + k*(5 + 2)                    (k compared bytes)
//   blank    = RO + PU40 + SIG + 3 + 1 + 5 + N*(2 + 5) + PD
//   read     = RO + PU40 + SIG + 1 + 3 + 3 + 5 + N*(2 + 5) + PD
//   verify   = RO + PU40 + SIG + 1 + 3 + 5 + (H+1)*(2 + 5) + PD
uint64_t TP(uint64_t ms) { return std::max<uint64_t>(1, ms * 1000 / 85) + 1; }
const uint64_t kFrame = 113 + (3 + 2 + 3 + 2 + 2 * 51 + TP(100) + 1 + 8 * (51 + TP(5)) + 51 + 4 + 4 + TP(100)) +
                        (2 + 2 + 1 + 1 + 3 + 51 + 4 + 51 + 4 + 1 + 1 + TP(600));  // RO + PU40 + PD
const uint64_t kSignature2 = 5 + 3 + 1 + 3 + 2 * (5 + 2);

TEST(RegisterWrites, ScanningOperationsCostWhatTheSequencesImply) {
  const uint64_t n = 1024;
  Rig blank(SmallPart(40));
  EXPECT_EQ(BlankCheck(blank.ctx), 0);
  EXPECT_EQ(blank.link.WriteCount(), kFrame + kSignature2 + 9 + n * 7);
  EXPECT_EQ(blank.feedback.TotalPumps(), 51u);  // 1024 cells, a bar step every 1024 / 50 = 20

  Rig read(SmallPart(40));
  read.settings.ProgramFilePath = read.scratch.Slash() + "read.bin";
  read.settings.FFSave = 1;
  read.chip->memory[5] = 0x42;
  EXPECT_EQ(ReadDevice(read.ctx), 0);
  EXPECT_EQ(read.link.WriteCount(), kFrame + kSignature2 + 12 + n * 7);

  // With the ID check off a wrong chip is worked on without its signature being read.
  Rig verify(SmallPart(40));
  verify.settings.IDCheck = 0;
  verify.chip->signature[0x31] = 0x00;
  verify.LoadImage({{0x63, 0xFF}});  // HighestAddress 99: 100 cells
  EXPECT_EQ(VerifyDevice(verify.ctx), 0);
  EXPECT_EQ(verify.link.WriteCount(), kFrame + 9 + 100 * 7);
}

}  // namespace
}  // namespace tav::testing
