#include "app/window/file_chooser.h"

#include <QDir>
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

// The dialog reports the chosen filter as its full text or, with the
// details hidden, only as the shown text, depending on the toolkit's
// version and the platform's dialog: both name the same position.
int FilterPosition(const FileDialogSetup& setup, const QStringList& filters, const QString& chosen) {
  for (qsizetype i = 0; i < filters.size(); ++i) {
    if (chosen == filters[i] || chosen.trimmed() == QString::fromUtf8(setup.Filters[size_t(i)].Text)) return int(i) + 1;
  }
  return 1;
}

}  // namespace

bool DialogFileChooser::Choose(const FileDialogSetup& setup, FileChoice& choice) {
  QFileDialog dialog(parent_);
  QStringList filters;
  for (const FileFilter& filter : setup.Filters) filters << NameFilter(filter);
  dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (setup.Preselected >= 1 && setup.Preselected <= filters.size()) dialog.selectNameFilter(filters[setup.Preselected - 1]);
  // No program file yet: the working directory, where the settings and the
  // library are, as the Windows dialogs do; not the toolkit's home folder.
  dialog.setDirectory(setup.InitialDirectory.empty() ? QDir::currentPath()
                                                     : QString::fromStdString(setup.InitialDirectory));
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
  choice.position = FilterPosition(setup, filters, dialog.selectedNameFilter());
  return true;
}

}  // namespace tav::window
