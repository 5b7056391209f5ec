#include "app/window/window_options.h"

#include <QCommandLineParser>

#include "app/cli/cli_options.h"

namespace tav::window {

bool ParseWindowOptions(const QStringList& arguments, WindowOptions& options, QString& error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tavrolith: 8051-Programmiergerät"));
  const QCommandLineOption simulate(QStringLiteral("simulate"),
                                    QStringLiteral("Simulated board with a chip of the selected device"));
  const QCommandLineOption chipState(QStringLiteral("chip-state"), QStringLiteral("Keep the simulated chip in FILE"),
                                     QStringLiteral("FILE"));
  const QCommandLineOption chipFault(QStringLiteral("chip-fault"), QStringLiteral("Insert a faulty simulated chip"),
                                     QStringLiteral("FAULT"));
  const QCommandLineOption boardFault(QStringLiteral("board-fault"), QStringLiteral("Simulate a faulty board"),
                                      QStringLiteral("FAULT"));
  const QCommandLineOption writeUs(QStringLiteral("sim-write-us"),
                                   QStringLiteral("Duration of one simulated register write, in us"),
                                   QStringLiteral("N"));
  const QCommandLineOption trace(QStringLiteral("trace"), QStringLiteral("Write the register-write trace to FILE"),
                                 QStringLiteral("FILE"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE"));
  QCommandLineOption busy(QStringLiteral("busy"), QString());
  QCommandLineOption settings(QStringLiteral("settings"), QString());
  for (QCommandLineOption* hidden : {&screenshot, &busy, &settings}) hidden->setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({simulate, chipState, chipFault, boardFault, writeUs, trace, screenshot, busy, settings});
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
  if (parser.isSet(simulate)) options.session.simulator = simulator;
  options.session.tracePath = parser.value(trace).toStdString();
  options.screenshot = parser.value(screenshot);
  options.busy = parser.isSet(busy);
  options.settings = parser.isSet(settings);
  return true;
}

}  // namespace tav::window
