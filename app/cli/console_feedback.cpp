#include "app/cli/console_feedback.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tav {

namespace {

// Shared with the signal handler, which can reach nothing else. Counts the
// stop requests since the handler was installed; the first one is consumed
// by the next message pump (or prompt) as "Abbrechen".
volatile std::sig_atomic_t gStopRequests = 0;
volatile std::sig_atomic_t gPendingCancel = 0;
ConsoleFeedback::EmergencyStop volatile gEmergencyStop = nullptr;
void* volatile gEmergencyContext = nullptr;

void WriteNote(const char* note, size_t length) {
#ifdef _WIN32
  const int ignored = _write(2, note, static_cast<unsigned>(length));
#else
  // write() is async-signal-safe; the result does not matter here.
  const ssize_t ignored = ::write(STDERR_FILENO, note, length);
#endif
  (void)ignored;
}

// Returns the exit status to end the process with, or 0 to go on.
int OnStopRequest(int signalNumber) {
  gStopRequests = gStopRequests + 1;
  gPendingCancel = 1;
  if (gStopRequests == 1) {
    static const char note[] = "\nAbbruch angefordert ...\n";
    WriteNote(note, sizeof note - 1);
    return 0;
  }
  // The user insists: the operation is not waited for any longer, but the
  // socket is never left powered.
  static const char note[] = "\nSofortiger Abbruch: Sockel wird abgeschaltet.\n";
  WriteNote(note, sizeof note - 1);
  const ConsoleFeedback::EmergencyStop stop = gEmergencyStop;
  if (stop != nullptr) stop(gEmergencyContext);
  return 128 + signalNumber;
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  const int status = OnStopRequest(type == CTRL_CLOSE_EVENT ? 1 : 2);
  if (status != 0) ExitProcess(static_cast<UINT>(status));
  return TRUE;
}
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int signalNumber) {
  const int status = OnStopRequest(signalNumber);
  if (status != 0) _exit(status);
}
#endif

const char* KindPrefix(MessageKind kind) {
  switch (kind) {
    case MessageKind::Info: return "[Info] ";
    case MessageKind::RetryCancel: return "[Fehler] ";
    case MessageKind::OkCancel: return "[Frage] ";
    case MessageKind::Plain: return "";
  }
  return "";
}

}  // namespace

ConsoleFeedback::ConsoleFeedback(const int& messageBeep, ConsolePolicy policy, std::FILE* in, std::FILE* err)
    : Feedback(messageBeep), policy_(policy), in_(in), err_(err), barOnTerminal_(isatty(fileno(err)) != 0) {}

ConsoleFeedback::~ConsoleFeedback() {
  if (!handlerInstalled_) return;
  gEmergencyStop = nullptr;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
  for (const int signalNumber : kStopSignals) std::signal(signalNumber, SIG_DFL);
#endif
}

void ConsoleFeedback::InstallInterruptHandler() {
  gStopRequests = 0;
  gPendingCancel = 0;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : kStopSignals) sigaddset(&action.sa_mask, signalNumber);
  // No SA_RESTART: a prompt waiting for a line must see the signal (EINTR)
  // and answer Cancel instead of waiting on.
  action.sa_flags = 0;
  for (const int signalNumber : kStopSignals) sigaction(signalNumber, &action, nullptr);
#endif
  handlerInstalled_ = true;
}

void ConsoleFeedback::SetEmergencyStop(EmergencyStop stop, void* context) {
  gEmergencyStop = nullptr;
  gEmergencyContext = context;
  gEmergencyStop = stop;
}

bool ConsoleFeedback::InteractiveInput() const { return in_ != nullptr && isatty(fileno(in_)) != 0; }

void ConsoleFeedback::SetStatus(const std::string& text) {
  if (policy_.quiet) return;
  if (barOnTerminal_ && lastShownPercent_ >= 0) std::fputc('\n', err_);
  lastShownPercent_ = -1;
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void ConsoleFeedback::PumpMessages() {
  if (gPendingCancel) {
    gPendingCancel = 0;
    SetCancelRequested(1);
  }
}

void ConsoleFeedback::Beep() {
  if (barOnTerminal_) std::fputc('\a', err_);
}

int ConsoleFeedback::Ask(const std::string& question, const std::string& choices, int defaultAnswer) {
  if (!InteractiveInput()) return defaultAnswer;
  for (;;) {
    std::fprintf(err_, "%s %s ", question.c_str(), choices.c_str());
    std::fflush(err_);
    // Zeroed, so that a line break found in it is one this line brought:
    // a typed NUL byte must not hide the line's end.
    char line[64] = {};
    if (gPendingCancel || std::fgets(line, sizeof line, in_) == nullptr) {
      // Ctrl+C (or end of input) at a prompt answers it with Cancel; the
      // signal has done its work then and does not also cancel later.
      gPendingCancel = 0;
      std::clearerr(in_);
      return kCancel;
    }
    // Drop the rest of an over-long line, or its tail would be taken as the
    // answer to the next round.
    if (std::memchr(line, '\n', sizeof line) == nullptr) {
      int rest;
      while ((rest = std::fgetc(in_)) != EOF && rest != '\n') {
      }
    }
    const char c = line[0];
    if (c == 'o' || c == 'O' || c == 'j' || c == 'J' || c == 'y' || c == 'Y') return kOk;
    if (c == 'w' || c == 'W' || c == 'r' || c == 'R') return kRetry;
    if (c == 'a' || c == 'A' || c == 'n' || c == 'N' || c == 'c' || c == 'C') return kCancel;
  }
}

int ConsoleFeedback::Present(MessageKind kind, const std::string& text) {
  if (barOnTerminal_ && lastShownPercent_ >= 0) std::fputc('\n', err_);
  lastShownPercent_ = -1;
  std::fprintf(err_, "%s%s\n", KindPrefix(kind), text.c_str());
  std::fflush(err_);
  switch (kind) {
    case MessageKind::OkCancel: {
      if (policy_.assumeYes) return kOk;
      const int answer = Ask("Weiter?", "[o]k / [a]bbrechen:", kCancel);
      if (answer == kRetry) return kOk;
      if (!InteractiveInput()) std::fprintf(err_, "(keine Bestätigung: abgebrochen; --yes bestätigt)\n");
      return answer;
    }
    case MessageKind::RetryCancel: {
      const int fallback = policy_.retryCancelAnswer == kRetry ? kRetry : kCancel;
      int answer = Ask("Weiter?", "[w]eiter / [a]bbrechen:", fallback);
      if (answer == kOk) answer = kRetry;
      if (!InteractiveInput()) std::fprintf(err_, "(%s)\n", answer == kRetry ? "weiter" : "abgebrochen");
      return answer;
    }
    case MessageKind::Info:
    case MessageKind::Plain:
      return kOk;
  }
  return kOk;
}

void ConsoleFeedback::ShowBar(int position, int range) {
  if (policy_.quiet || range <= 0) return;
  const int percent = position * 100 / range;
  if (barOnTerminal_) {
    if (position == 0 && lastShownPercent_ > 0) {
      // The reset at the end of an operation: a window empties its bar, a
      // terminal keeps the line showing how far it got and moves on.
      std::fputc('\n', err_);
      lastShownPercent_ = -1;
      return;
    }
    if (percent == lastShownPercent_) return;
    char bar[51];
    const int filled = position * 50 / range;
    for (int i = 0; i < 50; ++i) bar[i] = i < filled ? '#' : '.';
    bar[50] = '\0';
    std::fprintf(err_, "\r[%s] %3d %%", bar, percent);
    std::fflush(err_);
    lastShownPercent_ = percent;
  } else {
    // Without a terminal: one plain line per tenth, so logs stay short.
    if (position == 0 || percent / 10 == lastShownPercent_ / 10) {
      if (position == 0) lastShownPercent_ = 0;
      return;
    }
    std::fprintf(err_, "Fortschritt: %d %%\n", percent / 10 * 10);
    lastShownPercent_ = percent;
  }
}

}  // namespace tav
