#include "app/session/session.h"

#include <chrono>
#include <sstream>

#include "base/feedback.h"
#include "settings/paths.h"

namespace tav {

namespace {

constexpr const char* kNoHardwareMessage = "Kann Hardware nicht finden !\n\nProgramm geht in den Demomodus.";

// Stands in for the port while none is open and in demonstration mode,
// where the frame refuses every command before a register is written.
class InertPort : public PortIo {
public:
  void Out(uint16_t, uint8_t) override {}
  uint8_t In(uint16_t) override { return 0xFF; }
};

// Everything SaveSettings writes, so that the file is written only when the
// run changed something in it.
std::string SavedFields(const Settings& s) {
  std::ostringstream text;
  text << s.PortAdress << ' ' << s.SearchHardware << ' ' << s.TimeOut << ' ' << s.TimeBaseKorr << ' ' << s.MessageBeap
       << ' ' << s.Verify << ' ' << s.FFSave << ' ' << s.XKoord << ' ' << s.YKoord << ' ' << s.DataFormat << ' '
       << s.ManufIndex << ' ' << s.DeviceIndex << ' ' << s.TestChecksum << ' ' << s.ShowDeviceData << ' '
       << int(s.IDCheck) << ' ' << s.Lock1 << s.Lock2 << s.Lock3 << ' ' << s.ReadFilter << ' ' << s.HexLineLen << ' '
       << s.ProgramFilePath;
  return text.str();
}

}  // namespace

Session::Session(Feedback& feedback, SessionOptions options)
    : feedback_(feedback),
      options_(std::move(options)),
      library_(settings_, device_, feedback_),
      inertPort_(std::make_unique<InertPort>()),
      link_(std::make_unique<ProgrammerLink>(*inertPort_, settings_, device_, feedback_)) {
  feedback_.FollowMessageBeep(settings_.MessageBeap);
}

Session::~Session() = default;

int Session::Start() {
  LoadSettings();
  return StartHardware();
}

void Session::LoadSettings() {
  tav::LoadSettings(settings_, feedback_, options_.configDirectory);
  settingsAsLoaded_ = SavedFields(settings_);
  library_.SetLibraryPath(FindLibrary(options_.configDirectory, options_.libraryFallbacks));
}

int Session::StartHardware() {
  demoMode_ = 0;
  detectResult_ = 0;
  const int result = OpenPort();
  if (result != 0) {
    // Nothing to talk to: every command is refused as in demonstration mode.
    demoMode_ = 1;
    return result;
  }
  if (demoMode_ == 0) SearchBoard();
  // Its result does not matter here: the library has shown its own message,
  // and every command loads the device again.
  if (!options_.loadDeviceAtStart) return 0;
  library_.LoadSelectedDevice();
  // Only the device loaded just now may go into the socket: an older
  // record (the command line's, before its options chose the device) would
  // put a chip of the wrong part there.
  return FitSimulatedChip();
}

void Session::SearchBoard() {
  for (int attempt = 1;; ++attempt) {
    detectResult_ = link_->DetectProgrammer();
    if (detectResult_ == 0) return;
    if (attempt >= settings_.SearchHardware) break;
    if (options_.betweenSearchAttempts) options_.betweenSearchAttempts();
    FollowPortAddress();
    if (demoMode_ != 0) return;  // no access at the corrected address: its message has been shown
  }
  feedback_.ShowInfo(kNoHardwareMessage);
  if (options_.writeSettings) SaveSettings(settings_);
  demoMode_ = 1;
}

int Session::Close(int status) {
  status = SaveChipState(status);
  if (options_.writeSettings && (options_.alwaysSaveAtClose || SavedFields(settings_) != settingsAsLoaded_)) {
    SaveSettings(settings_);
  }
  return status;
}

namespace {

// The frame's hooks with one addition: once the frame has loaded the
// device, and before the operation, the simulated socket takes a chip of
// that device. Every hook is passed on (a new one must be added here).
class SocketFittingHooks : public CommandFrameHooks {
public:
  SocketFittingHooks(CommandFrameHooks& inner, Session& session) : inner_(inner), session_(session) {}
  int ChooseProgramFile() override { return inner_.ChooseProgramFile(); }
  int PrepareRead() override { return inner_.PrepareRead(); }
  int ProgramFileFormat() const override { return inner_.ProgramFileFormat(); }
  int PrepareImage() override { return inner_.PrepareImage(); }
  void DisableControls() override {
    session_.FitSimulatedChip();
    inner_.DisableControls();
  }
  void EnableControls() override { inner_.EnableControls(); }
  void RaisePriority() override { inner_.RaisePriority(); }
  void RestorePriority() override { inner_.RestorePriority(); }

private:
  CommandFrameHooks& inner_;
  Session& session_;
};

}  // namespace

int Session::RunCommand(Command command, BusyMarker& busy, CommandFrameHooks& hooks, PromptNotes* notes) {
  OperationContext ctx{*link_, device_, image_, settings_, feedback_};
  ctx.notes = notes;
  SocketFittingHooks fitting(hooks, *this);
  return tav::RunCommand(command, ctx, library_, demoMode_, busy, fitting);
}

int Session::Calibrate(BusyMarker& busy, WriteTiming& timing) {
  if (demoMode_ != 0) {
    feedback_.ShowInfo(kDemoMessage);
    return kDemoModeRefused;
  }
  if (busy.Acquire() != 0) return kBusy;
  const int result = MeasureWriteTiming(*link_, [this] { return NowNs(); }, timing);
  busy.Release();
  return result;
}

uint64_t Session::NowNs() const {
  // The simulated board keeps its own clock; a real one is timed by ours.
  if (board_) return board_->NowNs();
  return uint64_t(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

int Session::BoardResult() const {
  if (detectResult_ != 0) return detectResult_;
  return demoMode_ != 0 ? kDemoModeRefused : 0;
}

std::string Session::BoardDescription() const { return board_ ? "simulierter Brenner" : access_.description; }

std::string Session::WorkingDirectory() const { return SplitPath(settings_.SettingsFilePath).directory; }

std::string Session::LibraryPath() const { return library_.LibraryFilePath(); }

}  // namespace tav
