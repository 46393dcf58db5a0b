#include "downloader/ui/qt/testing/panel_port.h"

#include <array>
#include <span>

namespace dravik {

class PanelPort::Handle final : public BytePort {
 public:
  explicit Handle(PanelPort& port) : port_(port) {}
  ~Handle() override { port_.open_ = false; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool SetQueueSizes(uint32_t, uint32_t) override { return true; }
  bool SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return true;
  }
  bool GetLineState(LineState& state) override {
    state = line_;
    return true;
  }
  bool SetLineState(const LineState& state) override {
    line_ = state;
    return true;
  }
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    written = port_.Write(data, count) ? count : 0;
    return true;
  }
  bool ReadByte(uint8_t& byte, uint32_t& got) override {
    // A one-byte read waits the multiplier once and the constant.
    const uint32_t waitMs =
        timeouts_.ReadTotalTimeoutMultiplier + timeouts_.ReadTotalTimeoutConstant;
    got = port_.Read(byte, waitMs) ? 1 : 0;
    return true;
  }

 private:
  PanelPort& port_;
  PortTimeouts timeouts_;
  LineState line_;
};

PanelPort::PanelPort(panelsim::PanelConfig config, VirtualClock& clock)
    : clock_(clock), panel_(std::move(config), clock) {}

PanelPort::~PanelPort() = default;

std::unique_ptr<BytePort> PanelPort::Open(const std::string& name, PortError* error) {
  if (open_) {
    if (error != nullptr) *error = PortError::InUse;
    return nullptr;
  }
  open_ = true;
  opened_.push_back(name);
  // The line starts empty, as the port flushes its input on opening.
  input_.clear();
  return std::make_unique<Handle>(*this);
}

bool PanelPort::Write(const uint8_t* data, uint32_t count) {
  panel_.Receive(std::span<const uint8_t>(data, count));
  return true;
}

bool PanelPort::Read(uint8_t& byte, uint32_t waitMs) {
  const auto fill = [this] {
    panel_.Poll();
    std::array<uint8_t, 256> buffer{};
    const size_t count = panel_.TakeOutput(buffer);
    input_.insert(input_.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(count));
  };
  fill();
  if (input_.empty()) {
    const auto now = static_cast<int64_t>(clock_.NowMs());
    const auto due = panel_.NextOutputMs();
    if (!due || *due > now + waitMs) {
      clock_.Advance(waitMs);
      return false;
    }
    const uint64_t waited = *due > now ? static_cast<uint64_t>(*due - now) : 0;
    clock_.Advance(waited);
    fill();
    if (input_.empty()) {
      clock_.Advance(waitMs - waited);
      return false;
    }
  }
  byte = input_.front();
  input_.pop_front();
  return true;
}

}  // namespace dravik
