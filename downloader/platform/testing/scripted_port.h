#pragma once
// A byte port that plays a panel from a script, in virtual time.
//
// The script is a list of steps, each an expected request and what the panel does
// once that request has been written in full: send a reply (whole, split, delayed,
// followed by more frames), stay silent, or fail the next read. Writes are matched
// byte by byte against the current step; the first mismatch is recorded as a
// problem and the panel falls silent, so a test sees both the problem and the
// effect. Input can also be fed directly, without a request.
//
// Time: a ReadByte with nothing to read within the port's read time-out advances the
// VirtualClock by that time-out and returns got = 0; a byte that is due within the
// time-out advances the clock to its arrival. So a time-out costs no real time.
//
// The port is also its own opener: Open hands out a handle that forwards to it, at
// most one at a time (opens are exclusive), and the port outlives every handle.

#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/testing/hex_bytes.h"

namespace dravik {

// Bytes that become readable delayMs after the previous chunk (or after the moment
// they were scheduled, for the first one).
struct Chunk {
  uint32_t delayMs = 0;
  Bytes bytes;
};

// One expected request and the panel's answer to it.
class ScriptStep {
 public:
  static constexpr int kForever = std::numeric_limits<int>::max();

  explicit ScriptStep(Bytes request) : request_(std::move(request)) {}

  // The reply, whole and at once.
  ScriptStep& Reply(Bytes bytes) { return Then(0, std::move(bytes)); }
  // A further chunk delayMs after the previous one (a pause inside a frame, or a
  // second frame back to back with delay 0).
  ScriptStep& Then(uint32_t delayMs, Bytes bytes);
  // The reply cut into pieces of these sizes (the rest, if any, is a last piece),
  // gapMs apart.
  ScriptStep& ReplySplit(const Bytes& bytes, const std::vector<size_t>& sizes, uint32_t gapMs);
  // The first read after this request fails.
  ScriptStep& FailRead();
  // The write call that would carry this request fails; nothing is taken.
  ScriptStep& FailWrite();
  // The step is expected this many times in a row (kForever: for the rest of the run).
  ScriptStep& Times(int count);

  const Bytes& request() const { return request_; }

 private:
  friend class ScriptedPort;
  Bytes request_;
  std::vector<Chunk> reply_;
  bool failRead_ = false;
  bool failWrite_ = false;
  int times_ = 1;
};

// How much one write call takes and how long it blocks.
struct WriteLimit {
  uint32_t maxBytes = std::numeric_limits<uint32_t>::max();
  uint32_t costMs = 0;
};

class ScriptedPort final : public BytePort, public PortOpener {
 public:
  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}
  ~ScriptedPort() override;
  ScriptedPort(const ScriptedPort&) = delete;
  ScriptedPort& operator=(const ScriptedPort&) = delete;

  // --- Script ---
  // Appends a step; the reference stays valid for the port's life.
  ScriptStep& Expect(Bytes request);
  // Input that arrives without a request, delayMs after the input scheduled last
  // (or after now, when that has already arrived).
  void Feed(Bytes bytes, uint32_t delayMs = 0);
  // All steps consumed, their times included (kForever steps count as consumed once
  // reached).
  bool ScriptDone() const;
  // Mismatches and misuse seen so far, one line each; empty when all went to plan.
  const std::vector<std::string>& Problems() const { return problems_; }

  // --- Faults ---
  // The next calls take at most these amounts each; after them, thereafter (by
  // default everything, at no cost). {{0, 10}} with thereafter {0, 10}: nothing ever.
  void SetWritePlan(std::vector<WriteLimit> calls, WriteLimit thereafter = {});
  void FailNextRead() { failNextRead_ = true; }
  void FailNextWrite() { failNextWrite_ = true; }
  // Open fails with this error (PortError::None: opens succeed again).
  void FailOpen(PortError error) { openError_ = error; }
  // SetLineState refuses, as a device that cannot keep the settings.
  void RefuseLineState(bool refuse) { refuseLineState_ = refuse; }
  // The state GetLineState reports before anything was set.
  void SetDeviceLineState(const LineState& state) { lineState_ = state; }

  // --- Records ---
  const Bytes& Written() const { return written_; }
  // Virtual time at which each request of the script was complete.
  const std::vector<uint64_t>& RequestTimes() const { return requestTimes_; }
  size_t RequestCount() const { return requestTimes_.size(); }
  const std::vector<LineState>& LineStatesSet() const { return lineStatesSet_; }
  const LineState& DeviceLineState() const { return lineState_; }
  const std::vector<PortTimeouts>& TimeoutsSet() const { return timeoutsSet_; }
  const std::vector<std::pair<uint32_t, uint32_t>>& QueueSizesSet() const { return queueSizes_; }
  // Every name Open was asked for, the refused ones included.
  const std::vector<std::string>& OpenedNames() const { return openedNames_; }
  int CloseCount() const { return closeCount_; }
  bool IsOpen() const { return handleOpen_; }
  // Bytes still waiting to be read (arrived or not).
  size_t PendingInput() const { return input_.size(); }

  // --- BytePort (direct use, or through a handle from Open) ---
  bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override;
  bool SetTimeouts(const PortTimeouts& timeouts) override;
  bool GetLineState(LineState& state) override;
  bool SetLineState(const LineState& state) override;
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override;
  bool ReadByte(uint8_t& byte, uint32_t& got) override;

  // --- PortOpener ---
  std::unique_ptr<BytePort> Open(const std::string& name, PortError* error) override;

 private:
  class Handle;
  struct PendingByte {
    uint64_t dueMs;
    uint8_t value;
  };

  ScriptStep* CurrentStep();
  void ConsumeStep();
  void TakeByte(uint8_t value);
  void Schedule(const std::vector<Chunk>& chunks);
  // The time a one-byte read waits, by the serial time-out rules; nullopt: no limit.
  std::optional<uint32_t> ReadTimeoutMs() const;
  void Problem(std::string text) { problems_.push_back(std::move(text)); }

  VirtualClock& clock_;
  std::deque<ScriptStep> steps_;
  size_t stepIndex_ = 0;
  int stepRepeats_ = 0;
  size_t matched_ = 0;  // bytes of the current step's request written so far
  bool derailed_ = false;

  std::deque<PendingByte> input_;
  uint64_t lastDueMs_ = 0;

  std::deque<WriteLimit> writePlan_;
  WriteLimit writeThereafter_;
  bool failNextRead_ = false;
  bool failNextWrite_ = false;
  PortError openError_ = PortError::None;
  bool refuseLineState_ = false;

  LineState lineState_;
  PortTimeouts timeouts_;
  Bytes written_;
  std::vector<uint64_t> requestTimes_;
  std::vector<LineState> lineStatesSet_;
  std::vector<PortTimeouts> timeoutsSet_;
  std::vector<std::pair<uint32_t, uint32_t>> queueSizes_;
  std::vector<std::string> openedNames_;
  std::vector<std::string> problems_;
  int closeCount_ = 0;
  bool handleOpen_ = false;
};

}  // namespace dravik
