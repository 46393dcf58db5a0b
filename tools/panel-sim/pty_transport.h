#pragma once
// The panel on a pseudo-terminal. The simulator holds the master; the host opens the
// slave, as often as it likes, and closes it again. The simulator never opens the
// slave itself, so the host's exclusive open always succeeds. While nobody holds the
// slave the master reports a hang-up; the transport then waits in short naps until
// the host is back, and drops whatever the panel says meanwhile, since no one is
// there to hear it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "downloader/platform/clock.h"
#include "tools/panel-sim/line_settings.h"
#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/panel_core.h"

namespace panelsim {

struct TransportOptions {
  LineSettings line;  // the panel's own; bytes are heard only while the host's match
  bool pace = false;  // deliver input and send output at the line rate of `line`
  // Stop when nothing has arrived for this long; 0 = never.
  uint32_t idleLimitMs = 0;
  // Stop once the download has finished and the host has closed the line (or this
  // long after the finish, should it keep the line open).
  bool exitAfterDownload = false;
  uint32_t finishGraceMs = 30000;
};

enum class RunEnd { Stopped, Finished, Idle, Failed };

class PtyTransport {
 public:
  // A new pseudo-terminal pair in raw mode; null with a message on failure.
  static std::unique_ptr<PtyTransport> Open(std::string* error);
  ~PtyTransport();
  PtyTransport(const PtyTransport&) = delete;
  PtyTransport& operator=(const PtyTransport&) = delete;

  // The path the host opens, e.g. /dev/pts/7.
  const std::string& SlavePath() const { return slavePath_; }

  // Serves the panel until stop is set, the run ends as the options say, or the
  // master fails. clock must be the panel's own.
  RunEnd Run(PanelCore& panel, dravik::Clock& clock, const TransportOptions& options,
             const std::atomic<bool>& stop, const EventLog& log = {});

  // How many times the host has opened the slave, as far as the hang-ups tell.
  uint32_t Opens() const { return opens_; }

 private:
  PtyTransport(int master, std::string slavePath)
      : master_(master), slavePath_(std::move(slavePath)) {}

  int master_;
  std::string slavePath_;
  uint32_t opens_ = 0;
};

}  // namespace panelsim
