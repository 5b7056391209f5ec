// SPDX-License-Identifier: GPL-2.0-or-later
// The window on the simulated board, offscreen: the time from constructing
// the window to the first shown window (start-up with settings, port, board
// search, lists and device included; goal below 300 ms), and the number of
// message pumps each command's operation makes (at most 99).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/window_feedback.h"
#include "app/window/window_session.h"
#include "tests/scratch_directory.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// Answers every box at once with OK and counts the pumps of one command.
class CountingFeedback : public window::WindowFeedback {
public:
  using WindowFeedback::WindowFeedback;
  void PumpMessages() override {
    ++pumps;
    WindowFeedback::PumpMessages();
  }
  int pumps = 0;

protected:
  int Present(MessageKind, const std::string& text) override {
    lastMessage = text;
    return kOk;
  }

public:
  std::string lastMessage;
};

class FixedChooser : public window::FileChooser {
public:
  std::string path;
  bool Choose(const FileDialogSetup&, window::FileChoice& choice) override {
    choice.path = path;
    choice.position = 3;
    return true;
  }
};

// The sample library in a scratch directory, current while it lives.
class BenchDirectory {
public:
  BenchDirectory() {
    fs::copy_file(fs::path(TAVROLITH_SOURCE_DIR) / "data" / "8789LIST.CSV", scratch_.Path() / "8789LIST.CSV");
    fs::current_path(scratch_.Path());
  }
  ~BenchDirectory() { fs::current_path(previous_); }
  const fs::path& Path() const { return scratch_.Path(); }

private:
  fs::path previous_ = fs::current_path();
  test::ScratchDirectory scratch_{"tav_window_bench"};
};

struct BenchWindow {
  explicit BenchWindow(const fs::path& directory)
      : marker(directory.string()), run(window, feedback, marker, chooser, Options()) {}
  static SessionOptions Options() {
    SessionOptions options;
    options.simulator = SimulatorOptions{};
    options.userConfigDirectory = "";  // the settings stay in the scratch folder, never in ~/.config
    return options;
  }
  window::MainWindow window;
  const int beep = 0;
  CountingFeedback feedback{beep, window};
  MachineBusyMarker marker;
  FixedChooser chooser;
  window::WindowSession run;
};

void BM_StartToShownWindow(benchmark::State& state) {
  BenchDirectory directory;
  for (auto _ : state) {
    BenchWindow bench(directory.Path());
    bench.run.StartUp();
    bench.window.show();
    while (!bench.window.windowHandle()->isExposed()) QCoreApplication::processEvents();
    benchmark::DoNotOptimize(bench.window.windowHandle());
  }
  state.SetLabel("offscreen, simulated board");
}
BENCHMARK(BM_StartToShownWindow)->Unit(benchmark::kMillisecond);

// Each command on the whole AT89C51 (4096 bytes); the pumps of the last run.
void BM_PumpsPerCommand(benchmark::State& state) {
  BenchDirectory directory;
  BenchWindow bench(directory.Path());
  bench.chooser.path = (directory.Path() / "image.hex").string();
  std::ofstream(bench.chooser.path) << ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n";
  bench.run.StartUp();
  bench.run.CurrentSession().UseProgramFile(bench.chooser.path);
  bench.run.CurrentSession().CurrentSettings().FFSave = 1;
  const int id = int(state.range(0));
  // Each run has a fresh chip; the file is verified against a programmed one.
  if (id == window::kVerifyButton) bench.window.Button(window::kProgramButton)->click();
  for (auto _ : state) {
    bench.feedback.pumps = 0;
    bench.window.Button(id)->click();
  }
  state.counters["pumps"] = bench.feedback.pumps;
  // The operation's last word shows that it ran through.
  std::string last = bench.feedback.lastMessage;
  for (char& c : last) c = c == '\n' ? ' ' : c;
  state.SetLabel(last);
}
BENCHMARK(BM_PumpsPerCommand)
    ->ArgName("control")
    ->Arg(window::kBlankCheckButton)
    ->Arg(window::kReadButton)
    ->Arg(window::kProgramButton)
    ->Arg(window::kVerifyButton)
    ->Arg(window::kEraseButton)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
