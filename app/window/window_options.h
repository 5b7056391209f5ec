// The window's command line: the simulated board and its faults, the
// register-write trace, and the hidden screenshot options of the
// documentation.
#pragma once

#include <QString>
#include <QStringList>

#include "app/session/session_options.h"

namespace tav::window {

struct WindowOptions {
  SessionOptions session;
  QString screenshot;     // --screenshot FILE: save a picture and quit
  bool busy = false;      // --busy: with the busy indicator
  bool settings = false;  // --settings: with the settings dialog
  bool help = false;      // --help: the text is in `error`, nothing runs
  bool version = false;   // --version: print the version, nothing runs
  // --busy-marker-dir DIR: the folder of the machine-wide busy marker, so
  // that tests can run copies of the program beside a real run.
  QString busyMarkerDirectory;
};

// Parses the arguments (the program's name first). False and `error` set
// for an unknown option or fault, for --help (with `help` set) and for
// --version (with `version` set). Needs no application object, so that help
// and version work without a display.
bool ParseWindowOptions(const QStringList& arguments, WindowOptions& options, QString& error);

}  // namespace tav::window
