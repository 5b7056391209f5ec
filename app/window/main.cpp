// tavrolith: the window front end. Until the shared session is wired in, the
// window stands alone: its buttons report clicks, "Prefs" opens the settings
// dialog on the values it last confirmed, and nothing reaches a board.
//
// Hidden option for the documentation and for checking the layout:
//   --screenshot FILE [--busy | --settings]
//       show the window (with the busy indicator, or with the settings
//       dialog beside it), save a picture of the screen area, quit.
#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include "app/window/busy_indicator.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/window_feedback.h"

namespace {

struct Options {
  QString screenshot;
  bool busy = false;
  bool settings = false;
};

Options ParseOptions(const QStringList& arguments) {
  Options options;
  for (int i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
      options.screenshot = arguments[++i];
    } else if (arguments[i] == QLatin1String("--busy")) {
      options.busy = true;
    } else if (arguments[i] == QLatin1String("--settings")) {
      options.settings = true;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));
  const Options options = ParseOptions(QApplication::arguments());

  using namespace tav::window;
  MainWindow window;
  int messageBeep = 1;
  WindowFeedback feedback(messageBeep, window);

  SettingsDialogValues settings{"0x378", 1000000, 100, 16, 1};
  QObject::connect(&window, &MainWindow::ButtonClicked, &window, [&](int id) {
    if (id != kPrefsButton) return;
    SettingsDialog dialog(LocalFieldCheck, &window);
    dialog.SetValues(settings);
    if (dialog.exec() == QDialog::Accepted) {
      settings = dialog.Values();
      messageBeep = settings.beep;
    }
  });

  window.move(10, 10);
  if (options.screenshot.isEmpty()) return window.exec();

  window.show();
  std::unique_ptr<BusyIndicator> busy;
  if (options.busy) {
    busy = std::make_unique<BusyIndicator>(window.mapToGlobal(QPoint(0, 0)));
    busy->show();
  }
  std::unique_ptr<SettingsDialog> dialog;
  if (options.settings) {
    dialog = std::make_unique<SettingsDialog>(LocalFieldCheck);
    dialog->SetValues(settings);
    dialog->move(window.frameGeometry().bottomLeft() + QPoint(0, 10));
    dialog->show();
  }
  int status = 1;
  QTimer::singleShot(1000, &app, [&] {
    QRect area = window.frameGeometry();
    if (dialog) area = area.united(dialog->frameGeometry());
    area.adjust(-10, -10, 10, 10);
    const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    status = shot.save(options.screenshot) ? 0 : 1;
    app.quit();
  });
  app.exec();
  return status;
}
