// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window_model/window_arguments.h"

#include <charconv>

#include "sim/fault_names.h"

namespace tav {

namespace {

enum class Kind { Flag, Value };

struct Option {
  const char* name;
  Kind kind;
  const char* help;  // nullptr: hidden from --help
};

constexpr Option kOptions[] = {
    {"--simulate", Kind::Flag, "Simulierter Brenner mit einem Baustein der gewählten Art"},
    {"--chip-state", Kind::Value, "DATEI: den simulierten Baustein in DATEI aufbewahren"},
    {"--chip-fault", Kind::Value, "FEHLER: einen fehlerhaften simulierten Baustein einsetzen"},
    {"--board-fault", Kind::Value, "FEHLER: einen fehlerhaften Brenner simulieren"},
    {"--sim-write-us", Kind::Value, "N: Dauer eines simulierten Registerzugriffs in µs (1 bis 10000)"},
    {"--sim-realtime", Kind::Flag, "Simulierter Brenner in der Geschwindigkeit echter Hardware"},
    {"--trace", Kind::Value, "DATEI: die Registerzugriffe in DATEI protokollieren"},
    {"--config-dir", Kind::Value, "ORDNER: QUENVALD.INI und 8789LIST.CSV in ORDNER"},
    {"--help", Kind::Flag, "-h, --help: diese Hilfe zeigen"},
    {"--version", Kind::Flag, "die Version zeigen"},
    {"--screenshot", Kind::Value, nullptr},
    {"--busy", Kind::Flag, nullptr},
    {"--settings", Kind::Flag, nullptr},
    {"--busy-marker-dir", Kind::Value, nullptr},
};

const Option* Find(const std::string& name) {
  for (const Option& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

std::string WindowHelpText(const std::string& program) {
  std::string text = "Aufruf: " + program + " [OPTIONEN]\n\nTavrolith: 8051-Programmiergerät\n\nOptionen:\n";
  for (const Option& option : kOptions) {
    if (option.help) text += "  " + std::string(option.name) + "  " + option.help + "\n";
  }
  return text;
}

bool ParseWindowArguments(const std::vector<std::string>& arguments, WindowArguments& parsed, std::string& error) {
  SimulatorOptions simulator;
  bool simulate = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i] == "-h" ? "--help" : arguments[i];
    std::string value;
    const size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const Option* option = Find(name);
    if (option == nullptr) {
      error = "Unbekannte Option '" + arguments[i] + "'";
      return false;
    }
    if (option->kind == Kind::Flag && inlineValue) {
      error = name + " nimmt keinen Wert";
      return false;
    }
    if (option->kind == Kind::Value && !inlineValue) {
      if (i + 1 >= arguments.size()) {
        error = name + ": Wert fehlt";
        return false;
      }
      value = arguments[++i];
    }
    if (name == "--help") {
      parsed.help = true;
      error = WindowHelpText("tavrolith");
      return false;
    }
    if (name == "--version") {
      parsed.version = true;
      return false;
    }
    if (name == "--simulate") simulate = true;
    else if (name == "--chip-state") simulator.chipState = value;
    else if (name == "--chip-fault" && !ApplyChipFault(value, simulator.chipFaults)) {
      error = "--chip-fault: unbekannter Fehler '" + value + "'";
      return false;
    } else if (name == "--board-fault" && !ApplyBoardFault(value, simulator.boardFaults)) {
      error = "--board-fault: unbekannter Fehler '" + value + "'";
      return false;
    } else if (name == "--sim-write-us") {
      uint32_t micros = 0;
      const auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), micros);
      if (problem != std::errc() || end != value.data() + value.size() || micros < 1 || micros > 10000) {
        error = "--sim-write-us: 1 bis 10000 erwartet";
        return false;
      }
      simulator.writeMicroseconds = micros;
    } else if (name == "--sim-realtime") simulator.realtime = true;
    else if (name == "--trace") parsed.session.tracePath = value;
    else if (name == "--config-dir") parsed.session.configDirectory = value;
    else if (name == "--screenshot") parsed.screenshot = value;
    else if (name == "--busy") parsed.busy = true;
    else if (name == "--settings") parsed.settings = true;
    else if (name == "--busy-marker-dir") parsed.busyMarkerDirectory = value;
  }
  if (simulate) parsed.session.simulator = simulator;
  return true;
}

}  // namespace tav
