// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/dialog_units.h"

#include <QFontMetrics>

namespace tav::window {

namespace {
// Multiply, then divide with the remainder rounded half away from zero, so
// that a unit count converts to the nearest pixel.
int ScaleRounded(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}
}  // namespace

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : baseWidth_(baseWidth > 0 ? baseWidth : 1), baseHeight_(baseHeight > 0 ? baseHeight : 1) {}

DialogUnits DialogUnits::FromFont(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average over both alphabets, rounded to the nearest pixel: a
  // proportional font's own "average width" field is often missing or off.
  const int alphabet = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits((alphabet / 26 + 1) / 2, metrics.height());
}

QFont DialogUnits::DialogFont() {
  QFont font(QStringLiteral("Sans Serif"), 8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

int DialogUnits::X(int units) const { return ScaleRounded(units, baseWidth_, 4); }
int DialogUnits::Y(int units) const { return ScaleRounded(units, baseHeight_, 8); }

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  // Both edges are converted, not the width, so that controls sharing an
  // edge in units share it in pixels too.
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

}  // namespace tav::window
