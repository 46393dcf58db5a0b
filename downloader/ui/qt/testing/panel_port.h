#pragma once
// The simulated panel behind a byte port, in virtual time and in-process: what the
// downloader writes reaches the panel at once, and a read takes the panel's next
// byte, moving the virtual clock to the moment it falls due when that lies within
// the read time-out, or else by the whole time-out and returning nothing. So a
// whole download, restarts and pauses included, costs no real time. The port is
// also its own opener, one handle at a time, as opens are exclusive.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/panel_core.h"

namespace dravik {

class PanelPort final : public PortOpener {
 public:
  PanelPort(panelsim::PanelConfig config, VirtualClock& clock);
  ~PanelPort() override;

  // Any name opens the panel's line, unless a handle is still open.
  std::unique_ptr<BytePort> Open(const std::string& name, PortError* error) override;

  panelsim::PanelCore& panel() { return panel_; }
  // The names opened so far, in order.
  const std::vector<std::string>& opened() const { return opened_; }

 private:
  class Handle;
  friend class Handle;

  bool Write(const uint8_t* data, uint32_t count);
  // One byte due within waitMs; false (the clock moved by waitMs) when none is.
  bool Read(uint8_t& byte, uint32_t waitMs);

  VirtualClock& clock_;
  panelsim::PanelCore panel_;
  std::deque<uint8_t> input_;
  std::vector<std::string> opened_;
  bool open_ = false;
};

}  // namespace dravik
