// The frame every operation shares: prompt texts, the cancel and signature
// results of each operation, the signature reports, and the register-write
// counts the sequences imply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "operations/operations.h"
#include "tests/operations_test_board.h"

namespace tav::testing {
namespace {

using ::testing::HasSubstr;
using Read = std::pair<uint8_t, uint32_t>;

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
const uint64_t kResetOutputs = 113;
const uint64_t kFrame = kResetOutputs +
                        (3 + 2 + 3 + 2 + 2 * 51 + TP(100) + 1 + 8 * (51 + TP(5)) + 51 + 4 + 4 + TP(100)) +
                        (2 + 2 + 1 + 1 + 3 + 51 + 4 + 51 + 4 + 1 + 1 + TP(600));  // RO + PU40 + PD
const uint64_t kSignature2 = 5 + 3 + 1 + 3 + 2 * (5 + 2);

// The prompt names the device, the operation, the counts and the socket.
TEST(OperationFrame, PromptCancelAndSignatureMismatchEndEachOperationWithItsOwnResult) {
  const std::string all = "Anzahl Bytes: 1024 (0x400)\n";
  const std::string image = "Anzahl Bytes: 3 (0x3)\nHöchste Adresse: 767 (0x2FF)\n";
  const struct {
    int (*run)(OperationContext&);
    std::string prompt;  // between the device name and the socket
    int cancelledAtPrompt;
    int signatureMismatch;
    std::vector<std::string> statuses;  // the verify shows none until its compare loop runs
    bool cancelButton;
  } operations[] = {
      {BlankCheck, "Leertest ***\n\n" + all, 0, 5, {"Leertest"}, true},
      {EraseDevice, "Controller löschen ***\n\n", 7, 14, {"Lösche Controller"}, false},
      {ReadDevice, "Controller auslesen ***\n\n" + all, 0, 4, {"Speichere Bausteindaten"}, true},
      {ProgramDevice, "Controller programmieren ***\n\n" + image, 7, 7, {"Programmiere Baustein"}, true},
      {VerifyDevice, "Controller Prüfen ***\n\n" + image, 0, 7, {}, true},
  };
  for (const auto& op : operations) {
    SCOPED_TRACE(op.prompt);
    Rig rig(SmallPart(40));
    rig.LoadImage({0x12, 0x34});
    rig.image.Store(0x2FF, 0x56);
    rig.settings.ProgramFilePath = rig.scratch.Slash() + "never_written.bin";
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(op.run(rig.ctx), op.cancelledAtPrompt);
    EXPECT_EQ(rig.link.WriteCount(), kResetOutputs);  // the socket never powered
    ASSERT_EQ(rig.feedback.messages.size(), 1u);      // the prompt, nothing after it
    EXPECT_EQ(rig.feedback.messages[0].kind, MessageKind::OkCancel);
    EXPECT_EQ(rig.feedback.LastText(), "*** TESTFLASH40 ***\n\n*** " + op.prompt +
                                           "\n\nController in Sockel 2 einsetzen.\nNase zeigt zum Hebel");
    EXPECT_TRUE(rig.feedback.statuses.empty());

    rig.feedback.Clear();
    rig.chip->signature[0x31] = 0x99;
    EXPECT_EQ(op.run(rig.ctx), op.signatureMismatch);
    // Nothing between the check and the power-down.
    EXPECT_EQ(rig.link.WriteCount(), kResetOutputs + kFrame + kSignature2);
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

TEST(CheckSignature, ReadsOnlyTheNonzeroFieldsInTableOrder) {
  Rig rig(SmallPart(40));
  rig.device.ManufacturerId000 = rig.chip->signature[0x000] = 0x1E;
  rig.device.DeviceId100 = rig.chip->signature[0x100] = 0x7A;
  rig.device.DeviceId060 = rig.chip->signature[0x060] = 0x33;
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);
  EXPECT_EQ(rig.board.reads, (std::vector<Read>{{0, 0x000}, {0, 0x030}, {0, 0x031}, {0, 0x100}, {0, 0x060}}));
  EXPECT_TRUE(rig.feedback.messages.empty());
}

TEST(OperationFrame, TwentyPinPartsSitInSocketThreeAndCompareBothSignatureBytes) {
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

TEST(RegisterWrites, ScanningOperationsCostWhatTheSequencesImply) {
  const uint64_t n = 1024;
  Rig blank(SmallPart(40));
  EXPECT_EQ(BlankCheck(blank.ctx), 0);
  EXPECT_EQ(blank.link.WriteCount(), kFrame + kSignature2 + 9 + n * 7);
  EXPECT_EQ(blank.feedback.TotalPumps(), 51u);  // 1024 cells, a bar step every 1024 / 50 = 20

  Rig read(SmallPart(40));
  read.settings.ProgramFilePath = read.scratch.Slash() + "read.bin";
  read.settings.FFSave = 1;
  EXPECT_EQ(ReadDevice(read.ctx), 0);
  EXPECT_EQ(read.link.WriteCount(), kFrame + kSignature2 + 12 + n * 7);

  // With the ID check off a wrong chip is worked on without its signature being read.
  Rig verify(SmallPart(40));
  verify.settings.IDCheck = 0;
  verify.chip->signature[0x31] = 0x00;
  verify.LoadImage(std::vector<uint8_t>(100, 0xFF));  // HighestAddress 99: 100 cells
  EXPECT_EQ(VerifyDevice(verify.ctx), 0);
  EXPECT_EQ(verify.link.WriteCount(), kFrame + 9 + 100 * 7);
}

}  // namespace
}  // namespace tav::testing
