// SPDX-License-Identifier: GPL-2.0-or-later
// The file dialogs of the window behind an interface, so that tests can
// answer them: a chooser shows a dialog as its setup describes and reports
// the confirmed path and filter position.
#pragma once

#include <string>

#include "app/window_model/file_dialogs.h"
#include "app/window_model/window_view.h"

class QWidget;

namespace tav::window {

using FileChoice = ::tav::FileChoice;

class FileChooser {
public:
  virtual ~FileChooser() = default;
  // True and `choice` filled when the dialog was confirmed with OK.
  virtual bool Choose(const FileDialogSetup& setup, FileChoice& choice) = 0;
};

// The toolkit's open and save dialogs. A save dialog does not ask about an
// existing file itself: the extension rules may still change the name, so
// the window asks about the name that will really be written.
class DialogFileChooser : public FileChooser {
public:
  explicit DialogFileChooser(QWidget* parent) : parent_(parent) {}
  bool Choose(const FileDialogSetup& setup, FileChoice& choice) override;

private:
  QWidget* parent_;
};

}  // namespace tav::window
