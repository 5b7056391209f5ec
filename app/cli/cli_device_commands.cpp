// The commands that work on the board: detect, calibrate, and the five
// device operations inside the command frame.
#include <cctype>

#include "app/cli/cli_session.h"
#include "files/program_files.h"
#include "settings/paths.h"

namespace tav {

namespace {

// The CLI's busy marker remembers a refusal so that the user learns why
// nothing happened; the window's marker check ends silently.
class CliBusyMarker : public LockFileBusyMarker {
public:
  using LockFileBusyMarker::LockFileBusyMarker;
  int IsBusy() override { return Note(LockFileBusyMarker::IsBusy()); }
  int Acquire() override { return Note(LockFileBusyMarker::Acquire()); }
  // Says why nothing happened when the marker refused.
  void ReportRefusal(std::FILE* err) const {
    if (refused_) std::fprintf(err, "Ein anderer Befehl benutzt den Brenner gerade (%s).\n", Path().c_str());
  }

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
  const int result = session_.BoardResult();
  if (result != 0) return result;
  std::fprintf(out_, "Brenner gefunden: %s, Portadresse 0x%X\n", session_.BoardDescription().c_str(),
               unsigned(settings_.PortAdress));
  return 0;
}

int CliSession::CommandCalibrate() {
  CliBusyMarker busy(session_.WorkingDirectory());
  WriteTiming timing;
  const int result = session_.Calibrate(busy, timing);
  busy.ReportRefusal(err_);
  if (result != 0) return result;
  std::fprintf(out_, "%d Registerschreibzugriffe in %.1f ms: %.2f µs je Zugriff\n", timing.Writes,
               double(timing.ElapsedNs) / 1e6, timing.MicrosecondsPerWrite);
  if (timing.Clamped) std::fprintf(out_, "Der Wert liegt außerhalb von 1 bis 100; begrenzt.\n");
  std::fprintf(out_, "Passender TimeBaseKorr: %d (eingestellt: %d)\n", int(timing.TimeBaseKorr),
               int(settings_.TimeBaseKorr));
  if (options_.save) {
    settings_.TimeBaseKorr = timing.TimeBaseKorr;
    std::fprintf(out_, "TimeBaseKorr %d gespeichert.\n", int(timing.TimeBaseKorr));
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
    if (int refused = session_.UseProgramFile(options_.files[0]); refused != 0) return refused;
  }
  if (command == Command::Read) {
    settings_.DataFormat = options_.format.empty() ? FormatForReadFile(options_.files[0], settings_.DataFormat)
                                                   : ResolveFormat(options_.format)->number;
  }
  if (environment_.installInterruptHandler) {
    feedback_.InstallInterruptHandler();
    // A second Ctrl+C or SIGTERM: the socket goes down before the process ends.
    feedback_.SetEmergencyStop([](void* link) { static_cast<ProgrammerLink*>(link)->PowerDown(); }, &session_.Link());
  }

  CliBusyMarker busy(session_.WorkingDirectory());
  CommandFrameHooks hooks;
  int result = session_.RunCommand(command, busy, hooks);
  busy.ReportRefusal(err_);
  if (result == 0 && feedback_.PromptDeclined()) result = DeclinedResult(command);
  return result;
}

}  // namespace tav
