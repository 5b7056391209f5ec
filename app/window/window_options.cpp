// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/window_options.h"

#include <QCommandLineParser>

#include "sim/fault_names.h"

namespace tav::window {

namespace {

// The toolkit's own help is English and needs a running application; this
// one is German and works before any display is opened.
QString HelpText(const QList<QCommandLineOption>& options) {
  QString text = QStringLiteral("Aufruf: tavrolith [OPTIONEN]\n\nTavrolith: 8051-Programmiergerät\n\nOptionen:\n");
  for (const QCommandLineOption& option : options) {
    if (option.flags().testFlag(QCommandLineOption::HiddenFromHelp)) continue;
    QStringList names;
    for (const QString& name : option.names()) names << (name.size() == 1 ? "-" : "--") + name;
    QString left = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty()) left += ' ' + option.valueName();
    text += QStringLiteral("  %1  %2\n").arg(left, -24).arg(option.description());
  }
  return text;
}

}  // namespace

bool ParseWindowOptions(const QStringList& arguments, WindowOptions& options, QString& error) {
  QCommandLineParser parser;
  const QCommandLineOption simulate(QStringLiteral("simulate"),
                                    QStringLiteral("Simulierter Brenner mit einem Baustein der gewählten Art"));
  const QCommandLineOption chipState(QStringLiteral("chip-state"), QStringLiteral("Den simulierten Baustein in DATEI aufbewahren"),
                                     QStringLiteral("DATEI"));
  const QCommandLineOption chipFault(QStringLiteral("chip-fault"), QStringLiteral("Einen fehlerhaften simulierten Baustein einsetzen"),
                                     QStringLiteral("FEHLER"));
  const QCommandLineOption boardFault(QStringLiteral("board-fault"), QStringLiteral("Einen fehlerhaften Brenner simulieren"),
                                      QStringLiteral("FEHLER"));
  const QCommandLineOption writeUs(QStringLiteral("sim-write-us"),
                                   QStringLiteral("Dauer eines simulierten Registerzugriffs in µs"),
                                   QStringLiteral("N"));
  const QCommandLineOption realtime(QStringLiteral("sim-realtime"),
                                    QStringLiteral("Simulierter Brenner in der Geschwindigkeit echter Hardware"));
  const QCommandLineOption trace(QStringLiteral("trace"), QStringLiteral("Die Registerzugriffe in DATEI protokollieren"),
                                 QStringLiteral("DATEI"));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Diese Hilfe zeigen"));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Die Version zeigen"));
  const QCommandLineOption configDir(QStringLiteral("config-dir"),
                                     QStringLiteral("QUENVALD.INI und 8789LIST.CSV in ORDNER"), QStringLiteral("ORDNER"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE"));
  QCommandLineOption busy(QStringLiteral("busy"), QString());
  QCommandLineOption settings(QStringLiteral("settings"), QString());
  QCommandLineOption busyDirectory(QStringLiteral("busy-marker-dir"), QString(), QStringLiteral("DIR"));
  for (QCommandLineOption* hidden : {&screenshot, &busy, &settings, &busyDirectory}) hidden->setFlags(QCommandLineOption::HiddenFromHelp);
  const QList<QCommandLineOption> all = {simulate, chipState, chipFault, boardFault, writeUs, realtime, trace, configDir,
                                         help, version, screenshot, busy, settings, busyDirectory};
  parser.addOptions(all);
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    error = unknown.isEmpty() ? QStringLiteral("Aufruf nicht verstanden: ") + parser.errorText()
                              : QStringLiteral("Unbekannte Option: ") + (unknown.first().size() == 1 ? "-" : "--") +
                                    unknown.first();
    return false;
  }
  if (parser.isSet(help)) {
    error = HelpText(all);
    options.help = true;
    return false;
  }
  if (parser.isSet(version)) {
    options.version = true;
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
