// The commands that work on the board: detect, calibrate, and the five
// device operations inside the command frame, with what a script user
// wants to see before and after each.
#include <cctype>
#include <cinttypes>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/resource.h>
#endif

#include "app/cli/cli_session.h"
#include "app/session/run_marker.h"
#include "files/program_files.h"
#include "operations/operation_frame.h"
#include "settings/native_path.h"
#include "settings/paths.h"

namespace tav {

namespace {

// The CLI's busy marker remembers a refusal so that the user learns why
// nothing happened; the window's marker check ends silently.
class CliBusyMarker : public BusyMarker {
public:
  explicit CliBusyMarker(RunMarker run) : run_(std::move(run)) {}
  int IsBusy() override { return Note(run_.marker->IsBusy()); }
  int Acquire() override { return Note(run_.marker->Acquire()); }
  void Release() override { run_.marker->Release(); }
  // Says why nothing happened when the marker refused.
  void ReportRefusal(std::FILE* err) const {
    if (refused_) {
      std::fprintf(err, "Ein anderer Befehl benutzt den Brenner gerade (Markierung %s).\n", run_.path.c_str());
    }
  }

private:
  int Note(int result) {
    if (result != 0) refused_ = true;
    return result;
  }
  RunMarker run_;
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

const char* FormatName(int number) {
  const FileFormatInfo* format = FindFileFormat(number);
  return format != nullptr ? format->name : "?";
}

// Whether the raised priority was granted, read back from the system.
std::string PriorityGranted() {
#ifdef _WIN32
  const DWORD priorityClass = GetPriorityClass(GetCurrentProcess());
  return priorityClass == NORMAL_PRIORITY_CLASS ? "nicht gewährt" : "gewährt";
#else
  if (sched_getscheduler(0) == SCHED_FIFO) return "gewährt (Echtzeit)";
  const int nice = getpriority(PRIO_PROCESS, 0);
  return nice < 0 ? "gewährt (nice " + std::to_string(nice) + ")" : "nicht gewährt";
#endif
}

// The frame's hooks on the command line: no dialogs; what the command will
// do is shown once the device and the file are loaded, right before the
// first register write.
class CliHooks : public CommandFrameHooks {
public:
  CliHooks(Command command, int forcedFormat, Session& session, const CliOptions& options, std::FILE* out,
           std::FILE* err)
      : command_(command),
        forcedFormat_(forcedFormat),
        session_(session),
        quiet_(options.quiet),
        verbose_(options.verbose),
        out_(out),
        err_(err) {}
  int ProgramFileFormat() const override { return forcedFormat_; }
  void DisableControls() override;
  void RaisePriority() override {
    CommandFrameHooks::RaisePriority();
    if (verbose_) std::fprintf(err_, "Erhöhte Priorität: %s\n", PriorityGranted().c_str());
  }

private:
  Command command_;
  int forcedFormat_;
  bool shown_ = false;  // a production run shows its plan once, not for every chip
  Session& session_;
  bool quiet_;
  bool verbose_;
  std::FILE* out_;
  std::FILE* err_;
};

void CliHooks::DisableControls() {
  if (quiet_ || shown_) return;
  shown_ = true;
  const DeviceRecord& device = session_.Device();
  const Settings& settings = session_.CurrentSettings();
  const ProgramImage& image = session_.Image();
  std::fprintf(out_, "Baustein: %s (%s, %" PRIu32 " Bytes)\n", device.DeviceName.c_str(),
               device.IsFlash() ? "Flash" : "EPROM", device.SizeBytes);
  if (command_ == Command::Program || command_ == Command::Verify) {
    std::fprintf(out_, "Datei:    %s\nFormat:   %s (%s)\n", settings.ProgramFilePath.c_str(),
                 FormatName(settings.DataFormat), forcedFormat_ != 0 ? "mit --format" : "erkannt");
    std::fprintf(out_, "Daten:    %" PRIu32 " Bytes, Adressen 0x0000 bis 0x%04" PRIX32 "\n", image.ByteCount,
                 image.HighestAddress);
  } else if (command_ == Command::Read) {
    std::fprintf(out_, "Datei:    %s (wird geschrieben)\nFormat:   %s\n", settings.ProgramFilePath.c_str(),
                 FormatName(settings.DataFormat));
  }
  std::fflush(out_);
}

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

void CliSession::InstallInterruptHandler() {
  if (!environment_.installInterruptHandler) return;
  feedback_.InstallInterruptHandler();
  // A second Ctrl+C or SIGTERM: the socket goes down before the process ends.
  feedback_.SetEmergencyStop([](void* link) { static_cast<ProgrammerLink*>(link)->PowerDown(); }, &session_.Link());
}

int CliSession::CommandBatch() {
  if (int refused = session_.UseProgramFile(options_.files[0]); refused != 0) return refused;
  const int forcedFormat = options_.format.empty() ? 0 : ResolveFormat(options_.format)->number;
  InstallInterruptHandler();
  CliBusyMarker busy(MakeRunMarker(session_.Options(), environment_.busyMarkerDirectory));
  CliHooks hooks(Command::Program, forcedFormat, session_, options_, out_, err_);
  BatchSummary summary;
  const int result = RunBatch(session_, options_.batch, busy, hooks, summary, [&](const BatchChip& chip) {
    if (options_.quiet) return;
    std::fprintf(out_, "%s\n", ChipResultLine(chip).c_str());
    std::fflush(out_);
  });
  busy.ReportRefusal(err_);
  if (summary.good + summary.failed + summary.cancelled == 0 && result != 0) return result;
  finalLine_ = BatchSummaryText(summary);
  if (!options_.quiet || result != 0) std::fprintf(out_, "%s\n", finalLine_.c_str());
  return result;
}

void CliSession::ReportVerbose() {
  std::fprintf(err_, "Port: %s, Portadresse 0x%X\n",
               session_.DemoMode() != 0 && !options_.simulate ? "kein Zugang" : session_.BoardDescription().c_str(),
               unsigned(settings_.PortAdress));
  std::fprintf(err_, "Zeitbasis: TimeBaseKorr %d (µs je Registerzugriff)", int(settings_.TimeBaseKorr));
  if (options_.simulate) {
    const uint32_t us = options_.simulator.writeMicroseconds != 0 ? options_.simulator.writeMicroseconds
                                                                  : uint32_t(settings_.TimeBaseKorr);
    std::fprintf(err_, ", Simulator %" PRIu32 " µs je Zugriff%s", us,
                 options_.simulator.realtime ? " in Echtzeit" : "");
  }
  std::fprintf(err_, "\nBibliothek: %s\nEinstellungen: %s\n", session_.LibraryPath().c_str(),
               settings_.SettingsFilePath.c_str());
}

int CliSession::CommandDetect() {
  const int result = session_.BoardResult();
  if (result != 0) return result;
  std::fprintf(out_, "Brenner gefunden: %s, Portadresse 0x%X\n", session_.BoardDescription().c_str(),
               unsigned(settings_.PortAdress));
  finalLine_ = "Brenner gefunden";
  return 0;
}

int CliSession::CommandCalibrate() {
  CliBusyMarker busy(MakeRunMarker(session_.Options(), environment_.busyMarkerDirectory));
  WriteTiming timing;
  const int result = session_.Calibrate(busy, timing);
  busy.ReportRefusal(err_);
  if (result != 0) return result;
  std::fprintf(out_, "%d Registerschreibzugriffe in %.1f ms: %.2f µs je Zugriff\n", timing.Writes,
               double(timing.ElapsedNs) / 1e6, timing.MicrosecondsPerWrite);
  if (timing.Clamped) std::fprintf(out_, "Der Wert liegt außerhalb von 1 bis 100; begrenzt.\n");
  std::fprintf(out_, "Passender TimeBaseKorr: %d (eingestellt: %d)\n", int(timing.TimeBaseKorr),
               int(settings_.TimeBaseKorr));
  finalLine_ = "TimeBaseKorr " + std::to_string(timing.TimeBaseKorr);
  if (!options_.save) return 0;
  const int stored = StoreSetting(settings_, feedback_, "TimeBaseKorr", std::to_string(timing.TimeBaseKorr));
  if (stored != 0) {
    std::fprintf(err_, "%s kann nicht geschrieben werden.\n", settings_.SettingsFilePath.c_str());
    return stored;
  }
  std::fprintf(out_, "TimeBaseKorr %d gespeichert in %s.\n", int(timing.TimeBaseKorr),
               settings_.SettingsFilePath.c_str());
  finalLine_ += " gespeichert";
  return 0;
}

int CliSession::CommandOperation(Command command) {
  int forcedFormat = 0;
  if (command == Command::Program || command == Command::Verify || command == Command::Read) {
    if (int refused = session_.UseProgramFile(options_.files[0]); refused != 0) return refused;
    if (!options_.format.empty()) forcedFormat = ResolveFormat(options_.format)->number;
  }
  if (command == Command::Read) {
    settings_.DataFormat = forcedFormat != 0 ? forcedFormat : FormatForReadFile(options_.files[0], settings_.DataFormat);
    forcedFormat = 0;
  }
  InstallInterruptHandler();
  CliBusyMarker busy(MakeRunMarker(session_.Options(), environment_.busyMarkerDirectory));
  CliHooks hooks(command, forcedFormat, session_, options_, out_, err_);
  const uint64_t failedBefore = session_.Link().FailedWriteCount();
  int result = session_.RunCommand(command, busy, hooks);
  busy.ReportRefusal(err_);
  if (options_.verbose) {
    std::fprintf(err_, "Registerzugriffe: %" PRIu64 ", davon ohne Antwort des Brenners: %" PRIu64 "\n",
                 session_.Link().WriteCount(), session_.Link().FailedWriteCount() - failedBefore);
  }
  if (result == 0 && feedback_.PromptDeclined()) result = DeclinedResult(command);
  if (command == Command::Erase && result == kOperationFailed && device_.IsEprom()) {
    // The operation refuses these parts without a word; the window never
    // offers the command for them.
    std::fprintf(err_, "%s ist ein EPROM ohne elektrisches Löschen: löschen nur mit UV-Licht.\n",
                 device_.DeviceName.c_str());
  }
  if (result != 0) return result;

  const ProgramImage& image = session_.Image();
  char line[600];
  switch (command) {
    case Command::BlankCheck:
      std::snprintf(line, sizeof line, "Leer: %" PRIu32 " Bytes geprüft", device_.SizeBytes);
      break;
    case Command::Erase: std::snprintf(line, sizeof line, "Gelöscht: %s", device_.DeviceName.c_str()); break;
    case Command::Read: {
      std::error_code error;
      const auto written = std::filesystem::file_size(NativePath(settings_.ProgramFilePath), error);
      std::snprintf(line, sizeof line, "Gelesen: %" PRIu32 " Bytes nach %s (%s), %llu Bytes geschrieben",
                    device_.SizeBytes, settings_.ProgramFilePath.c_str(), FormatName(settings_.DataFormat),
                    error ? 0ull : static_cast<unsigned long long>(written));
      break;
    }
    case Command::Verify:
      std::snprintf(line, sizeof line, "Geprüft: %" PRIu32 " Bytes verglichen, keine Unterschiede",
                    LastImageAddress(image) + 1);
      break;
    case Command::Program: {
      const int lock = settings_.Lock3 ? 3 : settings_.Lock2 ? 2 : settings_.Lock1 ? 1 : 0;
      std::string locked = "keine Lockbits";
      if (lock != 0 && device_.LockBitCount != 0) locked = "Lockbits bis " + std::to_string(lock) + " gesetzt";
      std::snprintf(line, sizeof line, "Gebrannt: %" PRIu32 " Bytes (0x0000 bis 0x%04" PRIX32 "), %s, %s",
                    image.ByteCount, image.HighestAddress, settings_.Verify ? "geprüft" : "nicht geprüft",
                    locked.c_str());
      break;
    }
  }
  finalLine_ = line;
  if (!options_.quiet) std::fprintf(out_, "%s\n", line);
  return 0;
}

}  // namespace tav
