// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_win32/win32_file_dialog.h"

#include <commdlg.h>

#include "settings/native_path.h"

namespace tav::win32 {

std::wstring CommonDialogFilter(const std::vector<FileFilter>& filters) {
  std::wstring text;
  for (const FileFilter& filter : filters) {
    text += WidePath(filter.Text) + L'\0' + WidePath(filter.Pattern) + L'\0';
  }
  return text + L'\0';
}

bool ChooseFileWithCommonDialog(HWND owner, const FileDialogSetup& setup, FileChoice& choice) {
  const std::wstring filter = CommonDialogFilter(setup.Filters);
  const std::wstring directory = WidePath(setup.InitialDirectory);
  const std::wstring extension = WidePath(setup.DefaultExtension);
  std::wstring name(32768, L'\0');
  const std::wstring initial = WidePath(setup.InitialName);
  initial.copy(name.data(), std::min(initial.size(), name.size() - 1));

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = DWORD(setup.Preselected);
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = DWORD(name.size());
  dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // The behaviour asks before replacing a file: the extension rules may
  // still change the name the dialog returns.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  if (setup.ExistingOnly) dialog.Flags |= OFN_FILEMUSTEXIST;
  const BOOL confirmed = setup.ExistingOnly ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
  if (!confirmed) return false;
  choice.path = Utf8FromWide(dialog.lpstrFile);
  choice.position = int(dialog.nFilterIndex);
  return true;
}

}  // namespace tav::win32
