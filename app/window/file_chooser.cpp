// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/file_chooser.h"

#include <QFileDialog>

namespace tav::window {

namespace {

// "*.HEX Intel8 (*.hex)": the toolkit reads the pattern from the brackets
// and shows only the text. "*.*" lists every file, as it does on Windows,
// also those without an extension.
QString NameFilter(const FileFilter& filter) {
  const QString pattern = QString::fromLatin1(filter.Pattern);
  return QString::fromUtf8(filter.Text) + QStringLiteral(" (") +
         (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern) + QStringLiteral(")");
}

}  // namespace

bool DialogFileChooser::Choose(const FileDialogSetup& setup, FileChoice& choice) {
  QFileDialog dialog(parent_);
  QStringList filters;
  for (const FileFilter& filter : setup.Filters) filters << NameFilter(filter);
  dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (setup.Preselected >= 1 && setup.Preselected <= filters.size()) dialog.selectNameFilter(filters[setup.Preselected - 1]);
  dialog.setDirectory(QString::fromStdString(setup.InitialDirectory));
  if (setup.ExistingOnly) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QString::fromStdString(setup.DefaultExtension));
    if (!setup.InitialName.empty()) dialog.selectFile(QString::fromStdString(setup.InitialName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  choice.path = dialog.selectedFiles().first().toStdString();
  choice.position = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (choice.position < 1) choice.position = 1;
  return true;
}

}  // namespace tav::window
