// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_model/check_boxes.h"

namespace tav {

CheckBoxStates CheckBoxesFor(const Settings& settings, const DeviceControls& device, bool inputEnabled) {
  return {{
      {CheckBox::Verify, "Baustein prüfen", settings.Verify != 0, inputEnabled},
      {CheckBox::IDCheck, "ID prüfen", settings.IDCheck != 0, inputEnabled},
      {CheckBox::FFSave, "Leerzellen speichern", settings.FFSave != 0, inputEnabled},
      {CheckBox::TestChecksum, "Checksummen prüfen", settings.TestChecksum != 0, inputEnabled},
      {CheckBox::Lock1, "Lock1", settings.Lock1 != 0, inputEnabled && device.Lock1Enabled},
      {CheckBox::Lock2, "Lock2", settings.Lock2 != 0, inputEnabled && device.Lock2Enabled},
      {CheckBox::Lock3, "Lock3", settings.Lock3 != 0, inputEnabled && device.Lock3Enabled},
  }};
}

CheckBoxStates ClickCheckBox(CheckBox box, Settings& settings, const DeviceControls& device, bool inputEnabled) {
  const CheckBoxStates before = CheckBoxesFor(settings, device, inputEnabled);
  const CheckBoxState& clicked = before[static_cast<size_t>(box)];
  if (!clicked.Enabled) return before;
  const int state = clicked.Checked ? 0 : 1;
  switch (box) {
    case CheckBox::Verify: settings.Verify = state; break;
    case CheckBox::IDCheck: settings.IDCheck = static_cast<uint8_t>(state); break;
    case CheckBox::FFSave: settings.FFSave = state; break;
    case CheckBox::TestChecksum: settings.TestChecksum = state; break;
    case CheckBox::Lock1:
      // Under a set Lock2 or Lock3 the box checks itself again.
      settings.Lock1 = settings.Lock2 == 1 || settings.Lock3 == 1 ? 1 : state;
      break;
    case CheckBox::Lock2:
      if (settings.Lock3 == 1) {
        settings.Lock2 = 1;
      } else {
        settings.Lock2 = state;
        if (state == 1) settings.Lock1 = 1;
      }
      break;
    case CheckBox::Lock3:
      // Clearing Lock3 leaves the lower bits set.
      settings.Lock3 = state;
      if (state == 1) settings.Lock2 = settings.Lock1 = 1;
      break;
  }
  return CheckBoxesFor(settings, device, inputEnabled);
}

}  // namespace tav
