#pragma once
// A whole download over a real pseudo-terminal in real time: the simulated panel
// serves the master end on a thread of its own, and the downloader's engine opens
// the slave as COM3 through a scratch prefix, the way the program opens a port.
// For the end-to-end tests and the benchmark.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/scratch_dir.h"
#include "downloader/platform/testing/recorder_window.h"
#include "downloader/settings/trans_environment.h"
#include "downloader/transfer/download_engine.h"
#include "tools/panel-sim/line_settings.h"
#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/panel_core.h"
#include "tools/panel-sim/pty_transport.h"

namespace dravik {

inline constexpr unsigned kTestComPort = 3;

// The settings of a download run at this speed and parity (0 none, 1 odd, 2 even),
// 8 data bits, one stop bit, with the usual retries and time limit.
inline TransEnvironment SettingsAt(uint32_t baudRate, uint8_t parity) {
  TransEnvironment env;
  env.PortNumber = kTestComPort;
  env.BaudRate = baudRate;
  env.DataLength = 8;
  env.StopBit = 0;
  env.Parity = parity;
  env.RetryCount = 3;
  env.TimeOut = 5000;
  return env;
}

// The simulator on a fresh pseudo-terminal, running until Stop or destruction.
class PanelOnPty {
 public:
  PanelOnPty(panelsim::PanelConfig config, panelsim::LineSettings line, bool pace);
  ~PanelOnPty();
  PanelOnPty(const PanelOnPty&) = delete;
  PanelOnPty& operator=(const PanelOnPty&) = delete;

  // Empty when the pseudo-terminal is up.
  const std::string& Error() const { return error_; }
  const std::string& SlavePath() const;
  // Ends the run and keeps a text block still open; the record is final afterwards.
  void Stop();
  const panelsim::Recording& Received() const { return core_->Received(); }
  panelsim::PanelStats Stats() const { return core_->Stats(); }

 private:
  SteadyClock clock_;
  std::string error_;
  std::unique_ptr<panelsim::PtyTransport> pty_;
  std::unique_ptr<panelsim::PanelCore> core_;
  panelsim::TransportOptions options_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A port decorator that watches the data packets go by: when the first one is
// written, when the first request after them is, the payload they carried and the
// CPU time of the writing thread in between.
struct BinaryPhaseMeter {
  bool started = false;
  bool ended = false;
  int64_t startNs = 0;  // steady clock
  int64_t endNs = 0;
  int64_t startCpuNs = 0;  // this thread's CPU clock
  int64_t endCpuNs = 0;
  uint64_t payloadBytes = 0;
  uint64_t packets = 0;
  uint32_t packetsLeft = 0;  // of the block being sent
  // The downloader's own share of the turnaround: from the last byte of a reply
  // read to the next packet written, summed over the packets after the first.
  int64_t lastReadNs = 0;
  int64_t hostTurnaroundNs = 0;

  // Sees every request the downloader writes, whole or in parts.
  void OnWrite(const uint8_t* data, uint32_t count);
  // Sees every byte the downloader reads.
  void OnRead();
};

// The downloader side: a prefix whose COM3 is the device, the package in a folder of
// its own, an engine with a recording window and real clocks.
class DownloaderOnPort {
 public:
  DownloaderOnPort(const std::string& devicePath, const std::vector<uint8_t>& package,
                   const TransEnvironment& env);
  DownloaderOnPort(const DownloaderOnPort&) = delete;
  DownloaderOnPort& operator=(const DownloaderOnPort&) = delete;

  void Run() { engine_->RunDownload(); }
  RecorderWindow& Window() { return window_; }
  DownloadEngine& Engine() { return *engine_; }
  const BinaryPhaseMeter& Meter() const { return meter_; }
  // The dialog's end results, in order (one for a run that ended properly).
  std::vector<int> EndResults() const;

 private:
  class MeteredOpener;

  ScratchDir prefix_;
  ScratchDir programDir_;
  SteadyClock clock_;
  RecorderWindow window_;
  BinaryPhaseMeter meter_;
  std::unique_ptr<PortOpener> opener_;
  std::unique_ptr<DownloadEngine> engine_;
};

}  // namespace dravik
