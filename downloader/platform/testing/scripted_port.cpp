#include "downloader/platform/testing/scripted_port.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace dravik {

ScriptStep& ScriptStep::Then(uint32_t delayMs, Bytes bytes) {
  reply_.push_back({delayMs, std::move(bytes)});
  return *this;
}

ScriptStep& ScriptStep::ReplySplit(const Bytes& bytes, const std::vector<size_t>& sizes,
                                   uint32_t gapMs) {
  size_t offset = 0;
  bool first = true;
  for (size_t size : sizes) {
    const size_t end = std::min(bytes.size(), offset + size);
    Then(first ? 0 : gapMs, Bytes(bytes.begin() + static_cast<ptrdiff_t>(offset),
                                  bytes.begin() + static_cast<ptrdiff_t>(end)));
    offset = end;
    first = false;
  }
  if (offset < bytes.size()) {
    Then(first ? 0 : gapMs, Bytes(bytes.begin() + static_cast<ptrdiff_t>(offset), bytes.end()));
  }
  return *this;
}

ScriptStep& ScriptStep::FailRead() {
  failRead_ = true;
  return *this;
}

ScriptStep& ScriptStep::FailWrite() {
  failWrite_ = true;
  return *this;
}

ScriptStep& ScriptStep::Times(int count) {
  times_ = count;
  return *this;
}

// What Open hands out: forwards to the port and marks it closed when destroyed.
class ScriptedPort::Handle final : public BytePort {
 public:
  explicit Handle(ScriptedPort& port) : port_(port) {}
  ~Handle() override {
    port_.handleOpen_ = false;
    ++port_.closeCount_;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool SetQueueSizes(uint32_t in, uint32_t out) override { return port_.SetQueueSizes(in, out); }
  bool SetTimeouts(const PortTimeouts& t) override { return port_.SetTimeouts(t); }
  bool GetLineState(LineState& state) override { return port_.GetLineState(state); }
  bool SetLineState(const LineState& state) override { return port_.SetLineState(state); }
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    return port_.Write(data, count, written);
  }
  bool ReadByte(uint8_t& byte, uint32_t& got) override { return port_.ReadByte(byte, got); }

 private:
  ScriptedPort& port_;
};

ScriptedPort::~ScriptedPort() {
  if (handleOpen_) {
    // The handle would outlive the port it forwards to.
    std::fprintf(stderr, "ScriptedPort destroyed while a handle is still open\n");
    std::abort();
  }
}

ScriptStep& ScriptedPort::Expect(Bytes request) {
  return steps_.emplace_back(std::move(request));
}

void ScriptedPort::Feed(Bytes bytes, uint32_t delayMs) {
  Schedule({{delayMs, std::move(bytes)}});
}

bool ScriptedPort::ScriptDone() const {
  if (matched_ != 0) return false;
  if (stepIndex_ >= steps_.size()) return true;
  return stepIndex_ + 1 == steps_.size() && steps_[stepIndex_].times_ == ScriptStep::kForever &&
         stepRepeats_ > 0;
}

void ScriptedPort::SetWritePlan(std::vector<WriteLimit> calls, WriteLimit thereafter) {
  writePlan_.assign(calls.begin(), calls.end());
  writeThereafter_ = thereafter;
}

ScriptStep* ScriptedPort::CurrentStep() {
  return stepIndex_ < steps_.size() ? &steps_[stepIndex_] : nullptr;
}

void ScriptedPort::ConsumeStep() {
  const ScriptStep& step = steps_[stepIndex_];
  requestTimes_.push_back(clock_.NowMs());
  matched_ = 0;
  ++stepRepeats_;
  if (step.times_ != ScriptStep::kForever && stepRepeats_ >= step.times_) {
    ++stepIndex_;
    stepRepeats_ = 0;
  }
}

void ScriptedPort::TakeByte(uint8_t value) {
  const size_t offset = written_.size();
  written_.push_back(value);
  if (derailed_) return;
  ScriptStep* step = CurrentStep();
  if (step == nullptr) {
    Problem("byte " + ToHex(&value, 1) + " written at offset " + std::to_string(offset) +
            " after the script ended");
    derailed_ = true;
    return;
  }
  if (step->request_.empty() || step->request_[matched_] != value) {
    const uint8_t* sent = written_.data() + (offset - matched_);
    Problem("step " + std::to_string(stepIndex_) + ": expected " + ToHex(step->request_) +
            ", got " + ToHex(sent, matched_ + 1) + "...");
    derailed_ = true;
    return;
  }
  if (++matched_ < step->request_.size()) return;
  Schedule(step->reply_);
  if (step->failRead_) failNextRead_ = true;
  ConsumeStep();
}

void ScriptedPort::Schedule(const std::vector<Chunk>& chunks) {
  uint64_t due = std::max(clock_.NowMs(), lastDueMs_);
  for (const Chunk& chunk : chunks) {
    due += chunk.delayMs;
    for (uint8_t value : chunk.bytes) input_.push_back({due, value});
  }
  lastDueMs_ = due;
}

std::optional<uint32_t> ScriptedPort::ReadTimeoutMs() const {
  const PortTimeouts& t = timeouts_;
  constexpr uint32_t kMaxDword = std::numeric_limits<uint32_t>::max();
  if (t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
      t.ReadTotalTimeoutConstant == 0) {
    return 0;  // return at once with what is there
  }
  if (t.ReadIntervalTimeout == 0 && t.ReadTotalTimeoutMultiplier == 0 &&
      t.ReadTotalTimeoutConstant == 0) {
    return std::nullopt;  // no time-outs: wait until a byte comes
  }
  // For a one-byte read the interval time-out never starts: only the total counts.
  return t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant;
}

bool ScriptedPort::SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) {
  queueSizes_.emplace_back(inputBytes, outputBytes);
  return true;
}

bool ScriptedPort::SetTimeouts(const PortTimeouts& timeouts) {
  timeoutsSet_.push_back(timeouts);
  timeouts_ = timeouts;
  return true;
}

bool ScriptedPort::GetLineState(LineState& state) {
  state = lineState_;
  return true;
}

bool ScriptedPort::SetLineState(const LineState& state) {
  lineStatesSet_.push_back(state);
  if (refuseLineState_) return false;
  lineState_ = state;
  return true;
}

bool ScriptedPort::Write(const uint8_t* data, uint32_t count, uint32_t& written) {
  written = 0;
  if (failNextWrite_) {
    failNextWrite_ = false;
    return false;
  }
  ScriptStep* step = CurrentStep();
  if (step != nullptr && step->failWrite_ && matched_ == 0 && !derailed_) {
    ConsumeStep();
    return false;
  }
  WriteLimit limit = writeThereafter_;
  if (!writePlan_.empty()) {
    limit = writePlan_.front();
    writePlan_.pop_front();
  }
  clock_.Advance(limit.costMs);
  const uint32_t taken = std::min(count, limit.maxBytes);
  for (uint32_t i = 0; i < taken; ++i) TakeByte(data[i]);
  written = taken;
  return true;
}

bool ScriptedPort::ReadByte(uint8_t& byte, uint32_t& got) {
  got = 0;
  if (failNextRead_) {
    failNextRead_ = false;
    return false;
  }
  const std::optional<uint32_t> timeout = ReadTimeoutMs();
  if (!input_.empty()) {
    const uint64_t now = clock_.NowMs();
    const uint64_t wait = input_.front().dueMs > now ? input_.front().dueMs - now : 0;
    if (!timeout || wait <= *timeout) {
      clock_.Advance(wait);
      byte = input_.front().value;
      input_.pop_front();
      got = 1;
      return true;
    }
  }
  if (!timeout) {
    Problem("a read without time-outs and nothing to come would block forever");
    return false;
  }
  clock_.Advance(*timeout);
  return true;
}

std::unique_ptr<BytePort> ScriptedPort::Open(const std::string& name, PortError* error) {
  openedNames_.push_back(name);
  PortError failure = openError_;
  if (failure == PortError::None && handleOpen_) failure = PortError::InUse;
  if (error != nullptr) *error = failure;
  if (failure != PortError::None) return nullptr;
  handleOpen_ = true;
  return std::make_unique<Handle>(*this);
}

}  // namespace dravik
