// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/cli/console_feedback.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
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

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  // _isatty also says yes for NUL and other character devices; only a
  // console has a console mode.
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

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
    : Feedback(messageBeep), policy_(policy), in_(in), err_(err), barOnTerminal_(IsTerminal(err)) {}

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

void ConsoleFeedback::InterruptAsCtrlC() {
#ifdef _WIN32
  OnConsoleControl(CTRL_C_EVENT);
#else
  std::raise(SIGINT);
#endif
}

void ConsoleFeedback::SetEmergencyStop(EmergencyStop stop, void* context) {
  gEmergencyStop = nullptr;
  gEmergencyContext = context;
  gEmergencyStop = stop;
}

bool ConsoleFeedback::InteractiveInput() const { return in_ != nullptr && IsTerminal(in_); }

void ConsoleFeedback::SetStatus(const std::string& text) {
  // The operations set their status again at every stage; a log shows it once.
  const bool repeated = text == phase_;
  phase_ = text;
  if (policy_.quiet || repeated) return;
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

int ConsoleFeedback::Ask(const std::string& question, const std::string& choices, int defaultAnswer,
                         int enterAnswer) {
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
    if (enterAnswer != 0 && (c == '\n' || c == '\r')) return enterAnswer;
    if (c == 'o' || c == 'O' || c == 'j' || c == 'J' || c == 'y' || c == 'Y') return kOk;
    if (c == 'w' || c == 'W' || c == 'r' || c == 'R') return kRetry;
    if (c == 'a' || c == 'A' || c == 'n' || c == 'N' || c == 'c' || c == 'C') return kCancel;
  }
}

int ConsoleFeedback::Present(MessageKind kind, const std::string& text) {
  // -q with --yes: the confirmed prompt is nothing the user needs to read.
  if (kind == MessageKind::OkCancel && policy_.quiet && policy_.assumeYes) return kOk;
  if (barOnTerminal_ && lastShownPercent_ >= 0) std::fputc('\n', err_);
  lastShownPercent_ = -1;
  std::fprintf(err_, "%s%s\n", KindPrefix(kind), text.c_str());
  std::fflush(err_);
  switch (kind) {
    case MessageKind::OkCancel: {
      if (policy_.assumeYes) return kOk;
      const int answer = policy_.enterConfirms ? Ask("Weiter?", "[Enter] weiter / [a]bbrechen:", kCancel, kOk)
                                               : Ask("Weiter?", "[o]k / [a]bbrechen:", kCancel);
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

namespace {

// Columns of the terminal on `file`; COLUMNS or 80 when it does not say.
int TerminalColumns(std::FILE* file) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
#else
  winsize size{};
  if (ioctl(fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  const char* columns = std::getenv("COLUMNS");
  const int value = columns != nullptr ? std::atoi(columns) : 0;
  return value > 0 ? value : 80;
}

// Columns a UTF-8 text takes: continuation bytes take none.
int TextColumns(const std::string& text) {
  int columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns;
}

}  // namespace

std::string ConsoleFeedback::BarLine(int position, int range, int columns) const {
  const long long seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - barStart_).count();
  char tail[48];
  std::snprintf(tail, sizeof tail, " %3d %% %lld:%02lld", position * 100 / range, seconds / 60, seconds % 60);
  // One column stays free, so that the cursor never wraps to the next line.
  const int room = columns - 1 - TextColumns(tail);
  std::string phase = phase_.empty() ? std::string() : phase_ + " ";
  if (room - TextColumns(phase) < 12) phase.clear();
  const int barWidth = room - TextColumns(phase) - 2;
  if (barWidth < 10) return std::string(tail + 1);
  std::string bar = phase + "[";
  const int filled = int(int64_t(position) * barWidth / range);
  bar.append(size_t(filled), '#');
  bar.append(size_t(barWidth - filled), '.');
  return bar + "]" + tail;
}

void ConsoleFeedback::ShowBar(int position, int range) {
  if (policy_.quiet || range <= 0) return;
  const int percent = position * 100 / range;
  if (position == 0) {
    // Start and end of an operation both empty the bar. Nothing is drawn
    // for an empty bar; a terminal keeps the line showing how far it got.
    if (barOnTerminal_ && lastShownPercent_ >= 0) std::fputc('\n', err_);
    lastShownPercent_ = -1;
    lastShownSecond_ = -1;
    barStart_ = std::chrono::steady_clock::now();
    return;
  }
  if (barOnTerminal_) {
    const long long second =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - barStart_).count();
    if (percent == lastShownPercent_ && second == lastShownSecond_) return;
    std::fprintf(err_, "\r%s\033[K", BarLine(position, range, TerminalColumns(err_)).c_str());
    std::fflush(err_);
    lastShownPercent_ = percent;
    lastShownSecond_ = second;
  } else {
    // Without a terminal: one plain line per tenth, so logs stay short.
    if (percent / 10 == (lastShownPercent_ < 0 ? 0 : lastShownPercent_) / 10) {
      if (lastShownPercent_ < 0) lastShownPercent_ = 0;
      return;
    }
    std::fprintf(err_, "%s: %d %%\n", phase_.empty() ? "Fortschritt" : phase_.c_str(), percent / 10 * 10);
    lastShownPercent_ = percent;
  }
}

}  // namespace tav
