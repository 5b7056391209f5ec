// SPDX-License-Identifier: GPL-2.0-or-later
// The device operations at register level. On a simulated board with a
// simple recording chip: the frame every operation shares (prompt texts,
// cancel and signature results, signature reports, which cells each scan
// reads) and the erase, burn, compare and lock-bit sequences, details the
// end-to-end runs cannot see. With the simulated chips: board faults
// mid-operation (cable pulled, one missed transaction) at points spread over
// every operation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "operations/operations.h"
#include "tests/sample_library.h"
#include "tests/scratch_directory.h"
#include "tests/sim_rig.h"

namespace tav::testing {
namespace {

using namespace ::testing;
using Read = std::pair<uint8_t, uint32_t>;
using Reads = std::vector<Read>;
using Texts = std::vector<std::string>;
using OperationRun = int (*)(OperationContext&);

// The chip answers at once, without the timing limits of a real part, and
// keeps a code memory that write and erase pulses change the way an 8051
// part does (programming only clears bits).
class TestChip : public sim::SocketChip {
public:
  TestChip(uint8_t package, uint32_t sizeBytes) : package_(package), mask_(sizeBytes - 1) { memory.fill(0xFF); }

  // A pulse starts when the strobe line falls with supply and programming voltage on.
  void OnPins(const sim::SocketPins& pins, uint64_t) override {
    if (strobeHigh_ && !pins.strobe && pins.supplyOn && pins.vppOn) Pulse(pins);
    strobeHigh_ = pins.strobe;
  }
  std::optional<uint8_t> DrivenData(const sim::SocketPins& pins, uint64_t) override {
    if (!pins.supplyOn) return std::nullopt;
    if (pins.mode == 12) return locked && Cell(pins) == 0 ? 0xFF : memory[Cell(pins)];
    if (pins.mode == 0) return signature[Cell(pins) & 0x3FF];
    return std::nullopt;
  }
  uint8_t Package() const override { return package_; }
  uint32_t MaxVppMillivolts() const override { return 21000; }
  std::string Name() const override { return "Testbaustein"; }
  // The cell the lines select: the counter of a 20-pin part, or the address
  // lines of a 40-pin part, less those above its size (they may be held high).
  uint32_t Cell(const sim::SocketPins& p) const { return (package_ == 20 ? p.counter : p.Address40()) & mask_; }

  std::array<uint8_t, 0x10000> memory{};
  std::array<uint8_t, 0x400> signature{};  // 40-pin: by address; 20-pin: by counter position
  bool locked = false;                     // lock bit 2 or 3 programmed: address 0 reads 0xFF
  uint32_t erasePulses = 0;
  std::vector<uint32_t> programPulses;                  // cell | P3.3 << 15 of every program pulse
  std::vector<std::pair<uint8_t, uint8_t>> lockPulses;  // (mode, data lines) of every lock pulse
  std::vector<uint32_t> pulseSupplies;                  // supply in mV at every pulse of any kind

private:
  void Pulse(const sim::SocketPins& pins) {
    pulseSupplies.push_back(pins.vccMillivolts);
    if (pins.mode == 14)
      programPulses.push_back(Cell(pins) | pins.P33() << 15), memory[Cell(pins)] &= pins.dataRegister;
    if (pins.mode == 1) ++erasePulses, memory.fill(0xFF), locked = false;
    if (pins.mode == 15 || pins.mode == 3 || pins.mode == 5)
      lockPulses.emplace_back(pins.mode, pins.dataRegister), locked |= pins.mode != 15;
  }

  uint8_t package_;
  uint32_t mask_;
  bool strobeHigh_ = false;
};

// The board picks the data reads out of the register writes.
class TestBoard : public sim::SimBoard {
public:
  void Out(uint16_t address, uint8_t value) override {
    if (address == 0x378 + 2 && !(value & 1)) pending_ = value & 0x0E;  // the register number
    const uint64_t before = CompletedWrites();
    const uint8_t old = Register(pending_);
    SimBoard::Out(address, value);
    if (CompletedWrites() == before) return;
    // A data read rewrites register 4 and then register 8 unchanged, with the
    // data lines released. P3.3 is recorded as address bit 15.
    if (pending_ == 8 && Register(pending_) == old && previous_ == 4 && Pins().supplyOn && Pins().dataRegister == 0xFF)
      reads.emplace_back(Pins().mode, static_cast<TestChip*>(Chip())->Cell(Pins()) | Pins().P33() << 15);
    previous_ = pending_;
  }

  Reads reads;  // (mode, address) of every data read

private:
  uint8_t pending_ = 0;
  uint8_t previous_ = 0;  // register of the last completed write
};

// A small part, 1 KiB to keep the loops short: flash or EPROM, 40 or 20 pins.
DeviceRecord SmallPart(uint8_t package, bool flash = true) {
  const bool dip20 = package == 20;
  return {.DeviceName = (flash ? "TESTFLASH" : "TESTEPROM") + std::to_string(package), .Package = package,
          .VppCode = 120, .VccProgCode = 100, .ProgPulseTime = flash ? 10u : 3u, .ProgPulseCount = flash ? 1u : 2u,
          .LockPulseCount = flash ? 1u : 2u, .EraseTime = flash ? 20u : 0u,
          .ManufacturerId000 = uint8_t(dip20 ? 0x1E : 0), .DeviceIdDip20 = uint8_t(dip20 ? 0x21 : 0),
          .ManufacturerId030 = uint8_t(dip20 ? 0 : 0x1E), .DeviceId031 = uint8_t(dip20 ? 0 : 0x51),
          .SizeBytes = 1024, .LockBitCount = uint8_t(flash && !dip20 ? 3 : 2)};
}

// Everything an operation needs, fresh for every test, the chip answering
// with the device's signature (20 pins: counter positions 0 and 1).
struct Rig : test::BoardRig<TestBoard> {
  explicit Rig(const DeviceRecord& d) : BoardRig(d), chip(std::make_shared<TestChip>(d.Package, d.SizeBytes)) {
    board.InsertChip(chip);
    std::tie(chip->signature[0x000], chip->signature[0x001], chip->signature[0x030], chip->signature[0x031]) =
        std::tie(d.ManufacturerId000, d.DeviceIdDip20, d.ManufacturerId030, d.DeviceId031);
  }

  std::shared_ptr<TestChip> chip;
  test::ScratchDirectory scratch{"tav_ops"};  // for files an operation may write
};

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
  // The prompt text between the device name and the socket; the verify
  // shows no status until its compare loop runs.
  const struct { OperationRun run; std::string prompt; int cancelled, mismatch; Texts statuses; bool cancel; } ops[] = {
      {BlankCheck, "Leertest ***\n\n" + all, 0, 5, {"Leertest"}, true},
      {EraseDevice, "Controller löschen ***\n\n", 7, 14, {"Lösche Controller"}, false},
      {ReadDevice, "Controller auslesen ***\n\n" + all, 0, 4, {"Speichere Bausteindaten"}, true},
      {ProgramDevice, "Controller programmieren ***\n\n" + image, 7, 7, {"Programmiere Baustein"}, true},
      {VerifyDevice, "Controller Prüfen ***\n\n" + image, 0, 7, {}, true},
  };
  const uint64_t unpowered = FrameWrites(SmallPart(40), false), powered = FrameWrites(SmallPart(40), true);
  for (const auto& op : ops) {
    SCOPED_TRACE(op.prompt);
    Rig rig(SmallPart(40));
    rig.LoadImage({0x12, 0x34});
    rig.image.Store(0x2FF, 0x56);
    rig.settings.ProgramFilePath = rig.scratch.Slash() + "never_written.bin";
    const std::string prompt =
        "*** TESTFLASH40 ***\n\n*** " + op.prompt + "\n\nController in Sockel 2 einsetzen.\nNase zeigt zum Hebel";
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(op.run(rig.ctx), op.cancelled);
    EXPECT_EQ(rig.link.WriteCount(), unpowered);  // the socket never powered
    ASSERT_EQ(rig.feedback.Texts(), Texts{prompt});  // nothing after the prompt
    EXPECT_EQ(rig.feedback.messages[0].kind, MessageKind::OkCancel);
    EXPECT_TRUE(rig.feedback.statuses.empty());

    rig.feedback.Clear();
    rig.chip->signature[0x31] = 0x99;
    EXPECT_EQ(op.run(rig.ctx), op.mismatch);
    EXPECT_EQ(rig.link.WriteCount(), unpowered + powered);
    EXPECT_EQ(rig.feedback.Texts(), (Texts{prompt, "Eine Prozessor ID stimmt nicht !\n\n"
                                                   "Hersteller-ID(0x30)\tRichtig:0x1E\tGelesen:0x1E\n"
                                                   "Baustein-ID(0x31)\tRichtig:0x51\tGelesen:0x99\n"}));
    EXPECT_EQ(rig.feedback.statuses, op.statuses);
    EXPECT_EQ(rig.feedback.cancelButtonEnabled, op.cancel);
    EXPECT_FALSE(std::filesystem::exists(rig.settings.ProgramFilePath));
    EXPECT_TRUE(rig.board.SocketAtRest());
    EXPECT_TRUE(rig.board.Violations().empty());
  }
}

// The signature check reads only the nonzero fields, in table order, and
// 20-pin parts compare both. Every cell of the range is read once, in order,
// none beyond it; with the ID check off a wrong chip is worked on without its
// signature being read.
TEST(Scanning, EachOperationReadsTheSignatureAndItsRangeOnceAndStopsAtItsEnd) {
  const auto cells = [](uint32_t n, Reads reads) {
    for (uint32_t a = 0; a < n; ++a) reads.emplace_back(12, a);
    return reads;
  };
  Rig blank(SmallPart(40)), dip20(SmallPart(20));
  blank.device.ManufacturerId000 = blank.chip->signature[0x000] = 0x1E;
  blank.device.DeviceId100 = blank.chip->signature[0x100] = 0x7A;
  blank.device.DeviceId060 = blank.chip->signature[0x060] = 0x33;
  EXPECT_EQ(BlankCheck(blank.ctx), 0);
  EXPECT_EQ(blank.board.reads, cells(1024, {{0, 0x000}, {0, 0x030}, {0, 0x031}, {0, 0x100}, {0, 0x060}}));
  EXPECT_EQ(blank.feedback.TotalPumps(), 51u);  // a bar step every 1024 / 50 = 20 cells
  for (const uint32_t n : {100u, 1u}) {
    Rig verify(SmallPart(40));
    verify.settings.IDCheck = 0;
    verify.chip->signature[0x31] = verify.chip->memory[n] = 0x00;
    verify.LoadImage(std::vector<uint8_t>(n, 0xFF));
    EXPECT_EQ(VerifyDevice(verify.ctx), 0);
    EXPECT_EQ(verify.board.reads, cells(n, {}));
  }
  dip20.device.DeviceIdDip20 = 0;  // compared even so
  EXPECT_EQ(BlankCheck(dip20.ctx), 5);
  EXPECT_THAT(dip20.feedback.Texts(), ElementsAre(HasSubstr("\nController in Sockel 3 einsetzen."),
                                                  "Prozessor-ID's stimmen nicht !!!\n\nRichtig: Hersteller-ID 0x1E\t"
                                                  "Baustein-ID 0x00\nGelesen: Hersteller-ID 0x1E\tBaustein-ID 0x21\n"));
}

// Two erase rounds and the lock bit at 6.5 V, the burn at 5 V; lock bit 1
// alone leaves the code readable, which the result must tell a script.
TEST(RaisedVoltage, EraseAndLockBitsRunAtSixPointFiveVoltsAndTheDeviceKeepsItsSupply) {
  Rig rig(SmallPart(40));
  rig.device.Vcc65 = true;
  rig.device.LockBitCount = 1;
  rig.settings.Lock1 = rig.settings.Lock2 = 1;
  rig.LoadImage({0x5A});
  EXPECT_EQ(RunProgramSequence(rig.ctx), kLockWithoutEffect);
  EXPECT_THAT(rig.feedback.Texts(), ElementsAre(_, "Schutzbits haben keine Wirkung !", "Keine Fehler beim Prüfen"));
  EXPECT_EQ(rig.chip->erasePulses, 2u);
  EXPECT_EQ(rig.device.VccProgCode, 100);
  EXPECT_EQ(rig.chip->pulseSupplies, (std::vector<uint32_t>{6500, 6500, 5000, 6500}));
  EXPECT_TRUE(rig.board.SocketAtRest());
}

// A KVp part keeps the programming voltage from power-up on: neither the
// erase cycle nor the burn of a byte switches it; a 20-pin EPROM burn steps
// the counter over blank cells. With P3.3 high a
// part is written with the extra bit and read without.
TEST(EraseAndCounter, KVpKeepsTheVoltageAndTheCounterFollowsTheCells) {
  Rig kvp(SmallPart(40));
  kvp.device.KVp = true;
  kvp.link.PowerUp();
  const uint64_t switchWrites = kvp.board.WritesOfRegister(8);
  EXPECT_EQ(EraseCycle(kvp.ctx), 0);
  EXPECT_EQ(kvp.board.WritesOfRegister(8), switchWrites);
  EXPECT_EQ(kvp.chip->erasePulses, 1u);
  kvp.LoadImage({0x12, 0x34});
  EXPECT_EQ(ProgramDevice(kvp.ctx), 0);
  EXPECT_EQ(kvp.chip->memory[1], 0x34);

  Rig eprom(SmallPart(20, false));
  eprom.LoadImage({0xFF, 0x12, 0xFF, 0x34, 0xFF});
  EXPECT_EQ(ProgramDevice(eprom.ctx), 0);
  EXPECT_EQ(eprom.chip->programPulses, (std::vector<uint32_t>{1, 1, 3, 3}));  // two pulses a byte
  EXPECT_EQ(eprom.board.Pins().counter, 5u);
  EXPECT_EQ(eprom.chip->memory[3], 0x34);

  Rig p33(SmallPart(40));
  p33.device.P33High = true;
  p33.settings.Verify = 0;
  p33.LoadImage({0xFF, 0xFF, 0xFF, 0x42});
  EXPECT_EQ(RunProgramSequence(p33.ctx), 0);
  EXPECT_EQ(p33.chip->memory[3], 0x42);
  EXPECT_EQ(p33.chip->programPulses, std::vector<uint32_t>{0x8003});  // P3.3 as bit 15
  EXPECT_EQ(p33.board.reads.empty() ? Read{} : p33.board.reads.back(), (Read{12, 3}));
}

TEST(LockBits, WhichBitsAreProgrammedHowAndWhetherTheEffectIsTested) {
  // The lock bits set, the pulses given as (mode, data byte), whether address
  // 0 is read back to test the effect, and the result: lock bit 1 alone
  // leaves the code readable.
  using Pulses = std::vector<std::pair<uint8_t, uint8_t>>;
  using enum DeviceOption;
  const struct { int bits, lock1, lock2, lock3; DeviceOption option; Pulses pulses; bool reads; int rc; } cases[] = {
      {0, 1, 1, 1, None, {}, false, 0}, {1, 1, 1, 1, None, {{15, 0}}, true, 22},
      {3, 1, 0, 0, None, {{15, 0}}, false, 0}, {3, 1, 1, 0, None, {{15, 0}, {3, 0}}, true, 0},
      {3, 1, 1, 1, None, {{15, 0}, {3, 0}, {5, 0}}, true, 0}, {1, 1, 1, 1, LockP12, {{5, 0x1F}}, true, 0},
      {3, 1, 0, 0, LockP12, {{5, 0x7F}}, false, 0}, {3, 1, 1, 0, LockP12, {{5, 0x3F}}, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bits << c.lock1 << c.lock2 << c.lock3 << int(c.option));
    Rig rig(SmallPart(40));
    rig.device.LockBitCount = static_cast<uint8_t>(c.bits);
    rig.device.Option = c.option;
    std::tie(rig.settings.Lock1, rig.settings.Lock2, rig.settings.Lock3) = std::tie(c.lock1, c.lock2, c.lock3);
    rig.LoadImage({0x5A});
    rig.chip->memory[0] = 0x5A;
    rig.link.PowerUp();
    EXPECT_EQ(ProgramLockBits(rig.ctx), c.rc);
    EXPECT_EQ(rig.chip->lockPulses, c.pulses);
    EXPECT_EQ(rig.board.reads, (c.reads ? Reads{{12, 0}} : Reads{}));
  }
}

// The simulated board, counting the status reads of the handshake waits.
struct CountingBoard : sim::SimBoard {
  uint8_t In(uint16_t address) override {
    ++reads;
    return SimBoard::In(address);
  }
  uint64_t reads = 0;
};

// The chip of a verify holds what a clean run expects.
struct FaultRig : test::BoardRig<CountingBoard> {
  FaultRig(const DeviceRecord& d, const std::string& file, OperationRun run = nullptr) : BoardRig(d) {
    chip = sim::MakeChip(device, settings.TimeBaseKorr, {});
    board.InsertChip(chip);
    settings.Lock1 = settings.Lock2 = settings.Lock3 = 1;
    settings.Verify = settings.FFSave = settings.DataFormat = 1;
    settings.ProgramFilePath = file;
    LoadImage({0x5A, 0x00, 0x12, 0xFF, 0x34});
    if (run == VerifyDevice) std::copy_n(image.Bytes.begin(), 5, chip->Memory().begin());
  }
  std::shared_ptr<sim::SimulatedChip> chip;
};

struct Operation { const char* name; OperationRun run; };

constexpr Operation kOperations[] = {
    {"blank check", BlankCheck}, {"read", ReadDevice},     {"verify", VerifyDevice},
    {"erase", EraseDevice},      {"program", RunProgramSequence},
};

const char* const kSuccessTexts[] = {"\nController ist gelöscht !\n", "Keine Fehler beim Prüfen",
                                     "Baustein ist gelöscht !", "\nProzessor-Programm gespeichert \n"};

// Register writes of a clean run, without its last power-down (a fault
// there comes after the closing message).
uint64_t WritesBeforeLastPowerDown(const DeviceRecord& device, const Operation& op, const std::string& file,
                                   int locks = 1) {
  FaultRig clean(device, file, op.run);
  clean.settings.Lock1 = clean.settings.Lock2 = clean.settings.Lock3 = locks;
  clean.feedback.QueueAnswer(kOk);
  EXPECT_EQ(op.run(clean.ctx), kSuccess) << op.name << " fails on a clean board";
  const uint64_t total = clean.board.CompletedWrites();
  clean.link.PowerDown();
  return total - (clean.board.CompletedWrites() - total);
}

// At about 12 points of every operation the board falls silent or misses
// one transaction. A silent board costs one full wait for the write that
// found it gone; everything after it together costs less than another. A
// missed transaction ends the operation and powers down in order.
TEST(BoardFaults, SilentBoardOrMissedTransactionEndEveryOperationAfterOneTimeout) {
  test::ScratchDirectory dir("tav_faults");
  const std::string file = dir.Slash() + "read.bin";
  for (const bool silent : {true, false}) {
    for (const char* name : {"AT89C51", "AT89C2051", "87C51"}) {
      const DeviceRecord device = test::LibraryDevice(name);
      for (const Operation& op : kOperations) {
        if (op.run == EraseDevice && device.EraseTime == 0) continue;
        const uint64_t writes = WritesBeforeLastPowerDown(device, op, file);
        for (uint64_t at = 1; at < writes; at += writes / 12 + 1) {
          SCOPED_TRACE(std::string(name) + " " + op.name + (silent ? " silent " : " missed ") + std::to_string(at));
          std::filesystem::remove(file);
          FaultRig rig(device, file, op.run);
          rig.feedback.QueueAnswer(kOk);
          (silent ? rig.board.Faults().silentAfterWrites : rig.board.Faults().missedWrite) = static_cast<int64_t>(at);
          EXPECT_NE(op.run(rig.ctx), kSuccess);
          EXPECT_THAT(rig.feedback.Texts(),
                      AllOf(Contains(kTimeoutMessage).Times(1), Each(Not(AnyOfArray(kSuccessTexts)))));
          EXPECT_FALSE(std::filesystem::exists(file)) << "stale bytes saved";
          if (silent) {
            EXPECT_LT(rig.board.reads - rig.board.CompletedWrites() * 2, 2 * uint64_t{rig.settings.TimeOut});
            EXPECT_LE(rig.feedback.messages.size(), 3u);  // prompt, timeout, perhaps the timer message
            continue;
          }
          EXPECT_TRUE(rig.board.SocketAtRest());
          for (const auto& v : rig.board.Violations()) ADD_FAILURE() << v.rule;
          EXPECT_FALSE(rig.chip->Damaged());
        }
      }
    }
  }
}

// A failed pulse of an EPROM lock bit has powered the socket down: the next
// bit must not switch the programming voltage on, nor may the strobe still
// be active while the modes change on the way down.
TEST(BoardFaults, FailedEpromLockPulseStopsTheLockBitsWithTheStrobeAtRest) {
  test::ScratchDirectory dir("tav_faults");
  const DeviceRecord device = test::LibraryDevice("87C51");
  // Without lock bits the closing power-down follows where the lock bits begin.
  const uint64_t lockStart =
      WritesBeforeLastPowerDown(device, {"program", RunProgramSequence}, dir.Slash() + "x.bin", 0);
  int failures = 0;
  for (uint64_t at = lockStart; at < lockStart + 400; at += 7) {
    SCOPED_TRACE("missed write " + std::to_string(at));
    FaultRig rig(device, dir.Slash() + "x.bin");
    rig.board.Faults().missedWrite = static_cast<int64_t>(at);
    const int result = RunProgramSequence(rig.ctx);
    failures += result == kTimerFailed;
    EXPECT_NE(result, kSuccess);
    EXPECT_THAT(rig.feedback.Texts(), Not(Contains("Keine Fehler beim Prüfen")));
    for (const auto& v : rig.board.Violations()) ADD_FAILURE() << v.rule;
    EXPECT_TRUE(rig.board.SocketAtRest());
  }
  EXPECT_GT(failures, 0) << "no point hit a lock pulse";
}

}  // namespace
}  // namespace tav::testing
