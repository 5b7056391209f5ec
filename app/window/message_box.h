// SPDX-License-Identifier: GPL-2.0-or-later
// The message boxes of the window, built in one place so that the feedback
// services and the dialogs show the same caption, icons and buttons.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

#include "base/feedback.h"

namespace tav::window {

// The program file's name without its extension ("tavrolith").
QString ProgramCaption();

// An application-modal box of the given kind: information icon with OK,
// Retry/Cancel or OK/Cancel, or no icon and only OK for the plain kind.
std::unique_ptr<QMessageBox> MakeMessageBox(MessageKind kind, const QString& text, QWidget* parent);

// Runs the box and translates the button pressed into the feedback answer
// numbering (kOk, kCancel, kRetry).
int RunMessageBox(QMessageBox& box);

}  // namespace tav::window
