// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's rules without a window: the check boxes with the lock
// cascade and their enabling by the selected device, and the two file
// dialogs with their filters and the save dialog's extension rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/window_model/check_boxes.h"
#include "app/window_model/file_dialogs.h"

namespace tav {
namespace {

// The boxes as one text: per box its caption's first letter (or lock digit)
// when checked, '-' when not, '/' after each box that is disabled.
std::string Boxes(const CheckBoxStates& boxes) {
  std::string text;
  for (const CheckBoxState& box : boxes) {
    const std::string caption = box.Caption;
    text += box.Checked ? caption.back() >= '1' && caption.back() <= '3' ? caption.back() : caption.front() : '-';
    if (!box.Enabled) text += '/';
  }
  return text;
}

// The controls UpdateDeviceControls gives for a device with `lockBits`.
DeviceControls DeviceWithLockBits(uint8_t lockBits) {
  SelectionList devices;
  devices.Entries.push_back(SelectionEntry{"AT89C51", lockBits, true, 0, false});
  devices.Selected = 0;
  return UpdateDeviceControls(devices, DeviceControls{});
}

TEST(CheckBoxes, EachClickTogglesItsOwnSettingAndHigherLockBitsBringAndHoldTheLowerOnes) {
  Settings settings;  // Verify, IDCheck and TestChecksum on, FFSave off
  const DeviceControls all = DeviceWithLockBits(3);
  EXPECT_EQ(Boxes(CheckBoxesFor(settings, all)), "BI-C---");
  // (box clicked, boxes afterwards)
  const std::pair<CheckBox, const char*> steps[] = {
      {CheckBox::Verify, "-I-C---"}, {CheckBox::IDCheck, "---C---"}, {CheckBox::FFSave, "--LC---"},
      {CheckBox::TestChecksum, "--L----"}, {CheckBox::IDCheck, "-IL----"},
      {CheckBox::Lock3, "-IL-123"}, {CheckBox::Lock1, "-IL-123"}, {CheckBox::Lock2, "-IL-123"},  // held under Lock3
      {CheckBox::Lock3, "-IL-12-"},                                                            // lower ones stay
      {CheckBox::Lock1, "-IL-12-"},                                                            // held under Lock2
      {CheckBox::Lock2, "-IL-1--"}, {CheckBox::Lock1, "-IL----"},
      {CheckBox::Lock2, "-IL-12-"},  // brings Lock1
      {CheckBox::Lock2, "-IL-1--"},
  };
  for (const auto& [box, boxes] : steps) EXPECT_EQ(Boxes(ClickCheckBox(box, settings, all)), boxes);
  EXPECT_EQ(std::vector<int>({settings.Verify, settings.IDCheck, settings.FFSave, settings.TestChecksum, settings.Lock1,
                              settings.Lock2, settings.Lock3}),
            std::vector<int>({0, 1, 1, 0, 1, 0, 0}));
  // A settings file may hold Lock3 without Lock1: Lock2 is held by Lock3
  // and, being held rather than set, brings nothing.
  settings.Lock1 = 0;
  settings.Lock2 = 0;
  settings.Lock3 = 1;
  EXPECT_EQ(Boxes(ClickCheckBox(CheckBox::Lock2, settings, all)).substr(4), "-23");
}

TEST(CheckBoxes, TheDeviceEnablesTheLockBoxesWithoutTouchingTheirSettings) {
  Settings settings;
  settings.Lock1 = settings.Lock2 = settings.Lock3 = 1;
  // A part without lock bits: the boxes keep their marks but take no click.
  const DeviceControls none = DeviceWithLockBits(0);
  EXPECT_EQ(Boxes(CheckBoxesFor(settings, none)), "BI-C1/2/3/");
  EXPECT_EQ(Boxes(ClickCheckBox(CheckBox::Lock3, settings, none)), "BI-C1/2/3/");
  EXPECT_EQ(settings.Lock3, 1);
  // Two lock bits: Lock3 stays disabled, the others work.
  const DeviceControls two = DeviceWithLockBits(2);
  settings.Lock3 = 0;
  EXPECT_EQ(Boxes(ClickCheckBox(CheckBox::Lock3, settings, two)), "BI-C12-/");
  EXPECT_EQ(Boxes(ClickCheckBox(CheckBox::Lock2, settings, two)), "BI-C1--/");
  EXPECT_EQ(Boxes(CheckBoxesFor(settings, DeviceWithLockBits(1))), "BI-C1-/-/");
  // During a command nothing takes a click.
  EXPECT_EQ(Boxes(ClickCheckBox(CheckBox::Verify, settings, two, false)), "B/I/-/C/1/-/-/");
  EXPECT_EQ(settings.Verify, 1);
}

TEST(FileDialogs, SetupsFollowTheSettings) {
  Settings settings;
  settings.DataDirectory = "/daten/";
  settings.ProgramFileName = "prog.v2.hex";
  settings.DataFormat = 3;
  settings.ReadFilter = 5;
  const FileDialogSetup save = SaveDialogSetup(settings);
  EXPECT_EQ(save.Filters.size(), kSaveFilters.size());
  EXPECT_EQ(save.Preselected, 4);  // Intel32
  EXPECT_EQ(save.InitialDirectory + save.InitialName + "." + save.DefaultExtension, "/daten/prog.v2.hex");
  EXPECT_TRUE(save.ConfirmOverwrite);
  const FileDialogSetup open = OpenDialogSetup(settings);
  EXPECT_EQ(open.Filters.size(), kOpenFilters.size());
  EXPECT_EQ(FilterString({open.Filters[3], open.Filters[4]}), "*.IHX SDCC Intel Hex|*.ihx|*.S19 SDCC Motorola Hex|*.s19||");
  EXPECT_EQ(open.Preselected, 5);
  EXPECT_EQ(open.InitialDirectory + open.InitialName + open.DefaultExtension, "/daten/");
  EXPECT_TRUE(open.ExistingOnly);
  settings.DataFormat = 9;
  settings.ReadFilter = 6;
  EXPECT_EQ(SaveDialogSetup(settings).Preselected, 10);
  EXPECT_EQ(OpenDialogSetup(settings).Preselected, 1);
}

TEST(FileDialogs, SavingFitsTheExtensionToTheChosenFormat) {
  struct Case {
    const char* typed;
    int position;
    const char* file;
    int32_t format;
  } const cases[] = {
      {"/d/x/prog.dat", 1, "prog.dat", 1},       // all files: BIN under the typed name
      {"/d/x/prog", 1, "prog", 1},
      {"/d/x/prog.bin", 3, "prog.hex", 2},       // Intel8 and a .bin name
      {"/d/x/PROG.HEX", 3, "PROG.HEX", 2},       // a fitting extension stays as typed
      {"/d/x/prog.Bin", 2, "prog.Bin", 1},
      {"/d/x/prog.hex", 2, "prog.bin", 1},
      {"/d/x/prog", 10, "prog.hex", 9},
      {"/d/x/prog.v2.s19", 6, "prog.v2.hex", 5},
      {"/d/x/prog.", 2, "prog.bin", 1},
      {"/d/x/prog.bin", 0, "prog.bin", 1},       // outside the list: as all files
      {"/d/x/prog.bin", 11, "prog.bin", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " " + std::to_string(c.position));
    Settings settings;
    settings.DataFormat = 4;
    ApplySaveDialog(settings, c.typed, c.position);
    EXPECT_EQ(settings.DataFormat, c.format);
    EXPECT_EQ(settings.ProgramFileName, c.file);
    EXPECT_EQ(settings.ProgramFilePath, std::string("/d/x/") + c.file);
    EXPECT_EQ(settings.DataDirectory, "/d/x/");
  }
  Settings settings;
  ApplySaveDialog(settings, "/d/x.y/prog", 4);  // a dot in the directory is no extension
  EXPECT_EQ(settings.ProgramFilePath, "/d/x.y/prog.hex");
}

TEST(FileDialogs, OpeningStoresTheFilterAndTheFileAsChosen) {
  Settings settings;
  settings.DataFormat = 5;
  ApplyOpenDialog(settings, "/home/b/SDCC/blink.IHX", 4);
  EXPECT_EQ(settings.ReadFilter, 4);  // the next start reads it back as 1
  EXPECT_EQ(settings.ProgramFilePath + "|" + settings.ProgramFileName + "|" + settings.DataDirectory,
            "/home/b/SDCC/blink.IHX|blink.IHX|/home/b/SDCC/");
  EXPECT_EQ(settings.DataFormat, 5);  // how the file is read is decided when it is read
  ApplyOpenDialog(settings, "/x/y.bin", 0);
  EXPECT_EQ(settings.ReadFilter, 1);
}

}  // namespace
}  // namespace tav
