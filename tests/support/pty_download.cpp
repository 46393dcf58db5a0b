#include "tests/support/pty_download.h"

#include <time.h>

#include <chrono>

#include "downloader/link/frame.h"
#include "downloader/platform/dos_devices.h"
#include "downloader/platform/linux_port_opener.h"
#include "downloader/transfer/packet_plan.h"

namespace dravik {

namespace {

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

PanelOnPty::PanelOnPty(panelsim::PanelConfig config, panelsim::LineSettings line, bool pace) {
  pty_ = panelsim::PtyTransport::Open(&error_);
  if (!pty_) return;
  core_ = std::make_unique<panelsim::PanelCore>(std::move(config), clock_);
  options_.line = line;
  options_.pace = pace;
  // A stuck downloader must not keep the simulator alive forever.
  options_.idleLimitMs = 120000;
  thread_ = std::thread([this] { pty_->Run(*core_, clock_, options_, stop_); });
}

PanelOnPty::~PanelOnPty() {
  Stop();
}

const std::string& PanelOnPty::SlavePath() const {
  static const std::string kNone;
  return pty_ ? pty_->SlavePath() : kNone;
}

void PanelOnPty::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  thread_.join();
  core_->Finish();
}

void BinaryPhaseMeter::OnWrite(const uint8_t* data, uint32_t count) {
  // Requests are written whole by the channel; a partial write continues a frame
  // already seen, which carries nothing new to tell.
  if (count < kRequestOverhead || data[0] != kFrameStart || data[1] != kRequestMarker) return;
  const int length = FrameLength(data);
  if (static_cast<uint32_t>(length) != count) return;
  const bool packet = data[kCommandOffset] == kDataPacketCode;
  if (packet && !ended) {
    const int64_t now = SteadyNs();
    if (!started) {
      started = true;
      startNs = now;
      startCpuNs = ThreadCpuNs();
    } else {
      hostTurnaroundNs += now - lastReadNs;
    }
    // A block's packets count down to 1, and its first one carries 00 01 before
    // its data.
    const uint16_t number = ReadBigEndian16(&data[kRequestPacketOffset]);
    const bool first = packetsLeft == 0;
    packetsLeft = first ? number - 1u : packetsLeft - 1u;
    payloadBytes +=
        static_cast<uint64_t>(length - kRequestOverhead) - (first ? sizeof kFirstPacketPrefix : 0);
    ++packets;
  } else if (!packet && started && !ended) {
    ended = true;
    endNs = SteadyNs();
    endCpuNs = ThreadCpuNs();
  }
}

void BinaryPhaseMeter::OnRead() {
  if (started && !ended) lastReadNs = SteadyNs();
}

// Hands out the real ports, each wrapped so that the meter sees the writes.
class DownloaderOnPort::MeteredOpener final : public PortOpener {
 public:
  MeteredOpener(std::string prefix, BinaryPhaseMeter& meter)
      : real_(std::move(prefix)), meter_(meter) {}

  std::unique_ptr<BytePort> Open(const std::string& name, PortError* error) override {
    std::unique_ptr<BytePort> port = real_.Open(name, error);
    if (!port) return nullptr;
    return std::make_unique<MeteredPort>(std::move(port), meter_);
  }

 private:
  class MeteredPort final : public BytePort {
   public:
    MeteredPort(std::unique_ptr<BytePort> port, BinaryPhaseMeter& meter)
        : port_(std::move(port)), meter_(meter) {}
    bool SetQueueSizes(uint32_t in, uint32_t out) override { return port_->SetQueueSizes(in, out); }
    bool SetTimeouts(const PortTimeouts& t) override { return port_->SetTimeouts(t); }
    bool GetLineState(LineState& s) override { return port_->GetLineState(s); }
    bool SetLineState(const LineState& s) override { return port_->SetLineState(s); }
    bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
      meter_.OnWrite(data, count);
      return port_->Write(data, count, written);
    }
    bool ReadByte(uint8_t& byte, uint32_t& got) override {
      const bool ok = port_->ReadByte(byte, got);
      if (got == 1) meter_.OnRead();
      return ok;
    }

   private:
    std::unique_ptr<BytePort> port_;
    BinaryPhaseMeter& meter_;
  };

  LinuxPortOpener real_;
  BinaryPhaseMeter& meter_;
};

DownloaderOnPort::DownloaderOnPort(const std::string& devicePath,
                                   const std::vector<uint8_t>& package,
                                   const TransEnvironment& env) {
  SetComLink(prefix_.path(), kTestComPort, devicePath);
  programDir_.Write("data.dvx", std::string(package.begin(), package.end()));
  opener_ = std::make_unique<MeteredOpener>(prefix_.path(), meter_);
  engine_ = std::make_unique<DownloadEngine>(*opener_, clock_, window_, programDir_.path());
  engine_->m_env = env;
  engine_->m_env.PortNumber = kTestComPort;
}

std::vector<int> DownloaderOnPort::EndResults() const {
  std::vector<int> results;
  for (const WindowEvent& e : window_.Events()) {
    if (e.kind == WindowEvent::Kind::EndDialog) results.push_back(e.result);
  }
  return results;
}

}  // namespace dravik
