#include "downloader/platform/termios_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "downloader/platform/port_error.h"
#include "downloader/platform/port_timeouts.h"
#include "downloader/platform/termios_line.h"

namespace dravik {

namespace {

using Steady = std::chrono::steady_clock;

// Unix98 pseudo-terminal slaves (136 to 143) and the old BSD ones (3).
bool IsPseudoTerminal(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned major = ::major(info.st_rdev);
  return (major >= 136 && major <= 143) || major == 3;
}

// Waits for events on fd for at most limit (forever when nullopt), resuming after
// signals. The result is poll's: > 0 ready, 0 timed out, < 0 failed.
int PollFor(int fd, short events, std::optional<std::chrono::milliseconds> limit, short& revents) {
  const Steady::time_point deadline = Steady::now() + limit.value_or(std::chrono::milliseconds(0));
  for (;;) {
    int wait = -1;
    if (limit) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
      wait = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
    }
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    revents = entry.revents;
    return ready;
  }
}

class TermiosPort final : public BytePort {
 public:
  TermiosPort(int fd, bool pseudoTerminal) : fd_(fd), pseudoTerminal_(pseudoTerminal) {}
  ~TermiosPort() override {
    ioctl(fd_, TIOCNXCL);  // the flag stays on the tty while any other handle is open
    close(fd_);
  }
  TermiosPort(const TermiosPort&) = delete;
  TermiosPort& operator=(const TermiosPort&) = delete;

  // Linux ttys have fixed buffers; the sizes are taken as a wish.
  bool SetQueueSizes(uint32_t, uint32_t) override { return true; }

  bool SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return true;
  }

  bool GetLineState(LineState& state) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    state = shadow_;
    ReadLineState(t, state);
    return true;
  }

  bool SetLineState(const LineState& state) override {
    termios asked{};
    if (tcgetattr(fd_, &asked) != 0 || !ApplyLineState(state, asked)) return false;
    // glibc reports EINVAL when none of the changes took, which on a pseudo-terminal
    // is the normal case when only parity enable was asked; the read-back decides.
    if (tcsetattr(fd_, TCSANOW, &asked) != 0 && errno != EINVAL) return false;
    termios got{};
    if (tcgetattr(fd_, &got) != 0 || !DeviceKeptLineState(asked, got, pseudoTerminal_)) {
      return false;
    }
    shadow_ = state;
    SetModemLines(state);
    return true;
  }

  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    written = 0;
    if (count == 0) return true;
    short revents = 0;
    const int ready = PollFor(fd_, POLLOUT, WriteLimit(count), revents);
    if (ready < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
    if (ready == 0) return true;
    for (;;) {
      const ssize_t n = write(fd_, data, count);
      if (n >= 0) {
        written = static_cast<uint32_t>(n);
        return true;
      }
      if (errno == EINTR) continue;
      return errno == EAGAIN;
    }
  }

  bool ReadByte(uint8_t& byte, uint32_t& got) override {
    got = 0;
    const std::optional<std::chrono::milliseconds> limit = OneByteReadLimit(timeouts_);
    const Steady::time_point deadline =
        Steady::now() + limit.value_or(std::chrono::milliseconds(0));
    for (;;) {
      std::optional<std::chrono::milliseconds> left;
      if (limit) {
        left = std::max(std::chrono::milliseconds(0),
                        std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()));
      }
      short revents = 0;
      const int ready = PollFor(fd_, POLLIN, left, revents);
      if (ready < 0) return false;
      if (ready == 0) return true;
      const ssize_t n = read(fd_, &byte, 1);
      if (n == 1) {
        got = 1;
        return true;
      }
      // A hung-up line (adapter unplugged, the other end of a pty gone) reads as an
      // error; a tty that woke without data just waits on.
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
      if (limit && Steady::now() >= deadline) return true;
    }
  }

 private:
  std::optional<std::chrono::milliseconds> WriteLimit(uint32_t count) const {
    const uint64_t total = uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * count +
                           timeouts_.WriteTotalTimeoutConstant;
    if (total == 0) return kWriteSlice;
    return std::chrono::milliseconds(total);
  }

  // DTR and RTS follow the enable/disable codes where the device has the lines; a
  // pseudo-terminal has none, and the request is then simply not carried out.
  void SetModemLines(const LineState& state) {
    int raise = 0;
    int drop = 0;
    (state.fDtrControl == 1 ? raise : drop) |= TIOCM_DTR;
    if (state.fRtsControl == 1) raise |= TIOCM_RTS;
    if (state.fRtsControl == 0) drop |= TIOCM_RTS;
    ioctl(fd_, TIOCMBIS, &raise);
    ioctl(fd_, TIOCMBIC, &drop);
  }

  int fd_;
  bool pseudoTerminal_;
  PortTimeouts timeouts_{};
  LineState shadow_{};
};

std::unique_ptr<BytePort> Fail(PortError reason, PortError* error, int fd) {
  if (fd >= 0) close(fd);
  if (error != nullptr) *error = reason;
  return nullptr;
}

}  // namespace

std::unique_ptr<BytePort> OpenTermiosPort(const std::string& path, PortError* error) {
  // Non-blocking, so the open does not wait for a carrier; the port waits with poll.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(PortErrorFromErrno(errno), error, -1);
  if (!isatty(fd)) return Fail(PortError::NotASerialPort, error, fd);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(PortErrorFromErrno(errno), error, fd);
  // Root opens a tty that another program holds exclusively; the flag still tells.
  int heldExclusively = 0;
  if (ioctl(fd, TIOCGEXCL, &heldExclusively) == 0 && heldExclusively != 0) {
    return Fail(PortError::InUse, error, fd);
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) return Fail(PortErrorFromErrno(errno), error, fd);
  MakeRaw(t);
  if (tcsetattr(fd, TCSANOW, &t) != 0 && errno != EINVAL) {
    return Fail(PortErrorFromErrno(errno), error, fd);
  }
  tcflush(fd, TCIFLUSH);
  // Last, so that no failure above leaves the flag set on the tty.
  if (ioctl(fd, TIOCEXCL) != 0) return Fail(PortErrorFromErrno(errno), error, fd);
  if (error != nullptr) *error = PortError::None;
  return std::make_unique<TermiosPort>(fd, IsPseudoTerminal(fd));
}

}  // namespace dravik
