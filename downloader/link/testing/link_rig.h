#pragma once
// A link to a scripted panel in virtual time, for the tests of the link layer and
// of everything built on it. Link is DownloadLink or a class derived from it with
// the same constructor.

#include <cstdint>

#include "downloader/link/download_link.h"
#include "downloader/link/frame.h"
#include "downloader/link/last_outcome.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/testing/hex_bytes.h"
#include "downloader/platform/testing/recorder_window.h"
#include "downloader/platform/testing/scripted_port.h"

namespace dravik {

// The settings of an ordinary download run on COM3.
inline TransEnvironment DownloadSettings() {
  TransEnvironment env;
  env.PortNumber = 3;
  env.BaudRate = 19200;
  env.DataLength = 8;
  env.StopBit = 0;
  env.Parity = 1;
  env.RetryCount = 3;
  env.TimeOut = 5000;
  return env;
}

// A single-frame request as the link builds it.
inline Bytes RequestBytes(uint8_t command, const Bytes& data = {},
                          uint16_t packetNumber = kSinglePacket) {
  Bytes frame(kRequestOverhead + data.size());
  frame.resize(static_cast<size_t>(BuildRequestFrame(frame, command, packetNumber, data)));
  return frame;
}

// A reply as a panel sends it.
inline Bytes ReplyBytes(uint8_t command, uint8_t status = 0, const Bytes& data = {},
                        uint16_t packetNumber = kSinglePacket) {
  Bytes frame(kMinReplyLength + data.size());
  frame.resize(static_cast<size_t>(BuildReplyFrame(frame, command, status, packetNumber, data)));
  return frame;
}

template <typename Link = DownloadLink>
struct LinkRig {
  // Any start will do; a nonzero one keeps "time 0" from hiding mistakes.
  static constexpr uint64_t kStartMs = 1'000'000;

  VirtualClock clock{kStartMs};
  ScriptedPort port{clock};
  RecorderWindow window;
  Link link{port, clock, window};

  LinkRig() {
    ResetLastOutcome();
    link.m_env = DownloadSettings();
  }
  ~LinkRig() { ResetLastOutcome(); }
  LinkRig(const LinkRig&) = delete;
  LinkRig& operator=(const LinkRig&) = delete;

  // Opens the port as a connection does; the port's read time-out is TimeOut.
  int Open() { return link.OpenPort(); }
  // Virtual milliseconds since the rig was made.
  uint64_t Elapsed() const { return clock.NowMs() - kStartMs; }
};

}  // namespace dravik
