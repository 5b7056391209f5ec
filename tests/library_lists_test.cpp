// The manufacturer and device lists and the controls that follow the
// selected device: placeholders, index corrections, selection changes, and
// the enable rules of the erase button and the lock boxes.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/scripted_feedback.h"
#include "library/device_library.h"
#include "library/device_selection.h"
#include "settings/settings.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// A valid 40-pin device line with the given name, lock-bit count and erase time.
std::string Device(const std::string& name, int lockBits = 3, int eraseMicro = 10000,
                   const std::string& package = "DIP40") {
  return name + ";" + package + ";12000;5000;2000;1;1;" + std::to_string(eraseMicro) +
         ";0;0;0x1E;0x51;0xFF;0;0;0;n;4096;" + std::to_string(lockBits) + ";0;;;n;y\n";
}

std::string Group(const std::string& manufacturer, int count) {
  std::string text = ":" + manufacturer + ";y\n";
  for (int i = 0; i < count; ++i) text += Device(manufacturer + "-" + std::to_string(i));
  return text;
}

std::vector<std::string> Texts(const SelectionList& list) {
  std::vector<std::string> out;
  for (const SelectionEntry& e : list.Entries) out.push_back(e.Text);
  return out;
}

class LibraryListsTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.Valid());
    settings.SettingsFilePath = (dir_ / "QUENVALD.INI").string();
  }
  void WriteLibrary(const std::string& bytes) {
    std::ofstream out(dir_ / "8789LIST.CSV", std::ios::binary);
    out << bytes;
  }
  // The start-up order of the main window.
  void StartUp() {
    if (FillManufacturerList(library, manufacturers) == 0) FillDeviceList(library, devices);
    library.LoadSelectedDevice();
    controls = UpdateDeviceControls(devices, controls);
  }

  int beep = 0;
  Settings settings;
  DeviceRecord device;
  ScriptedFeedback feedback{beep};
  DeviceLibrary library{settings, device, feedback};
  SelectionList manufacturers, devices;
  DeviceControls controls;
  test::ScratchDirectory scratch_{"tav_lists"};
  const fs::path& dir_ = scratch_.Path();
};

TEST_F(LibraryListsTest, StoredPositionsBeyondTheListsBecomeZero) {
  WriteLibrary(Group("Alpha", 2) + Group("Beta", 1));
  settings.ManufIndex = 5;
  settings.DeviceIndex = 7;
  StartUp();
  EXPECT_EQ(Texts(manufacturers), (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(manufacturers.Selected, 0);
  EXPECT_EQ(settings.ManufIndex, 0);
  EXPECT_EQ(Texts(devices), (std::vector<std::string>{"Alpha-0", "Alpha-1"}));
  EXPECT_EQ(devices.Selected, 0);
  EXPECT_EQ(settings.DeviceIndex, 0);
  EXPECT_EQ(device.DeviceName, "Alpha-0");
  EXPECT_TRUE(feedback.messages.empty());

  settings.ManufIndex = 1;
  SelectionList again;
  ASSERT_EQ(FillManufacturerList(library, again), 0);
  EXPECT_EQ(again.Selected, 1);
  EXPECT_EQ(settings.ManufIndex, 1);
}

TEST_F(LibraryListsTest, ManufacturerChangeKeepsTheDevicePositionWhenItExists) {
  WriteLibrary(Group("Ten", 10) + Group("Three", 3) + Group("Eight", 8));
  settings.DeviceIndex = 4;
  StartUp();
  EXPECT_EQ(devices.Selected, 4);
  EXPECT_EQ(device.DeviceName, "Ten-4");

  EXPECT_EQ(OnManufacturerChanged(library, 1, devices), 0);
  EXPECT_EQ(settings.ManufIndex, 1);
  EXPECT_EQ(devices.Entries.size(), 3u);
  EXPECT_EQ(devices.Selected, 0);
  EXPECT_EQ(settings.DeviceIndex, 0);

  settings.DeviceIndex = 4;  // as if the fifth had stayed selected
  EXPECT_EQ(OnManufacturerChanged(library, 2, devices), 0);
  EXPECT_EQ(devices.Entries.size(), 8u);
  EXPECT_EQ(devices.Selected, 4);
  EXPECT_EQ(devices.Entries[4].Text, "Eight-4");

  EXPECT_EQ(OnDeviceChanged(library, 6, devices), 0);
  EXPECT_EQ(settings.DeviceIndex, 6);
  EXPECT_EQ(device.DeviceName, "Eight-6");
}

TEST_F(LibraryListsTest, ControlsFollowTheSelectedDevice) {
  // The last device of the group is erasable, the selected first one is not:
  // the erase button must follow the selection, not the last line parsed.
  WriteLibrary(":Mixed;y\n" + Device("Eprom", 2, 0) + Device("Flash", 1, 10000) + Group("Other", 1));
  StartUp();
  EXPECT_EQ(device.DeviceName, "Eprom");
  EXPECT_FALSE(controls.EraseEnabled);
  EXPECT_TRUE(controls.Lock1Enabled);
  EXPECT_TRUE(controls.Lock2Enabled);
  EXPECT_FALSE(controls.Lock3Enabled);

  OnDeviceChanged(library, 1, devices);
  controls = UpdateDeviceControls(devices, controls);
  EXPECT_TRUE(controls.EraseEnabled);
  EXPECT_TRUE(controls.Lock1Enabled);
  EXPECT_FALSE(controls.Lock2Enabled);

  // Over to a manufacturer with one device and back: the position falls to
  // 0 and the non-erasable first device disables the button again, although
  // the erasable "Flash" was the last line parsed while filling.
  OnManufacturerChanged(library, 1, devices);
  controls = UpdateDeviceControls(devices, controls);
  EXPECT_EQ(settings.DeviceIndex, 0);
  EXPECT_TRUE(controls.EraseEnabled);
  OnManufacturerChanged(library, 0, devices);
  controls = UpdateDeviceControls(devices, controls);
  EXPECT_EQ(devices.Selected, 0);
  EXPECT_EQ(device.DeviceName, "Flash");
  EXPECT_FALSE(controls.EraseEnabled);
  EXPECT_TRUE(controls.Lock2Enabled);
}

TEST_F(LibraryListsTest, LockBoxRulesForEveryCount) {
  SelectionList list;
  list.Entries.resize(1);
  list.Selected = 0;
  const DeviceControls allOn{true, true, true, true};
  const bool expected[4][3] = {{false, false, false}, {true, false, false}, {true, true, false}, {true, true, true}};
  for (int n = 0; n <= 3; ++n) {
    list.Entries[0].LockBitCount = static_cast<uint8_t>(n);
    const DeviceControls c = UpdateDeviceControls(list, allOn);
    EXPECT_EQ(c.Lock1Enabled, expected[n][0]) << n;
    EXPECT_EQ(c.Lock2Enabled, expected[n][1]) << n;
    EXPECT_EQ(c.Lock3Enabled, expected[n][2]) << n;
  }
  list.Entries[0].LockBitCount = 7;  // any other count leaves the boxes alone
  const DeviceControls mixed{false, true, false, true};
  const DeviceControls kept = UpdateDeviceControls(list, mixed);
  EXPECT_TRUE(kept.Lock1Enabled);
  EXPECT_FALSE(kept.Lock2Enabled);
  EXPECT_TRUE(kept.Lock3Enabled);
}

TEST_F(LibraryListsTest, EmptyGroupShowsThePlaceholderAndDisablesEverything) {
  WriteLibrary(":Empty;y\n# nothing here\nOff;n\n" + Group("Full", 2));
  controls = DeviceControls{true, true, true, true};
  EXPECT_EQ(FillManufacturerList(library, manufacturers), 0);
  EXPECT_EQ(FillDeviceList(library, devices), 15);
  EXPECT_EQ(Texts(devices), std::vector<std::string>{"Keine Bausteine"});
  EXPECT_EQ(devices.Entries[0].LockBitCount, 0);
  EXPECT_EQ(devices.Selected, 0);
  controls = UpdateDeviceControls(devices, controls);
  EXPECT_FALSE(controls.EraseEnabled);
  EXPECT_FALSE(controls.Lock1Enabled);
  EXPECT_FALSE(controls.Lock2Enabled);
  EXPECT_FALSE(controls.Lock3Enabled);

  // Choosing the placeholder: LoadSelectedDevice says why there is no device.
  EXPECT_EQ(OnDeviceChanged(library, 0, devices), 13);
  EXPECT_EQ(feedback.LastText(), "Keine Bausteine für diesen\n\n Hersteller in der Liste !");

  // A refill clears the list first.
  EXPECT_EQ(OnManufacturerChanged(library, 1, devices), 0);
  EXPECT_EQ(Texts(devices), (std::vector<std::string>{"Full-0", "Full-1"}));
}

TEST_F(LibraryListsTest, MissingLibraryListsOnlyPlaceholders) {
  StartUp();
  EXPECT_EQ(Texts(manufacturers), std::vector<std::string>{"Keine Hersteller"});
  EXPECT_TRUE(devices.Entries.empty());  // not filled after a failed manufacturer list
  EXPECT_EQ(feedback.Texts(), (std::vector<std::string>{"Kann Bauteilbibliothek nicht öffnen !",
                                                        "Kann Bauteilbibliothek nicht öffnen !"}));
  feedback.Clear();
  EXPECT_EQ(OnManufacturerChanged(library, 0, devices), 15);
  EXPECT_EQ(Texts(devices), std::vector<std::string>{"Keine Bausteine"});
  EXPECT_EQ(feedback.Texts(), std::vector<std::string>{"Kann Bauteilbibliothek nicht öffnen !"});
}

TEST_F(LibraryListsTest, LinesThatFailToParseAreLeftOutWithoutShiftingTheSelection) {
  std::string badSize = Device("BadSize");
  badSize.replace(badSize.find(";4096;"), 6, ";0;");
  const std::string shortLine = "Short;DIP40;12000;y\n";
  WriteLibrary(":Alpha;y\n" + Device("A") + badSize + shortLine + Device("B") + Device("C"));
  settings.DeviceIndex = 1;  // names the bad line: the first entry is selected instead
  StartUp();
  EXPECT_EQ(Texts(devices), (std::vector<std::string>{"A", "B", "C"}));
  ASSERT_EQ(feedback.messages.size(), 1u);  // the size message, once, while filling
  EXPECT_NE(feedback.messages[0].text.find("BadSize\n\nBausteingröße ist 0 !!"), std::string::npos);
  EXPECT_EQ(devices.Selected, 0);
  EXPECT_EQ(device.DeviceName, "A");

  // Picking list entry 1 ("B") must load B, although two active lines that
  // did not make it into the list lie between A and B.
  feedback.Clear();
  EXPECT_EQ(OnDeviceChanged(library, 1, devices), 0);
  EXPECT_EQ(device.DeviceName, "B");
  EXPECT_EQ(OnDeviceChanged(library, 2, devices), 0);
  EXPECT_EQ(device.DeviceName, "C");
  EXPECT_TRUE(feedback.messages.empty());

  // The stored index survives a refill and selects the same entry.
  FillDeviceList(library, devices);
  EXPECT_EQ(devices.Selected, 2);
}

}  // namespace
}  // namespace tav
