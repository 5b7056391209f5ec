// SPDX-License-Identifier: GPL-2.0-or-later
// Dialog layouts are drawn in dialog units so that a window keeps its
// proportions whatever font the desktop renders: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth
// of its character height. Every window and dialog converts through here.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tav::window {

class DialogUnits {
public:
  // Base units in pixels: the average character width and the character height.
  DialogUnits(int baseWidth, int baseHeight);

  // Measures the font as the dialog's base units.
  static DialogUnits FromFont(const QFont& font);
  // The 8-point sans-serif font every dialog is laid out in.
  static QFont DialogFont();

  int X(int units) const;
  int Y(int units) const;
  QSize Size(int width, int height) const;
  QRect Rect(int x, int y, int width, int height) const;

  int BaseWidth() const { return baseWidth_; }
  int BaseHeight() const { return baseHeight_; }

private:
  int baseWidth_;
  int baseHeight_;
};

}  // namespace tav::window
