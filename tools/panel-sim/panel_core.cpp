#include "tools/panel-sim/panel_core.h"

#include <algorithm>
#include <string>

#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/protocol.h"
#include "tools/panel-sim/reply_faults.h"

namespace panelsim {

PanelCore::PanelCore(PanelConfig config, dravik::Clock& clock, RecordSink* sink, EventLog log)
    : config_(std::move(config)),
      clock_(clock),
      log_(std::move(log)),
      session_(config_, sink, log_, stats_),
      parser_(config_.frameGapMs) {}

void PanelCore::SetLineMatched(bool matched) {
  if (matched == matched_) return;
  matched_ = matched;
  parser_.Reset();
  Log(matched ? "line settings match: listening" : "line settings differ: not hearing");
}

void PanelCore::Receive(std::span<const uint8_t> bytes) {
  Poll();
  if (Silent() || !matched_) {
    droppedBytes_ += bytes.size();
    parser_.Reset();
    return;
  }
  const int64_t now = clock_.ProcessClock();
  std::vector<HostMessage> messages;
  parser_.Feed(bytes, now, messages);
  for (const HostMessage& message : messages) {
    if (Silent()) {
      droppedBytes_ += message.frame.size() + message.record.size();
      continue;
    }
    Handle(message, now);
  }
}

void PanelCore::Poll() {
  if (restarting_ && clock_.ProcessClock() >= restartEndsMs_) {
    restarting_ = false;
    parser_.Reset();
    if (!hung_) Log("restart over: answering again");
  }
}

size_t PanelCore::TakeOutput(std::span<uint8_t> buffer) {
  const int64_t now = clock_.ProcessClock();
  size_t moved = 0;
  while (moved < buffer.size() && !output_.empty() && output_.front().dueMs <= now) {
    Pending& pending = output_.front();
    const size_t count = std::min(buffer.size() - moved, pending.bytes.size() - pending.sent);
    std::copy_n(pending.bytes.begin() + static_cast<std::ptrdiff_t>(pending.sent), count,
                buffer.begin() + static_cast<std::ptrdiff_t>(moved));
    pending.sent += count;
    moved += count;
    if (pending.sent == pending.bytes.size()) output_.pop_front();
  }
  return moved;
}

std::optional<int64_t> PanelCore::NextOutputMs() const {
  if (output_.empty()) return std::nullopt;
  return output_.front().dueMs;
}

bool PanelCore::Silent() const {
  return hung_ || (restarting_ && clock_.ProcessClock() < restartEndsMs_);
}

PanelStats PanelCore::Stats() const {
  PanelStats stats = stats_;
  stats.ignoredBytes = droppedBytes_ + parser_.NoiseBytes();
  stats.hung = hung_;
  return stats;
}

void PanelCore::Handle(const HostMessage& message, int64_t nowMs) {
  const bool isRecord = message.kind == HostMessage::Kind::Record;
  const int selector = isRecord ? kRecordSelector : message.frame[4];
  ++(isRecord ? stats_.records : stats_.frames);
  const std::optional<FaultAction> fault = config_.faults.Next(selector);
  if (fault) {
    ++stats_.faults;
    Log("fault on " + std::string(SelectorName(selector)) + ": " + DescribeFault(*fault));
  }
  if (fault && fault->kind == FaultKind::Status) {
    Reply refusal;
    refusal.command = isRecord ? cmd::kTextRecord : message.frame[4];
    refusal.number = isRecord ? 1 : ReadRequest(message.frame).number;
    refusal.status = static_cast<uint8_t>(fault->value);
    Answer(std::move(refusal), std::nullopt, nowMs);
    return;
  }
  Reply reply = isRecord ? session_.OnRecord(message.record, message.overlong)
                         : session_.OnFrame(ReadRequest(message.frame));
  Answer(std::move(reply), fault, nowMs);
}

void PanelCore::Answer(Reply reply, const std::optional<FaultAction>& fault, int64_t nowMs) {
  if (fault && fault->kind == FaultKind::Type && reply.command == cmd::kIdentify &&
      !reply.data.empty()) {
    reply.data[0] = static_cast<uint8_t>(fault->value);
  }
  if (reply.send) {
    std::vector<uint8_t> frame = BuildReply(reply.command, reply.status, reply.number, reply.data);
    int64_t dueMs = nowMs + config_.replyDelayMs;
    if (fault && AlterReply(*fault, frame, dueMs) && reply.confirms) session_.ReplyLost();
    if (!frame.empty()) Send(std::move(frame), dueMs);
  }
  if (reply.restart) StartRestart(nowMs);
  if (fault && fault->kind == FaultKind::Hang) {
    hung_ = true;
    Log("hung: the panel answers no more");
  }
}

void PanelCore::Send(std::vector<uint8_t> bytes, int64_t dueMs) {
  // Replies leave in the order they were made, a late one holding back the rest.
  if (!output_.empty()) dueMs = std::max(dueMs, output_.back().dueMs);
  output_.push_back(Pending{dueMs, std::move(bytes)});
}

void PanelCore::StartRestart(int64_t nowMs) {
  session_.OnRestart();
  restarting_ = true;
  restartEndsMs_ = nowMs + config_.restartMs;
  parser_.Reset();
  Log("restarting: silent for " + std::to_string(config_.restartMs) + " ms");
}

void PanelCore::Log(std::string_view line) const {
  if (log_) log_(line);
}

}  // namespace panelsim
