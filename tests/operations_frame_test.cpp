// The frame every operation shares: prompt texts, the cancel and signature
// results of each operation, where the socket is powered, the signature
// reports, and the register-write counts the sequences imply.
#include <gtest/gtest.h>

#include <string>

#include "operations/operations.h"
#include "tests/operations_test_board.h"
#include "tests/scratch_directory.h"

namespace tav::testing {
namespace {

struct OperationCase {
  const char* name;
  int (*run)(OperationContext&);
  int cancelledAtPrompt;
  int signatureMismatch;
  const char* status;  // status text the frame shows after the prompt, if any
  bool cancelButton;
};

const OperationCase kOperations[] = {
    {"BlankCheck", BlankCheck, 0, 5, "Leertest", true},
    {"EraseDevice", EraseDevice, 7, 14, "Lösche Controller", false},
    {"ReadDevice", ReadDevice, 0, 4, "Speichere Bausteindaten", true},
    {"ProgramDevice", ProgramDevice, 7, 7, "Programmiere Baustein", true},
    {"VerifyDevice", VerifyDevice, 0, 7, nullptr, true},
};

bool SocketWasSwitchedOn(const TestBoard& board) {
  for (const auto& w : board.writes) {
    if (w.reg == 8 && (w.value & 0x80)) return true;
  }
  return false;
}

void PrepareForAnyOperation(Rig& rig) {
  rig.LoadImage({{0, 0x12}, {1, 0x34}, {0x2FF, 0x56}});
  rig.settings.ProgramFilePath = rig.scratch.Slash() + "frame_read_never_written.bin";
}

TEST(OperationFrame, PromptCancelReturnsTheOperationsResultWithNothingPowered) {
  for (const auto& op : kOperations) {
    SCOPED_TRACE(op.name);
    Rig rig(SmallPart(40));
    PrepareForAnyOperation(rig);
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(op.run(rig.ctx), op.cancelledAtPrompt);
    EXPECT_FALSE(SocketWasSwitchedOn(rig.board));
    ASSERT_EQ(rig.feedback.messages.size(), 1u);  // the prompt, nothing after it
    EXPECT_EQ(rig.feedback.messages[0].kind, MessageKind::OkCancel);
    EXPECT_TRUE(rig.feedback.statuses.empty());
    EXPECT_TRUE(rig.board.SocketAtRest());
  }
}

TEST(OperationFrame, SignatureMismatchReportsPowersDownAndReturnsTheOperationsResult) {
  for (const auto& op : kOperations) {
    SCOPED_TRACE(op.name);
    Rig rig(SmallPart(40));
    PrepareForAnyOperation(rig);
    rig.chip->signature[0x31] = 0x99;
    EXPECT_EQ(op.run(rig.ctx), op.signatureMismatch);
    ASSERT_EQ(rig.feedback.messages.size(), 2u);
    EXPECT_EQ(rig.feedback.messages[1].text,
              "Eine Prozessor ID stimmt nicht !\n\n"
              "Hersteller-ID(0x30)\tRichtig:0x1E\tGelesen:0x1E\n"
              "Baustein-ID(0x31)\tRichtig:0x51\tGelesen:0x99\n");
    EXPECT_TRUE(rig.board.SocketAtRest());
    EXPECT_EQ(rig.chip->erasePulses, 0u);
    // The verify leaves the status line alone until its compare loop runs.
    const std::vector<std::string> statuses =
        op.run == VerifyDevice ? std::vector<std::string>{} : std::vector<std::string>{op.status};
    EXPECT_EQ(rig.feedback.statuses, statuses);
    EXPECT_EQ(rig.feedback.cancelButtonEnabled, op.cancelButton);
  }
}

TEST(OperationFrame, PromptNamesTheDeviceTheCountsAndTheSocket) {
  Rig rig(SmallPart(40));
  PrepareForAnyOperation(rig);
  for (int i = 0; i < 4; ++i) rig.feedback.QueueAnswer(kCancel);
  BlankCheck(rig.ctx);
  ReadDevice(rig.ctx);
  ProgramDevice(rig.ctx);
  VerifyDevice(rig.ctx);
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
}

TEST(OperationFrame, SocketNumberFollowsThePackageAndIsLeftOutForAnUnknownOne) {
  const std::pair<uint8_t, std::string> cases[] = {
      {20, "Sockel 3 einsetzen"}, {40, "Sockel 2 einsetzen"}, {28, "Sockel  einsetzen"}};
  for (const auto& [package, expected] : cases) {
    Rig rig(SmallPart(40));
    rig.device.Package = package;
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(EraseDevice(rig.ctx), 7);
    EXPECT_NE(rig.feedback.LastText().find(expected), std::string::npos) << rig.feedback.LastText();
  }
  Rig large(SmallPart(40));
  large.device.SizeBytes = 65536;
  large.feedback.QueueAnswer(kCancel);
  BlankCheck(large.ctx);
  EXPECT_NE(large.feedback.LastText().find("Anzahl Bytes: 65536 (0x10000)\n"), std::string::npos);
}

TEST(CheckSignature, ReadsOnlyTheNonzeroFieldsInTableOrder) {
  Rig rig(SmallPart(40));
  rig.device.ManufacturerId000 = 0x1E;
  rig.device.DeviceId100 = 0x7A;
  rig.device.DeviceId060 = 0x33;
  rig.chip->signature[0x000] = 0x1E;
  rig.chip->signature[0x100] = 0x7A;
  rig.chip->signature[0x060] = 0x33;
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);
  using Read = std::pair<uint8_t, uint32_t>;
  EXPECT_EQ(rig.board.reads, (std::vector<Read>{{0, 0x000}, {0, 0x030}, {0, 0x031}, {0, 0x100}, {0, 0x060}}));
  EXPECT_TRUE(rig.feedback.messages.empty());
}

TEST(CheckSignature, FortyPinRecordWithoutExpectedBytesPassesWithoutReading) {
  Rig rig(SmallPart(40));
  rig.device.ManufacturerId030 = 0;
  rig.device.DeviceId031 = 0;
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);
  EXPECT_TRUE(rig.board.reads.empty());
}

TEST(CheckSignature, TwentyPinComparesBothBytesEvenWhenOneIsExpectedZero) {
  Rig rig(SmallPart(20));
  rig.link.PowerUp();
  EXPECT_EQ(CheckSignature(rig.ctx), 0);

  Rig zero(SmallPart(20));
  zero.device.DeviceIdDip20 = 0;
  zero.link.PowerUp();
  EXPECT_EQ(CheckSignature(zero.ctx), 14);
  EXPECT_EQ(zero.feedback.LastText(),
            "Prozessor-ID's stimmen nicht !!!\n\nRichtig: Hersteller-ID 0x1E\tBaustein-ID 0x00\n"
            "Gelesen: Hersteller-ID 0x1E\tBaustein-ID 0x21\n");
}

TEST(CheckSignature, WithTheIdCheckOffAWrongChipIsWorkedOnUnread) {
  Rig rig(SmallPart(40));
  rig.settings.IDCheck = 0;
  rig.chip->signature[0x30] = 0x00;
  rig.chip->signature[0x31] = 0x00;
  EXPECT_EQ(BlankCheck(rig.ctx), 0);
  for (const auto& [mode, address] : rig.board.reads) EXPECT_EQ(mode, 12) << address;
  EXPECT_EQ(rig.board.reads.size(), 1024u);
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
const uint64_t kResetOutputs = 113;
const uint64_t kPowerUp40 = 3 + 2 + 3 + 2 + 2 * 51 + TP(100) + 1 + 8 * (51 + TP(5)) + 51 + 4 + 4 + TP(100);
const uint64_t kPowerDown = 2 + 2 + 1 + 1 + 3 + 51 + 4 + 51 + 4 + 1 + 1 + TP(600);
uint64_t Signature(uint64_t k) { return 5 + 3 + 1 + 3 + k * (5 + 2); }

TEST(RegisterWrites, ScanningOperationsCostWhatTheSequencesImply) {
  const uint64_t n = 1024;
  {
    Rig rig(SmallPart(40));
    EXPECT_EQ(BlankCheck(rig.ctx), 0);
    EXPECT_EQ(rig.link.WriteCount(), kResetOutputs + kPowerUp40 + Signature(2) + 9 + n * 7 + kPowerDown);
    EXPECT_EQ(rig.feedback.TotalPumps(), 51u);  // 1024 cells, a bar step every 1024 / 50 = 20
  }
  {
    Rig rig(SmallPart(40));
    rig.settings.ProgramFilePath = rig.scratch.Slash() + "frame_count_read.bin";
    rig.settings.FFSave = 1;
    rig.chip->memory[5] = 0x42;
    EXPECT_EQ(ReadDevice(rig.ctx), 0);
    EXPECT_EQ(rig.link.WriteCount(), kResetOutputs + kPowerUp40 + Signature(2) + 12 + n * 7 + kPowerDown);
    EXPECT_LE(rig.feedback.TotalPumps(), 99u);
  }
  {
    Rig rig(SmallPart(40));
    rig.settings.IDCheck = 0;
    rig.LoadImage({{0x63, 0xFF}});  // HighestAddress 99: 100 cells
    EXPECT_EQ(VerifyDevice(rig.ctx), 0);
    EXPECT_EQ(rig.link.WriteCount(), kResetOutputs + kPowerUp40 + 9 + 100 * 7 + kPowerDown);
  }
}

}  // namespace
}  // namespace tav::testing
