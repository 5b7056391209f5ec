// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/busy_indicator.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/window/dialog_units.h"
#include "app/window/main_window.h"

namespace tav::window {

namespace {
constexpr int kSizeUnits = 50;
}

QString BusyIndicator::MarkerTitle() { return QStringLiteral("Quenvaldokraft"); }

BusyIndicator::BusyIndicator(QPoint clientCorner, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setWindowTitle(MarkerTitle());
  setObjectName(QStringLiteral("BusyIndicator"));
  // It must never take the focus or a click away from "Abbrechen".
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(DialogUnits::DialogFont());
  const DialogUnits units = DialogUnits::FromFont(font());
  setFixedSize(units.Size(kSizeUnits, kSizeUnits));

  // A raised frame stands in for the dialog frame, the sunken picture frame
  // for the bordered picture control.
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* outer = new QLabel(this);
  outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
  outer->setLineWidth(2);
  layout->addWidget(outer);
  auto* inner = new QHBoxLayout(outer);
  inner->setContentsMargins(3, 3, 3, 3);
  auto* picture = new QLabel(outer);
  picture->setObjectName(QStringLiteral("BusyPicture"));
  picture->setFrameStyle(QFrame::Box | QFrame::Plain);
  picture->setAlignment(Qt::AlignCenter);
  picture->setPixmap(QPixmap(QStringLiteral(":/art/busy.png")));
  inner->addWidget(picture);

  move(clientCorner + MainWindow::LogoOffset(units));
}

}  // namespace tav::window
