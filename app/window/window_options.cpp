// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/window_options.h"

#include <string>
#include <vector>

#include "app/window_model/window_arguments.h"

namespace tav::window {

// The same command line as every window of the program; Qt adds nothing.
bool ParseWindowOptions(const QStringList& arguments, WindowOptions& options, QString& error) {
  std::vector<std::string> words;
  for (qsizetype i = 1; i < arguments.size(); ++i) words.push_back(arguments[i].toStdString());
  WindowArguments parsed;
  std::string message;
  const bool ok = ParseWindowArguments(words, parsed, message);
  error = QString::fromStdString(message);
  options.session = std::move(parsed.session);
  options.screenshot = QString::fromStdString(parsed.screenshot);
  options.busy = parsed.busy;
  options.settings = parsed.settings;
  options.help = parsed.help;
  options.version = parsed.version;
  options.busyMarkerDirectory = QString::fromStdString(parsed.busyMarkerDirectory);
  return ok;
}

}  // namespace tav::window
