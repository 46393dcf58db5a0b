#pragma once
// The simulated panel as a byte-stream peer: it cuts the host's bytes into requests,
// answers them as the panel would, applies the fault plan, keeps silent while it
// restarts, and hears nothing while the line settings differ from its own.
//
//   dravik::VirtualClock clock;
//   PanelCore panel(config, clock);
//   panel.Receive(BuildRequest(cmd::kIdentify, 1));
//   panel.Poll();
//   n = panel.TakeOutput(buffer);

#include <deque>
#include <optional>
#include <vector>

#include "downloader/platform/clock.h"
#include "tools/panel-sim/byte_stream_peer.h"
#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/panel_session.h"
#include "tools/panel-sim/request_parser.h"

namespace panelsim {

class PanelCore final : public ByteStreamPeer {
 public:
  // sink may be null (nothing is written); log may be empty. Both must outlive the core.
  PanelCore(PanelConfig config, dravik::Clock& clock, RecordSink* sink = nullptr,
            EventLog log = {});
  // The session refers to the core's own members.
  PanelCore(const PanelCore&) = delete;
  PanelCore& operator=(const PanelCore&) = delete;

  // Whether the host's line settings equal the panel's. While they differ every byte
  // arrives as noise and is dropped. A stream without line settings leaves it true.
  void SetLineMatched(bool matched);

  void Receive(std::span<const uint8_t> bytes) override;
  void Poll() override;
  size_t TakeOutput(std::span<uint8_t> buffer) override;
  std::optional<int64_t> NextOutputMs() const override;

  // Restarting, or hung by a fault: nothing is heard or answered.
  bool Silent() const;
  bool DownloadFinished() const { return session_.DownloadFinished(); }
  // Keeps the text block still open; call once as the run ends.
  void Finish() { session_.Finish(); }

  PanelStats Stats() const;
  const Recording& Received() const { return session_.Received(); }

 private:
  struct Pending {
    int64_t dueMs;
    std::vector<uint8_t> bytes;
    size_t sent = 0;
  };

  void Handle(const HostMessage& message, int64_t nowMs);
  void Answer(Reply reply, const std::optional<FaultAction>& fault, int64_t nowMs);
  void Send(std::vector<uint8_t> bytes, int64_t dueMs);
  void StartRestart(int64_t nowMs);
  void Log(std::string_view line) const;

  PanelConfig config_;
  dravik::Clock& clock_;
  EventLog log_;
  PanelStats stats_;
  PanelSession session_;
  RequestParser parser_;
  std::deque<Pending> output_;
  bool matched_ = true;
  bool hung_ = false;
  bool restarting_ = false;
  int64_t restartEndsMs_ = 0;
  uint64_t droppedBytes_ = 0;  // unheard or arriving while silent
};

}  // namespace panelsim
