#include "tools/panel-sim/pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "tools/panel-sim/line_pacer.h"
#include "tools/panel-sim/pty_line.h"

namespace panelsim {

namespace {

constexpr uint64_t kNsPerMs = 1'000'000;
// The longest single wait: bounds how late a stop request is noticed.
constexpr uint64_t kMaxWaitNs = 50 * kNsPerMs;
// While nobody holds the slave the master reports a hang-up at once, so poll cannot
// wait for the host's return; the loop naps this long between looks instead.
constexpr uint64_t kHangUpNapNs = 2 * kNsPerMs;
constexpr size_t kChunk = 4096;

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

timespec ToTimespec(uint64_t ns) {
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Paced bytes are handed on in batches of up to this span rather than one wake-up per
// character; the last byte of a burst, the one a reply waits for, still goes on time.
constexpr uint64_t kBatchNs = 1 * kNsPerMs;

struct TimedByte {
  uint8_t byte;
  uint64_t dueNs;
  bool heard;  // input only: the line settings matched when it arrived
};

uint64_t BatchDue(const std::deque<TimedByte>& queue) {
  return std::min(queue.back().dueNs, queue.front().dueNs + kBatchNs);
}

// One run of the transport: the paced queues and the host's presence.
class Loop {
 public:
  Loop(int master, PanelCore& panel, dravik::Clock& clock, const TransportOptions& options,
       const EventLog& log, uint32_t& opens)
      : master_(master),
        panel_(panel),
        clock_(clock),
        options_(options),
        log_(log),
        opens_(opens),
        rx_(options.line),
        tx_(options.line),
        lastInputNs_(NowNs()) {}

  RunEnd Run(const std::atomic<bool>& stop);

 private:
  enum class Host { NotYet, Present, Gone };

  std::optional<RunEnd> ShouldEnd(uint64_t now);
  uint64_t WaitNs(uint64_t now) const;
  void Wait(uint64_t waitNs);
  void SeeHost(bool hungUp);
  bool ReadInput(uint64_t now);
  void DeliverInput(uint64_t now);
  void CollectOutput(uint64_t now);
  bool WriteOutput(uint64_t now);
  void Log(std::string_view line) const {
    if (log_) log_(line);
  }

  int master_;
  PanelCore& panel_;
  dravik::Clock& clock_;
  const TransportOptions& options_;
  const EventLog& log_;
  uint32_t& opens_;
  LinePacer rx_;
  LinePacer tx_;
  std::deque<TimedByte> input_;
  std::deque<TimedByte> output_;
  Host host_ = Host::NotYet;
  bool writeBlocked_ = false;
  uint64_t lastInputNs_;
  uint64_t finishedNs_ = 0;
};

RunEnd Loop::Run(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    const uint64_t now = NowNs();
    if (const std::optional<RunEnd> end = ShouldEnd(now)) return *end;
    Wait(WaitNs(now));
    const uint64_t after = NowNs();
    if (!ReadInput(after)) return RunEnd::Failed;
    DeliverInput(after);
    panel_.Poll();
    CollectOutput(after);
    if (!WriteOutput(after)) return RunEnd::Failed;
  }
  return RunEnd::Stopped;
}

std::optional<RunEnd> Loop::ShouldEnd(uint64_t now) {
  if (options_.idleLimitMs != 0 && now - lastInputNs_ > options_.idleLimitMs * kNsPerMs) {
    Log("idle limit reached");
    return RunEnd::Idle;
  }
  if (!options_.exitAfterDownload || !panel_.DownloadFinished()) return std::nullopt;
  // Leave only once the last reply is out and the host has let go of the line: closing
  // the master earlier would hang up the slave under the host's final read.
  if (!output_.empty() || panel_.NextOutputMs()) return std::nullopt;
  if (finishedNs_ == 0) finishedNs_ = now;
  if (host_ == Host::Gone || now - finishedNs_ > options_.finishGraceMs * kNsPerMs) {
    return RunEnd::Finished;
  }
  return std::nullopt;
}

uint64_t Loop::WaitNs(uint64_t now) const {
  uint64_t until = now + (host_ == Host::Gone ? kHangUpNapNs : kMaxWaitNs);
  if (!input_.empty()) until = std::min(until, BatchDue(input_));
  if (!output_.empty() && !writeBlocked_) until = std::min(until, BatchDue(output_));
  if (const std::optional<int64_t> due = panel_.NextOutputMs()) {
    const int64_t aheadMs = std::max<int64_t>(0, *due - clock_.ProcessClock());
    until = std::min(until, now + static_cast<uint64_t>(aheadMs) * kNsPerMs);
  }
  return until > now ? until - now : 0;
}

void Loop::Wait(uint64_t waitNs) {
  const timespec timeout = ToTimespec(waitNs);
  pollfd fd{master_, POLLIN, 0};
  if (writeBlocked_) fd.events |= POLLOUT;
  if (host_ == Host::Gone) {
    ppoll(nullptr, 0, &timeout, nullptr);
    timespec now{0, 0};
    ppoll(&fd, 1, &now, nullptr);
  } else {
    ppoll(&fd, 1, &timeout, nullptr);
  }
  if (fd.revents & POLLOUT) writeBlocked_ = false;
  SeeHost((fd.revents & POLLHUP) != 0);
}

void Loop::SeeHost(bool hungUp) {
  if (hungUp && host_ != Host::Gone) {
    if (host_ == Host::NotYet) ++opens_;  // opened and closed before it said anything
    host_ = Host::Gone;
    // Whatever was still to be sent dies with the connection, as on a real line.
    output_.clear();
    writeBlocked_ = false;
    Log("host closed the line");
  } else if (!hungUp && host_ == Host::Gone) {
    host_ = Host::Present;
    ++opens_;
    lastInputNs_ = NowNs();
    Log("host opened the line");
  }
}

bool Loop::ReadInput(uint64_t now) {
  if (host_ == Host::Gone) return true;
  uint8_t buffer[kChunk];
  const ssize_t count = read(master_, buffer, sizeof buffer);
  if (count < 0) {
    const int error = errno;
    if (error == EIO) SeeHost(true);
    return error == EAGAIN || error == EINTR || error == EIO;
  }
  if (count == 0) return true;
  if (host_ == Host::NotYet) {
    host_ = Host::Present;
    ++opens_;
  }
  lastInputNs_ = now;
  const std::optional<VisibleLine> seen = ReadVisibleLine(master_);
  const bool heard = seen && HearsLine(*seen, options_.line);
  for (ssize_t i = 0; i < count; ++i) {
    input_.push_back({buffer[i], options_.pace ? rx_.Schedule(now) : now, heard});
  }
  return true;
}

void Loop::DeliverInput(uint64_t now) {
  std::vector<uint8_t> run;
  while (!input_.empty() && input_.front().dueNs <= now) {
    const bool heard = input_.front().heard;
    run.clear();
    while (!input_.empty() && input_.front().dueNs <= now && input_.front().heard == heard) {
      run.push_back(input_.front().byte);
      input_.pop_front();
    }
    panel_.SetLineMatched(heard);
    panel_.Receive(run);
  }
}

void Loop::CollectOutput(uint64_t now) {
  uint8_t buffer[kChunk];
  while (const size_t count = panel_.TakeOutput(buffer)) {
    if (host_ == Host::Gone) continue;
    for (size_t i = 0; i < count; ++i) {
      output_.push_back({buffer[i], options_.pace ? tx_.Schedule(now) : now, true});
    }
  }
}

bool Loop::WriteOutput(uint64_t now) {
  while (!writeBlocked_ && !output_.empty() && output_.front().dueNs <= now) {
    uint8_t buffer[kChunk];
    size_t count = 0;
    while (count < kChunk && count < output_.size() && output_[count].dueNs <= now) {
      buffer[count] = output_[count].byte;
      ++count;
    }
    const ssize_t written = write(master_, buffer, count);
    if (written < 0) {
      const int error = errno;
      if (error == EAGAIN) {
        writeBlocked_ = true;
      } else if (error == EIO) {
        SeeHost(true);
      } else if (error != EINTR) {
        Log(std::string("write to the line failed: ") + std::strerror(error));
        return false;
      }
      continue;
    }
    output_.erase(output_.begin(), output_.begin() + written);
  }
  return true;
}

}  // namespace

std::unique_ptr<PtyTransport> PtyTransport::Open(std::string* error) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char path[128];
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, path, sizeof path) != 0 || !SetRawLine(master)) {
    if (error) *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) close(master);
    return nullptr;
  }
  return std::unique_ptr<PtyTransport>(new PtyTransport(master, path));
}

PtyTransport::~PtyTransport() {
  close(master_);
}

RunEnd PtyTransport::Run(PanelCore& panel, dravik::Clock& clock, const TransportOptions& options,
                         const std::atomic<bool>& stop, const EventLog& log) {
  Loop loop(master_, panel, clock, options, log, opens_);
  return loop.Run(stop);
}

}  // namespace panelsim
