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

// The boxes as one text: per box a letter (Verify, IDCheck, FFSave,
// TestChecksum, Lock1..3) when checked, '-' when not, '/' after each box
// that is disabled.
std::string Boxes(const CheckBoxStates& boxes) {
  std::string text;
  for (const CheckBoxState& box : boxes)
    text += std::string(1, box.Checked ? "BILC123"[int(box.Box)] : '-') + (box.Enabled ? "" : "/");
  return text;
}

// Each click toggles its own setting; a higher lock bit brings and holds the
// lower ones. A box the device (or a running command) disables keeps its
// mark and takes no click.
TEST(CheckBoxes, ClicksFollowTheLockCascadeAndTheDevice) {
  using enum CheckBox;
  // Erase and lock boxes enabled as for 3, 2, 1 and no lock bits.
  const DeviceControls all{true, true, true, true}, two{true, true, true}, one{true, true}, none{true};
  Settings settings;  // Verify, IDCheck and TestChecksum on, FFSave off
  EXPECT_EQ(Boxes(CheckBoxesFor(settings, all)), "BI-C---");
  // (box clicked, device, boxes afterwards, input enabled)
  const struct { CheckBox box; const DeviceControls& device; const char* boxes; bool input = true; } steps[] = {
      {Verify, all, "-I-C---"}, {IDCheck, all, "---C---"}, {FFSave, all, "--LC---"}, {TestChecksum, all, "--L----"},
      {IDCheck, all, "-IL----"}, {Lock3, all, "-IL-123"},  {Lock1, all, "-IL-123"},  // held under Lock3
      {Lock2, all, "-IL-123"},   {Lock3, all, "-IL-12-"},                              // lower ones stay
      {Lock1, all, "-IL-12-"},                                                         // held under Lock2
      {Lock2, all, "-IL-1--"},   {Lock1, all, "-IL----"},  {Lock2, all, "-IL-12-"},  // brings Lock1
      {Lock3, none, "-IL-1/2/-/"}, {Lock3, two, "-IL-12-/"}, {Lock2, two, "-IL-1--/"}, {Lock2, one, "-IL-1-/-/"},
      {Verify, all, "-/I/L/-/1/-/-/", false},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.boxes);
    EXPECT_EQ(Boxes(ClickCheckBox(step.box, settings, step.device, step.input)), step.boxes);
  }
  // A settings file may hold Lock3 without Lock1: Lock2 is held by Lock3
  // and, being held rather than set, brings nothing.
  settings.Lock1 = 0;
  settings.Lock3 = 1;
  EXPECT_EQ(Boxes(ClickCheckBox(Lock2, settings, all)), "-IL--23");
}

// directory|name|extension|filters, preselected position and flags
std::string Shown(const FileDialogSetup& s) {
  return s.InitialDirectory + "|" + s.InitialName + "|" + s.DefaultExtension + "|" + std::to_string(s.Filters.size()) +
         " " + std::to_string(s.Preselected) + (s.ConfirmOverwrite ? " overwrite" : "") +
         (s.ExistingOnly ? " existing" : "");
}

TEST(FileDialogs, SetupsFollowTheSettingsAndOpeningStoresTheChoice) {
  Settings settings;
  settings.DataDirectory = "/daten/";
  settings.ProgramFileName = "prog.v2.hex";
  settings.DataFormat = 3;  // Intel32
  settings.ReadFilter = 5;
  EXPECT_EQ(Shown(SaveDialogSetup(settings)), "/daten/|prog.v2|hex|10 4 overwrite");
  EXPECT_EQ(Shown(OpenDialogSetup(settings)), "/daten/|||5 5 existing");
  EXPECT_EQ(FilterString({OpenDialogSetup(settings).Filters[3]}), "*.IHX SDCC Intel Hex|*.ihx||");
  settings.DataFormat = 9;
  settings.ReadFilter = 6;  // beyond the list
  EXPECT_EQ(SaveDialogSetup(settings).Preselected, 10);
  EXPECT_EQ(OpenDialogSetup(settings).Preselected, 1);
  // Opening stores the filter and the file as chosen; how the file is read
  // is decided when it is read: DataFormat stays.
  ApplyOpenDialog(settings, "/home/b/SDCC/blink.IHX", 4);
  EXPECT_EQ(std::to_string(settings.ReadFilter) + std::to_string(settings.DataFormat) + settings.ProgramFilePath,
            "49/home/b/SDCC/blink.IHX");
  ApplyOpenDialog(settings, "/x/y.bin", 0);
  EXPECT_EQ(settings.ReadFilter, 1);
}

// Every name is typed in a folder with a dot in its name, which is no
// extension.
TEST(FileDialogs, SavingFitsTheExtensionToTheChosenFormat) {
  const struct { const char* typed; int position; const char* written; } cases[] = {  // format and file
      {"prog.dat", 1, "1 prog.dat"}, {"prog", 1, "1 prog"},          // all files: BIN under the typed name
      {"prog.bin", 0, "1 prog.bin"}, {"prog.bin", 11, "1 prog.bin"},  // outside the list: as all files
      {"PROG.HEX", 3, "2 PROG.HEX"}, {"prog.Bin", 2, "1 prog.Bin"},  // a fitting extension stays as typed
      {"prog.bin", 3, "2 prog.hex"}, {"prog.hex", 2, "1 prog.bin"}, {"prog.", 2, "1 prog.bin"}, {"prog", 4, "3 prog.hex"},
      {"prog", 10, "9 prog.hex"}, {"prog.v2.s19", 6, "5 prog.v2.hex"},
  };
  for (const auto& c : cases) {
    Settings settings;
    settings.DataFormat = 4;
    ApplySaveDialog(settings, std::string("/d/x.y/") + c.typed, c.position);
    EXPECT_EQ(std::to_string(settings.DataFormat) + " " + settings.ProgramFileName, c.written) << c.typed << c.position;
  }
}

}  // namespace
}  // namespace tav
