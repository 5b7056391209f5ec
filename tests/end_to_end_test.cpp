// Every device of the sample library through the whole life of a part on the
// simulated board and chip: erase, blank check, program a random image with
// verify, read back in every file format, lock. And every failure path of the
// operations on the same simulator, with the socket at rest afterwards and no
// electrical rule broken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/scripted_feedback.h"
#include "files/program_files.h"
#include "files/program_image.h"
#include "library/device_library.h"
#include "library/device_selection.h"
#include "link/programmer_link.h"
#include "operations/operations.h"
#include "settings/settings.h"
#include "sim/chip_models.h"
#include "sim/sim_board.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// Directories live as long as the test program; each process gets its own.
std::string TempDirectory(const std::string& name) {
  static std::vector<std::unique_ptr<test::ScratchDirectory>> kept;
  kept.push_back(std::make_unique<test::ScratchDirectory>("tav_e2e_" + name));
  return kept.back()->Slash();
}

// The devices of the sample library, parsed as the application parses them.
std::vector<DeviceRecord> SampleLibraryDevices() {
  const std::string dir = TempDirectory("library");
  fs::copy_file(fs::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV", dir + "8789LIST.CSV",
                fs::copy_options::overwrite_existing);
  Settings settings;
  settings.SettingsFilePath = dir + "QUENVALD.INI";
  DeviceRecord device;
  ScriptedFeedback feedback(settings.MessageBeap);
  DeviceLibrary library(settings, device, feedback);
  std::vector<DeviceRecord> devices;
  SelectionList manufacturers;
  if (FillManufacturerList(library, manufacturers) != kSuccess) return devices;
  for (size_t m = 0; m < manufacturers.Entries.size(); ++m) {
    if (manufacturers.Entries[m].Placeholder) continue;
    settings.ManufIndex = static_cast<int32_t>(m);
    SelectionList list;
    if (FillDeviceList(library, list) != kSuccess) continue;
    for (const auto& entry : list.Entries) {
      if (entry.Placeholder) continue;
      settings.DeviceIndex = entry.LibraryIndex;
      if (library.LoadSelectedDevice() == kSuccess) devices.push_back(device);
    }
  }
  return devices;
}

// One application's worth of state around a simulated board and chip.
struct SimRig {
  explicit SimRig(const DeviceRecord& d, const sim::ChipFaults& faults = {}) : device(d) {
    settings.MessageBeap = 0;
    chip = sim::MakeChip(device, settings.TimeBaseKorr, faults);
    board.InsertChip(chip);
  }
  // Runs one operation and checks what must hold after every operation:
  // the socket at rest, and at most 99 message pumps per progress loop (the
  // program sequence runs two loops, the burn and the compare).
  int Run(int (*operation)(OperationContext&)) {
    const uint64_t pumpsBefore = feedback.TotalPumps();
    const int result = operation(ctx);
    EXPECT_TRUE(board.SocketAtRest());
    const uint64_t loops = operation == RunProgramSequence ? 2 : 1;
    EXPECT_LE(feedback.TotalPumps() - pumpsBefore, loops * 99u);
    return result;
  }
  void ExpectNoElectricalFault() const {
    for (const auto& v : board.Violations()) ADD_FAILURE() << "write " << v.writeIndex << ": " << v.rule;
    for (const auto& c : chip->Complaints()) ADD_FAILURE() << "chip: " << c;
    EXPECT_FALSE(chip->Damaged());
  }
  void LoadImage(const std::vector<uint8_t>& bytes) {
    image.PrepareForLoad();
    image.HighestAddress = 0;
    for (uint32_t a = 0; a < bytes.size(); ++a) image.Store(a, bytes[a]);
  }

  Settings settings;
  DeviceRecord device;
  ProgramImage image;
  ScriptedFeedback feedback{settings.MessageBeap};
  sim::SimBoard board;
  ProgrammerLink link{board, settings, device, feedback};
  OperationContext ctx{link, device, image, settings, feedback};
  std::shared_ptr<sim::SimulatedChip> chip;
};

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Random program bytes, about one cell in eight left empty. Byte 0 is never
// 0xFF or 0x00 so that the lock's effect test has something to hide.
std::vector<uint8_t> RandomProgram(uint32_t length, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(length);
  for (auto& b : bytes) b = (random() % 8 == 0) ? 0xFF : static_cast<uint8_t>(random());
  bytes[0] = 0x5A;
  return bytes;
}

// Parts with long programming pulses get a random image over the start of
// their memory only: a full 8751H alone would take minutes of simulation.
uint32_t ProgramLength(const DeviceRecord& device) {
  const uint64_t writesPerByte = uint64_t(device.ProgPulseCount) * (2 * device.ProgPulseTime + 8) + 20;
  const uint64_t budget = 2000000;  // register writes per burn
  return static_cast<uint32_t>(std::min<uint64_t>(device.SizeBytes, std::max<uint64_t>(64, budget / writesPerByte)));
}

TEST(EndToEnd, SampleLibraryHasDevicesOfEveryKind) {
  const auto devices = SampleLibraryDevices();
  ASSERT_GE(devices.size(), 4u);
  bool flash40 = false, flash20 = false, eprom40 = false;
  for (const auto& d : devices) {
    flash40 |= d.EraseTime > 0 && d.Package == 40;
    flash20 |= d.EraseTime > 0 && d.Package == 20;
    eprom40 |= d.EraseTime == 0 && d.Package == 40;
  }
  EXPECT_TRUE(flash40 && flash20 && eprom40);
}

TEST(EndToEnd, EveryLibraryDeviceErasesBurnsVerifiesReadsBackAndLocks) {
  const auto devices = SampleLibraryDevices();
  ASSERT_FALSE(devices.empty());
  uint32_t seed = 1;
  for (const DeviceRecord& device : devices) {
    SCOPED_TRACE(device.DeviceName);
    SimRig rig(device);
    const std::string dir = TempDirectory(device.DeviceName);

    if (device.EraseTime > 0) {
      // Left-over program in the chip proves the erase.
      std::fill(rig.chip->Memory().begin(), rig.chip->Memory().end(), 0x00);
      EXPECT_EQ(rig.Run(EraseDevice), 0);
      EXPECT_EQ(rig.feedback.LastText(), "Baustein ist gelöscht !");
    }
    EXPECT_EQ(rig.Run(BlankCheck), 0);
    EXPECT_EQ(rig.feedback.LastText(), "\nController ist gelöscht !\n");

    const std::vector<uint8_t> program = RandomProgram(ProgramLength(device), seed++);
    rig.LoadImage(program);
    rig.settings.Verify = 1;
    EXPECT_EQ(rig.Run(RunProgramSequence), 0);
    EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");
    for (uint32_t a = 0; a < program.size(); ++a) {
      ASSERT_EQ(rig.chip->Memory()[a], program[a]) << "address " << a;
    }
    EXPECT_EQ(rig.Run(VerifyDevice), 0);
    EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");

    const ProgramImage burnt = rig.image;
    for (int format = 1; format <= 9; ++format) {
      SCOPED_TRACE(format);
      rig.settings.DataFormat = format;
      rig.settings.ProgramFilePath = dir + "read" + std::to_string(format) + (format == 1 ? ".bin" : ".hex");
      EXPECT_EQ(rig.Run(ReadDevice), 0);
      EXPECT_EQ(rig.feedback.LastText(), "\nProzessor-Programm gespeichert \n");
      EXPECT_EQ(rig.image.ByteCount, burnt.ByteCount);  // a read leaves the counts alone
      EXPECT_EQ(rig.image.HighestAddress, burnt.HighestAddress);
      ProgramImage loaded;
      ASSERT_EQ(LoadProgramFile(rig.settings, device, loaded, rig.feedback), 0) << rig.feedback.LastText();
      for (uint32_t a = 0; a < device.SizeBytes; ++a) {
        ASSERT_EQ(loaded.Bytes[a], burnt.Bytes[a]) << "address " << a;
      }
    }

    if (device.LockBitCount > 0) {
      rig.image = burnt;
      rig.settings.Lock1 = rig.settings.Lock2 = rig.settings.Lock3 = 1;
      rig.feedback.Clear();
      EXPECT_EQ(rig.Run(RunProgramSequence), 0);
      EXPECT_FALSE(Contains(rig.feedback.Texts(), "Schutzbits haben keine Wirkung !"));
      EXPECT_EQ(rig.feedback.LastText(), "Keine Fehler beim Prüfen");
      const uint8_t expectedLocks = static_cast<uint8_t>((1u << device.LockBitCount) - 1);
      EXPECT_EQ(rig.chip->LockBits(), expectedLocks);
    }
    rig.ExpectNoElectricalFault();
  }
}

DeviceRecord LibraryDevice(const std::string& name) {
  for (const auto& d : SampleLibraryDevices()) {
    if (d.DeviceName == name) return d;
  }
  ADD_FAILURE() << name << " not in the sample library";
  return DeviceRecord{};
}

TEST(EndToEndFailures, PromptCancelledPowersNothing) {
  SimRig rig(LibraryDevice("AT89C51"));
  rig.LoadImage({0x12});
  rig.feedback.QueueAnswer(kCancel);
  EXPECT_EQ(rig.Run(RunProgramSequence), 7);
  EXPECT_EQ(rig.chip->PulsesSeen(), 0u);
  EXPECT_EQ(rig.chip->Memory()[0], 0xFF);
  EXPECT_EQ(rig.feedback.messages.size(), 1u);
  rig.ExpectNoElectricalFault();
}

TEST(EndToEndFailures, WrongSignatureEndsEveryOperationWithItsResult) {
  for (const char* name : {"AT89C51", "AT89C2051"}) {
    SCOPED_TRACE(name);
    sim::ChipFaults faults;
    faults.wrongSignature = true;
    SimRig rig(LibraryDevice(name), faults);
    rig.LoadImage({0x12, 0x34});
    rig.settings.ProgramFilePath = TempDirectory("signature") + "never.bin";
    EXPECT_EQ(rig.Run(BlankCheck), 5);
    EXPECT_EQ(rig.Run(EraseDevice), 14);
    EXPECT_EQ(rig.Run(ReadDevice), 4);
    EXPECT_EQ(rig.Run(RunProgramSequence), 7);
    EXPECT_EQ(rig.Run(VerifyDevice), 7);
    EXPECT_EQ(rig.chip->EraseCount(), 0u);
    EXPECT_EQ(rig.chip->BytesProgrammed(), 0u);
    EXPECT_FALSE(fs::exists(rig.settings.ProgramFilePath));
    rig.ExpectNoElectricalFault();
  }
}

TEST(EndToEndFailures, NonBlankCellsAnsweredRetryThenCancel) {
  sim::ChipFaults faults;
  faults.notBlank = true;
  SimRig rig(LibraryDevice("AT89C2051"), faults);
  rig.feedback.QueueAnswer(kOk);
  rig.feedback.QueueAnswer(kRetry);
  rig.feedback.QueueAnswer(kCancel);
  EXPECT_EQ(rig.Run(BlankCheck), 5);
  EXPECT_EQ(rig.feedback.Texts().size(), 3u);
  EXPECT_EQ(rig.feedback.messages[1].text, "Zelle 0x0000 ist nicht leer !\nInhalt 0x00\n");
  EXPECT_EQ(rig.feedback.messages[2].text, "Zelle 0x0001 ist nicht leer !\nInhalt 0x01\n");
  rig.ExpectNoElectricalFault();
}

TEST(EndToEndFailures, CellThatNeverProgramsIsReportedByBurnAndVerify) {
  sim::ChipFaults faults;
  faults.deadCell = 5;
  const std::vector<uint8_t> program{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  {
    SimRig rig(LibraryDevice("AT89C51"), faults);
    rig.LoadImage(program);
    rig.feedback.QueueAnswer(kOk);     // prompt
    rig.feedback.QueueAnswer(kRetry);  // programming error: go on
    rig.feedback.QueueAnswer(kRetry);  // verify difference: go on
    EXPECT_EQ(rig.Run(RunProgramSequence), 6);
    const auto texts = rig.feedback.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1].rfind("Programmierfehler an Adresse 5 (0x5)\nRichtig: 0x06   Gelesen: 0x", 0), 0u) << texts[1];
    EXPECT_EQ(texts[2], "Fehler an Adresse 5 (0x5) !\nRichtig: 0x06\nGelesen: 0xFF\n");
    EXPECT_EQ(rig.chip->Memory()[6], 7);  // burning went on after Retry
    rig.ExpectNoElectricalFault();
  }
  {
    SimRig rig(LibraryDevice("AT89C51"), faults);
    rig.LoadImage(program);
    rig.feedback.QueueAnswer(kOk);
    rig.feedback.QueueAnswer(kCancel);
    EXPECT_EQ(rig.Run(RunProgramSequence), 7);
    EXPECT_EQ(rig.feedback.Texts().size(), 2u);  // no verify, no closing message
    EXPECT_EQ(rig.chip->Memory()[6], 0xFF);      // burning stopped at the error
    rig.ExpectNoElectricalFault();
  }
}

TEST(EndToEndFailures, CancelButtonStopsEachLoopWithItsMessage) {
  struct Case {
    int (*run)(OperationContext&);
    int result;
    const char* message;
  };
  const Case cases[] = {
      {BlankCheck, 5, "Leertest abgebrochen !"},
      {ReadDevice, 4, "Auslesen abgebrochen !"},
      {RunProgramSequence, 7, "Programmierung abgebrochen !"},
      {VerifyDevice, 6, "Prüfen abgebrochen !"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    SimRig rig(LibraryDevice("AT89C51"));
    rig.LoadImage(std::vector<uint8_t>(4096, 0xFF));  // verify of a blank chip: no differences
    rig.settings.ProgramFilePath = TempDirectory("cancel") + "never.bin";
    rig.feedback.CancelAtPump(3);
    EXPECT_EQ(rig.Run(c.run), c.result);
    EXPECT_EQ(rig.feedback.LastText(), c.message);
    EXPECT_EQ(rig.feedback.TotalPumps(), 3u);  // the loop stopped at the cell that saw the flag
    EXPECT_FALSE(fs::exists(rig.settings.ProgramFilePath));
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
  const auto texts = rig.feedback.Texts();
  EXPECT_TRUE(Contains(texts, kTimeoutMessage));
  EXPECT_TRUE(Contains(texts, kHardwareTimerMessage));
  EXPECT_FALSE(Contains(texts, "Keine Fehler beim Prüfen"));
}

TEST(EndToEndFailures, EraseTimeZeroIsRefusedSilentlyAndOneSkipsThePulse) {
  SimRig eprom(LibraryDevice("87C51"));
  EXPECT_EQ(eprom.Run(EraseDevice), 7);
  EXPECT_TRUE(eprom.feedback.messages.empty());
  EXPECT_EQ(eprom.link.WriteCount(), 0u);

  DeviceRecord quick = LibraryDevice("AT89C51");
  quick.EraseTime = 1;
  SimRig flash(quick);
  std::fill(flash.chip->Memory().begin(), flash.chip->Memory().end(), 0x00);
  EXPECT_EQ(flash.Run(EraseDevice), 0);
  EXPECT_EQ(flash.feedback.LastText(), "Baustein ist gelöscht !");
  EXPECT_EQ(flash.chip->EraseCount(), 0u);
  EXPECT_EQ(flash.chip->Memory()[0], 0x00);
  flash.ExpectNoElectricalFault();
}

TEST(EndToEndFailures, EpromCannotTakeBackProgrammedBits) {
  SimRig rig(LibraryDevice("87C51"));
  rig.settings.Verify = 0;
  rig.LoadImage({0x0F, 0x33});
  EXPECT_EQ(rig.Run(RunProgramSequence), 0);
  rig.settings.Verify = 1;
  rig.LoadImage({0xF0, 0x33});
  rig.feedback.QueueAnswer(kOk);
  rig.feedback.QueueAnswer(kRetry);
  EXPECT_EQ(rig.Run(RunProgramSequence), 6);
  EXPECT_EQ(rig.feedback.LastText(), "Fehler an Adresse 0 (0x0) !\nRichtig: 0xF0\nGelesen: 0x00\n");
  EXPECT_EQ(rig.chip->Memory()[0], 0x00);
  EXPECT_TRUE(rig.board.Violations().empty());
}

TEST(EndToEndFailures, CancelledReadLeavesAnExistingFileUntouched) {
  SimRig rig(LibraryDevice("AT89C2051"));
  rig.settings.ProgramFilePath = TempDirectory("keep") + "keep.hex";
  rig.settings.DataFormat = 2;
  { std::ofstream(rig.settings.ProgramFilePath, std::ios::binary) << ":00000001FF\r\n"; }
  rig.feedback.CancelAtPump(2);
  EXPECT_EQ(rig.Run(ReadDevice), 4);
  EXPECT_EQ(rig.feedback.LastText(), "Auslesen abgebrochen !");
  EXPECT_EQ(ReadWholeFile(rig.settings.ProgramFilePath), ":00000001FF\r\n");
  rig.ExpectNoElectricalFault();
}

TEST(EndToEndFailures, ErasedChipSavedAsBinary) {
  SimRig rig(LibraryDevice("AT89C1051"));
  rig.settings.ProgramFilePath = TempDirectory("erased") + "erased.bin";
  rig.settings.DataFormat = 1;
  rig.settings.FFSave = 0;
  fs::remove(rig.settings.ProgramFilePath);
  EXPECT_EQ(rig.Run(ReadDevice), 4);
  EXPECT_NE(rig.feedback.LastText(), "\nProzessor-Programm gespeichert \n");
  EXPECT_EQ(rig.feedback.messages.size(), 2u);  // the prompt and the writer's message
  // Nothing to write: no data may appear under that name.
  EXPECT_EQ(ReadWholeFile(rig.settings.ProgramFilePath).size(), 0u);

  rig.settings.FFSave = 1;
  EXPECT_EQ(rig.Run(ReadDevice), 0);
  EXPECT_EQ(ReadWholeFile(rig.settings.ProgramFilePath), std::string(1024, '\xFF'));
  rig.ExpectNoElectricalFault();
}

}  // namespace
}  // namespace tav
