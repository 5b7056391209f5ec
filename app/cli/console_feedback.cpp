#include "app/cli/console_feedback.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tav {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
  gInterrupted = 1;
  static const char note[] = "\nAbbruch angefordert ...\n";
  // write() is async-signal-safe; the result does not matter here.
  ssize_t ignored = ::write(STDERR_FILENO, note, sizeof note - 1);
  (void)ignored;
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
    : Feedback(messageBeep), policy_(policy), in_(in), err_(err), barOnTerminal_(isatty(fileno(err)) != 0) {}

ConsoleFeedback::~ConsoleFeedback() {
  if (handlerInstalled_) std::signal(SIGINT, SIG_DFL);
}

void ConsoleFeedback::InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  handlerInstalled_ = true;
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
  if (gInterrupted) {
    gInterrupted = 0;
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
    char line[64];
    if (std::fgets(line, sizeof line, in_) == nullptr) return kCancel;
    // Drop the rest of an over-long line, or its tail would be taken as the
    // answer to the next round.
    if (std::strchr(line, '\n') == nullptr) {
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
      int answer = Ask("Weiter?", "[w]iederholen / [a]bbrechen:", fallback);
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
