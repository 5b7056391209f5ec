// SPDX-License-Identifier: GPL-2.0-or-later
// The marker window of a running command: a small frameless window with the
// busy picture that sits over the main window's logo. Its title is the
// marker that the busy check looks for.
#pragma once

#include <QPoint>
#include <QWidget>

namespace tav::window {

class BusyIndicator : public QWidget {
  Q_OBJECT

public:
  // The title the busy check looks up.
  static QString MarkerTitle();
  // `clientCorner` is (X-Koord, Y-Koord): the main window's client-area
  // corner. The indicator goes over the logo: 311, 102 pixels further at
  // the classic base units. With a `parent` it is a tool window owned by it.
  explicit BusyIndicator(QPoint clientCorner, QWidget* parent = nullptr);
};

}  // namespace tav::window
