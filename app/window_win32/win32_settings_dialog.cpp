// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_settings_dialog.h"

#include "app/window_win32/resource_ids.h"
#include "app/window_win32/win32_text.h"
#include "settings/native_path.h"
#include "settings/settings_dialog.h"

namespace tav::win32 {

namespace {

struct DialogState {
  Settings& settings;
  const std::function<void(HWND)>& shown;
};

int FieldId(SettingsField field) {
  switch (field) {
    case SettingsField::PortAdress: return IDC_PORT;
    case SettingsField::TimeOut: return IDC_TIMEOUT;
    case SettingsField::TimeBaseKorr: return IDC_KORREKTUR;
    case SettingsField::HexLineLen: return IDC_HEX_LINE;
    case SettingsField::MessageBeap: return IDC_BEEP;
  }
  return IDC_PORT;
}

void Fill(HWND dialog, const SettingsDialogFields& fields) {
  const HWND port = GetDlgItem(dialog, IDC_PORT);
  for (const char* entry : kPortListEntries) SendMessageW(port, CB_ADDSTRING, 0, LPARAM(WidePath(entry).c_str()));
  if (fields.PortEntry >= 0) SendMessageW(port, CB_SETCURSEL, WPARAM(fields.PortEntry), 0);
  else SetWindowTextW(port, WidePath(fields.PortText).c_str());
  SetDlgItemTextW(dialog, IDC_TIMEOUT, WidePath(fields.TimeOutText).c_str());
  SetDlgItemTextW(dialog, IDC_KORREKTUR, WidePath(fields.KorrekturText).c_str());
  SetDlgItemTextW(dialog, IDC_HEX_LINE, WidePath(fields.HexLineLenText).c_str());
  CheckDlgButton(dialog, IDC_BEEP, fields.Beep ? BST_CHECKED : BST_UNCHECKED);
}

SettingsDialogFields Typed(HWND dialog) {
  SettingsDialogFields fields;
  fields.PortText = ControlText(dialog, IDC_PORT);
  fields.PortEntry = int(SendDlgItemMessageW(dialog, IDC_PORT, CB_GETCURSEL, 0, 0));
  fields.TimeOutText = ControlText(dialog, IDC_TIMEOUT);
  fields.KorrekturText = ControlText(dialog, IDC_KORREKTUR);
  fields.HexLineLenText = ControlText(dialog, IDC_HEX_LINE);
  fields.Beep = IsDlgButtonChecked(dialog, IDC_BEEP) == BST_CHECKED;
  return fields;
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<DialogState*>(lParam);
      Fill(dialog, FillSettingsDialog(state->settings));
      if (state->shown) state->shown(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const std::optional<SettingsDialogRefusal> refusal = ConfirmSettingsDialog(Typed(dialog), state->settings);
        if (refusal) {
          MessageBoxW(dialog, WidePath(refusal->Message).c_str(), L"Einstellungen", MB_OK | MB_ICONWARNING);
          const HWND field = GetDlgItem(dialog, FieldId(refusal->Field));
          SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(field), TRUE);
          SendMessageW(field, EM_SETSEL, 0, -1);
          return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunSettingsDialog(HINSTANCE instance, HWND owner, Settings& settings, const std::function<void(HWND)>& shown) {
  DialogState state{settings, shown};
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner, SettingsProc, LPARAM(&state)) == IDOK;
}

}  // namespace tav::win32
