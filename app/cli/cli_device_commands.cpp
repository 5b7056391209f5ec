// The commands that work on the board: detect, calibrate, and the five
// device operations inside the command frame.
#include <cctype>
#include <chrono>
#include <cmath>

#include "app/cli/cli_session.h"
#include "files/program_files.h"
#include "settings/paths.h"

namespace tav {

namespace {

// Enough writes that a millisecond clock and a stray interrupt do not matter,
// few enough to finish in well under a second at 85 us per write.
constexpr int kCalibrationWrites = 4000;

// The CLI's busy marker remembers a refusal so that the user learns why
// nothing happened; the window's marker check ends silently.
class CliBusyMarker : public LockFileBusyMarker {
public:
  using LockFileBusyMarker::LockFileBusyMarker;
  int IsBusy() override { return Note(LockFileBusyMarker::IsBusy()); }
  int Acquire() override { return Note(LockFileBusyMarker::Acquire()); }
  bool Refused() const { return refused_; }

private:
  int Note(int result) {
    if (result != 0) refused_ = true;
    return result;
  }
  bool refused_ = false;
};

// The operations count a declined socket prompt as success; on the command
// line that would let a script believe the chip was checked or written. The
// declined prompt gets the operation's own cancel code instead.
int DeclinedResult(Command command) {
  switch (command) {
    case Command::BlankCheck: return kBlankCheckCancelled;
    case Command::Read: return kReadFailed;
    case Command::Verify: return kVerifyFailed;
    case Command::Program:
    case Command::Erase: return kOperationFailed;
  }
  return kOperationFailed;
}

}  // namespace

int CliSession::CommandDetect() {
  if (demoMode_ != 0 && detectResult_ == 0) {
    // Port access failed: its message has been shown.
    return kDemoModeRefused;
  }
  if (detectResult_ != 0) return detectResult_;
  const std::string where = board_ ? "simulierter Brenner" : access_.description;
  std::fprintf(out_, "Brenner gefunden: %s, Portadresse 0x%X\n", where.c_str(), unsigned(settings_.PortAdress));
  return 0;
}

int CliSession::CommandCalibrate() {
  if (demoMode_ != 0) {
    feedback_.ShowInfo(kDemoMessage);
    return kDemoModeRefused;
  }
  CliBusyMarker busy(WorkingDirectory());
  if (busy.Acquire() != 0) {
    std::fprintf(err_, "Ein anderer Befehl benutzt den Brenner gerade (%s).\n", busy.Path().c_str());
    return kBusy;
  }
  // The simulated board keeps its own clock; a real one is timed by ours.
  auto now = [this]() -> uint64_t {
    if (board_) return board_->NowNs();
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
  };
  link_->ResetOutputs();
  CommandFrameHooks priority;
  priority.RaisePriority();
  int result = 0;
  const uint64_t start = now();
  for (int i = 0; i < kCalibrationWrites && result == 0; ++i) {
    link_->LineLatch ^= kLineTiming;
    result = link_->WriteRegister(kRegLines, link_->LineLatch);
  }
  const uint64_t elapsed = now() - start;
  priority.RestorePriority();
  link_->LineLatch &= uint8_t(~kLineTiming);
  link_->WriteRegister(kRegLines, link_->LineLatch);
  if (result != 0) return result;

  const double microseconds = double(elapsed) / 1000.0 / kCalibrationWrites;
  long korr = std::lround(microseconds);
  std::fprintf(out_, "%d Registerschreibzugriffe in %.1f ms: %.2f µs je Zugriff\n", kCalibrationWrites,
               double(elapsed) / 1e6, microseconds);
  if (korr < 1 || korr > 100) {
    std::fprintf(out_, "Der Wert liegt außerhalb von 1 bis 100; begrenzt.\n");
    korr = korr < 1 ? 1 : 100;
  }
  std::fprintf(out_, "Passender TimeBaseKorr: %ld (eingestellt: %d)\n", korr, int(settings_.TimeBaseKorr));
  if (options_.save) {
    settings_.TimeBaseKorr = int32_t(korr);
    std::fprintf(out_, "TimeBaseKorr %ld gespeichert.\n", korr);
  }
  return 0;
}

namespace {

// The format of `read FILE` without --format. The window forces the
// extension to fit the chosen format; a command line keeps the name the user
// typed, so the format follows a known extension instead, and a stored hex
// format is never written into a .bin file (nor BIN into a .hex file).
int FormatForReadFile(const std::string& file, int32_t stored) {
  std::string extension = SplitPath(file).extension;
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool storedHex = stored >= 2 && stored <= 9;
  if (extension == ".bin") return 1;
  if (extension == ".hex" || extension == ".ihx") return storedHex ? stored : 2;
  if (extension == ".s19") return 5;
  if (extension == ".s28") return 6;
  if (extension == ".s37") return 7;
  return stored >= 1 && stored <= 9 ? stored : 1;
}

}  // namespace

int CliSession::CommandOperation(Command command) {
  if (command == Command::Program || command == Command::Verify || command == Command::Read) {
    UseProgramFile(options_.files[0]);
  }
  if (command == Command::Read) {
    settings_.DataFormat = options_.format.empty() ? FormatForReadFile(options_.files[0], settings_.DataFormat)
                                                   : ResolveFormat(options_.format)->number;
  }
  if (environment_.installInterruptHandler) {
    feedback_.InstallInterruptHandler();
    // A second Ctrl+C or SIGTERM: the socket goes down before the process ends.
    feedback_.SetEmergencyStop([](void* link) { static_cast<ProgrammerLink*>(link)->PowerDown(); }, link_.get());
  }

  OperationContext ctx{*link_, device_, image_, settings_, feedback_};
  CliBusyMarker busy(WorkingDirectory());
  CommandFrameHooks hooks;
  int result = RunCommand(command, ctx, library_, demoMode_, busy, hooks);
  if (busy.Refused()) {
    std::fprintf(err_, "Ein anderer Befehl benutzt den Brenner gerade (%s).\n", busy.Path().c_str());
  }
  if (result == 0 && feedback_.PromptDeclined()) result = DeclinedResult(command);
  return result;
}

}  // namespace tav
