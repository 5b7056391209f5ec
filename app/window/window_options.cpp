// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/window_options.h"

#include <QCommandLineParser>

#include "sim/fault_names.h"

namespace tav::window {

bool ParseWindowOptions(const QStringList& arguments, WindowOptions& options, QString& error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tavrolith: 8051-Programmiergerät"));
  const QCommandLineOption simulate(QStringLiteral("simulate"),
                                    QStringLiteral("Simulierter Brenner mit einem Baustein der gewählten Art"));
  const QCommandLineOption chipState(QStringLiteral("chip-state"), QStringLiteral("Den simulierten Baustein in DATEI aufbewahren"),
                                     QStringLiteral("FILE"));
  const QCommandLineOption chipFault(QStringLiteral("chip-fault"), QStringLiteral("Einen fehlerhaften simulierten Baustein einsetzen"),
                                     QStringLiteral("FAULT"));
  const QCommandLineOption boardFault(QStringLiteral("board-fault"), QStringLiteral("Einen fehlerhaften Brenner simulieren"),
                                      QStringLiteral("FAULT"));
  const QCommandLineOption writeUs(QStringLiteral("sim-write-us"),
                                   QStringLiteral("Dauer eines simulierten Registerzugriffs in µs"),
                                   QStringLiteral("N"));
  const QCommandLineOption realtime(QStringLiteral("sim-realtime"),
                                    QStringLiteral("Simulierter Brenner in der Geschwindigkeit echter Hardware"));
  const QCommandLineOption trace(QStringLiteral("trace"), QStringLiteral("Die Registerzugriffe in DATEI protokollieren"),
                                 QStringLiteral("FILE"));
  const QCommandLineOption configDir(QStringLiteral("config-dir"),
                                     QStringLiteral("QUENVALD.INI und 8789LIST.CSV in ORDNER"), QStringLiteral("ORDNER"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE"));
  QCommandLineOption busy(QStringLiteral("busy"), QString());
  QCommandLineOption settings(QStringLiteral("settings"), QString());
  QCommandLineOption busyDirectory(QStringLiteral("busy-marker-dir"), QString(), QStringLiteral("DIR"));
  for (QCommandLineOption* hidden : {&screenshot, &busy, &settings, &busyDirectory}) hidden->setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({simulate, chipState, chipFault, boardFault, writeUs, realtime, trace, configDir, screenshot, busy,
                     settings, busyDirectory});
  parser.addHelpOption();
  if (!parser.parse(arguments)) {
    error = parser.errorText();
    return false;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    error = parser.helpText();
    options.help = true;
    return false;
  }
  SimulatorOptions simulator;
  simulator.chipState = parser.value(chipState).toStdString();
  for (const QString& fault : parser.values(chipFault)) {
    if (!ApplyChipFault(fault.toStdString(), simulator.chipFaults)) {
      error = QStringLiteral("--chip-fault: unbekannter Fehler '%1'").arg(fault);
      return false;
    }
  }
  for (const QString& fault : parser.values(boardFault)) {
    if (!ApplyBoardFault(fault.toStdString(), simulator.boardFaults)) {
      error = QStringLiteral("--board-fault: unbekannter Fehler '%1'").arg(fault);
      return false;
    }
  }
  if (parser.isSet(writeUs)) {
    bool ok = false;
    const uint value = parser.value(writeUs).toUInt(&ok);
    if (!ok || value < 1 || value > 10000) {
      error = QStringLiteral("--sim-write-us: 1 bis 10000 erwartet");
      return false;
    }
    simulator.writeMicroseconds = value;
  }
  simulator.realtime = parser.isSet(realtime);
  if (parser.isSet(simulate)) options.session.simulator = simulator;
  options.session.tracePath = parser.value(trace).toStdString();
  options.session.configDirectory = parser.value(configDir).toStdString();
  options.screenshot = parser.value(screenshot);
  options.busy = parser.isSet(busy);
  options.settings = parser.isSet(settings);
  options.busyMarkerDirectory = parser.value(busyDirectory);
  return true;
}

}  // namespace tav::window
