#include "downloader/ui/tty/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

namespace dravik {

namespace {
constexpr char kShowCursor[] = "\x1b[?25h";
constexpr char kHideCursor[] = "\x1b[?25l";

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr size_t kSignalCount = std::size(kSignals);

// What a signal handler needs to put the terminal back; one terminal per process.
struct Saved {
  int inFd = -1;
  int outFd = -1;
  termios settings{};
  // The handlers found at start, put back at the end.
  void (*handlers[kSignalCount])(int) = {};
};
Saved gSaved;

void Restore() {
  if (gSaved.inFd < 0) return;
  tcsetattr(gSaved.inFd, TCSANOW, &gSaved.settings);
  [[maybe_unused]] const ssize_t ignored = write(gSaved.outFd, kShowCursor, sizeof kShowCursor - 1);
}

void OnSignal(int signal) {
  Restore();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
}  // namespace

RawTerminal::RawTerminal(int inFd, int outFd) {
  termios settings{};
  if (!isatty(inFd) || tcgetattr(inFd, &settings) != 0) return;
  gSaved = {inFd, outFd, settings, {}};
  settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  // A stray Ctrl-S would otherwise stop the output, and with it the download at its
  // next redraw, until Ctrl-Q; here it is just a key.
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (tcsetattr(inFd, TCSANOW, &settings) != 0) return;
  // A signal the caller ignores stays ignored (nohup, a background job): such a run
  // means to outlive its terminal, and a hung-up terminal then ends input instead.
  for (size_t i = 0; i < kSignalCount; ++i) {
    gSaved.handlers[i] = std::signal(kSignals[i], OnSignal);
    if (gSaved.handlers[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
  }
  [[maybe_unused]] const ssize_t ignored = write(outFd, kHideCursor, sizeof kHideCursor - 1);
  active_ = true;
}

RawTerminal::~RawTerminal() {
  if (!active_) return;
  Restore();
  for (size_t i = 0; i < kSignalCount; ++i) {
    std::signal(kSignals[i], gSaved.handlers[i] == SIG_ERR ? SIG_DFL : gSaved.handlers[i]);
  }
  gSaved = {};
}

ReadStatus ReadAvailable(int fd, std::string& out, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return ReadStatus::End;
  if (ready == 0) return ReadStatus::Nothing;
  char buffer[512];
  ssize_t got;
  do {
    got = read(fd, buffer, sizeof buffer);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return got < 0 && errno == EAGAIN ? ReadStatus::Nothing : ReadStatus::End;
  out.append(buffer, static_cast<size_t>(got));
  return ReadStatus::Data;
}

int TerminalRows(int fd, int fallback) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_row == 0) return fallback;
  return size.ws_row;
}

}  // namespace dravik
