// tavrolith: the window front end.
//
// Hidden option for the documentation and for checking the layout:
//   --screenshot FILE [--busy | --settings]
//       show the window after its start-up (with the busy indicator, or
//       with the settings dialog beside it), save a picture of the screen
//       area, quit.
#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/session/run_marker.h"
#include "app/version/version_info.h"
#include "app/window/busy_indicator.h"
#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/settings_dialog.h"
#include "app/window/toolkit_texts.h"
#include "app/window/window_feedback.h"
#include "app/window/window_options.h"
#include "app/window/window_session.h"
#include "settings/paths.h"

using namespace tav::window;

namespace {

int TakeScreenshot(QApplication& app, MainWindow& window, WindowSession& run, const WindowOptions& options) {
  window.show();
  std::unique_ptr<BusyIndicator> busy;
  if (options.busy) {
    busy = std::make_unique<BusyIndicator>(window.mapToGlobal(QPoint(0, 0)), &window);
    busy->show();
  }
  std::unique_ptr<SettingsDialog> dialog;
  if (options.settings) {
    dialog = std::make_unique<SettingsDialog>(nullptr);
    dialog->SetFields(tav::FillSettingsDialog(run.CurrentSession().CurrentSettings()));
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
    // Not quit(): that closes the window, whose close asks about the socket.
    QCoreApplication::exit(0);
  });
  app.exec();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Help, version and a misspelt option are answered before any display is
  // opened, so that they work on a console without one.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  WindowOptions options;
  QString error;
  if (!ParseWindowOptions(arguments, options, error)) {
    if (options.version) {
      tav::VersionInfo info;
      info.Open("tavrolith.exe");
      std::printf("tavrolith %s\n", tav::VersionText(info).c_str());
      return 0;
    }
    std::fprintf(options.help ? stdout : stderr, "%s\n", qPrintable(error));
    return options.help ? 0 : 2;
  }
  QApplication app(argc, argv);
  app.setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));
  UseGermanToolkitTexts(app);
  // The marker of a running command: the machine's for a real port, the
  // chip-state file's for a simulated board.
  tav::RunMarker runMarker = tav::MakeRunMarker(options.session, options.busyMarkerDirectory.toStdString());
  // Another copy is in the middle of a command: end without a word.
  if (runMarker.marker->IsBusy() != tav::kSuccess) return 0;

  MainWindow window;
  // The session binds the feedback to the loaded MessageBeap at once.
  const int beepUntilLoaded = 1;
  WindowFeedback feedback(beepUntilLoaded, window);
  DialogFileChooser chooser(&window);
  WindowSession run(window, feedback, *runMarker.marker, chooser, options.session);
  run.StartUp();
  if (!options.screenshot.isEmpty()) return TakeScreenshot(app, window, run, options);
  return window.exec();
}
