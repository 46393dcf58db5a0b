#include "kernel/usb/testing/scripted_peer.h"

#include <algorithm>
#include <cstdio>

namespace kmodel::usb {
namespace {

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  return text.empty() ? "(nothing)" : text;
}

}  // namespace

ScriptedPeer::ScriptedPeer(std::vector<Step> steps) : steps_(std::move(steps)) {}

void ScriptedPeer::Receive(std::span<const uint8_t> bytes) {
  std::lock_guard guard(mutex_);
  received_.insert(received_.end(), bytes.begin(), bytes.end());
  MatchLocked();
}

void ScriptedPeer::MatchLocked() {
  while (mismatch_.empty() && matched_ < received_.size()) {
    std::span<const uint8_t> pending(received_.data() + matched_, received_.size() - matched_);
    if (next_ >= steps_.size()) {
      mismatch_ = "after the script: " + HexBytes(pending);
      return;
    }
    const Step& step = steps_[next_];
    size_t compared = std::min(pending.size(), step.expect.size());
    if (!std::equal(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(compared),
                    step.expect.begin())) {
      mismatch_ = "step " + std::to_string(next_ + 1) + " expected " + HexBytes(step.expect) +
                  ", got " + HexBytes(pending);
      return;
    }
    // Part of the step's input so far: wait for the rest.
    if (compared < step.expect.size()) return;
    matched_ += step.expect.size();
    if (!step.reply.empty()) output_.push_back({ModelMilliseconds() + step.delayMs, step.reply});
    ++next_;
  }
}

size_t ScriptedPeer::TakeOutput(std::span<uint8_t> buffer) {
  std::lock_guard guard(mutex_);
  int64_t now = ModelMilliseconds();
  size_t moved = 0;
  while (!output_.empty() && output_.front().dueMs <= now && moved < buffer.size()) {
    std::vector<uint8_t>& bytes = output_.front().bytes;
    size_t count = std::min(bytes.size(), buffer.size() - moved);
    std::copy_n(bytes.begin(), count, buffer.begin() + static_cast<std::ptrdiff_t>(moved));
    moved += count;
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
    if (bytes.empty()) output_.erase(output_.begin());
  }
  return moved;
}

std::optional<int64_t> ScriptedPeer::NextOutputMs() const {
  std::lock_guard guard(mutex_);
  if (output_.empty()) return std::nullopt;
  return output_.front().dueMs;
}

bool ScriptedPeer::Finished() const {
  std::lock_guard guard(mutex_);
  return next_ == steps_.size() && mismatch_.empty();
}

std::string ScriptedPeer::Mismatch() const {
  std::lock_guard guard(mutex_);
  return mismatch_;
}

std::vector<uint8_t> ScriptedPeer::Received() const {
  std::lock_guard guard(mutex_);
  return received_;
}

}  // namespace kmodel::usb
