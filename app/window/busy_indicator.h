// The marker window of a running command: a small frameless window with the
// busy picture that sits over the main window's logo. Its title is the
// marker that the busy check looks for.
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>

#include "operations/command_frame.h"

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

// The window's marker of a running command: the machine-wide marker of
// every copy of the program, and while it is held the busy indicator on the
// screen, so that the indicator exists exactly as long as the marker.
class IndicatedBusyMarker : public BusyMarker {
public:
  // `clientCorner` gives (X-Koord, Y-Koord) when the indicator appears.
  // `owner` (the main window) keeps the indicator above itself under any
  // window manager: a tool window it owns is never stacked below it.
  IndicatedBusyMarker(BusyMarker& machine, std::function<QPoint()> clientCorner, QWidget* owner = nullptr)
      : machine_(machine), clientCorner_(std::move(clientCorner)), owner_(owner) {}

  // Busy also while this window's own command holds the marker.
  int IsBusy() override;
  int Acquire() override;
  void Release() override;
  bool Held() const { return indicator_ != nullptr; }

private:
  BusyMarker& machine_;
  std::function<QPoint()> clientCorner_;
  QWidget* owner_;
  std::unique_ptr<BusyIndicator> indicator_;
};

}  // namespace tav::window
