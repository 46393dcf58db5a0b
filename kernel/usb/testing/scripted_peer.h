#pragma once
// A peer that plays a script: each step waits for the host to send its bytes, then
// answers with its reply after a delay (replies go out in step order). Input that
// departs from the script is kept and reported by Mismatch; the steps after it are
// not played.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/usb/testing/stream_peer.h"

namespace kmodel::usb {

class ScriptedPeer final : public StreamPeer {
 public:
  struct Step {
    std::vector<uint8_t> expect;
    std::vector<uint8_t> reply;
    int64_t delayMs = 0;
  };

  explicit ScriptedPeer(std::vector<Step> steps);

  void Receive(std::span<const uint8_t> bytes) override;
  void Poll() override {}
  size_t TakeOutput(std::span<uint8_t> buffer) override;
  std::optional<int64_t> NextOutputMs() const override;

  // Every step's input has arrived.
  bool Finished() const;
  // Empty while the host has kept to the script.
  std::string Mismatch() const;
  std::vector<uint8_t> Received() const;

 private:
  struct Output {
    int64_t dueMs;
    std::vector<uint8_t> bytes;
  };

  void MatchLocked();

  mutable std::mutex mutex_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  std::vector<uint8_t> received_;
  // How many of the received bytes the steps so far took.
  size_t matched_ = 0;
  std::vector<Output> output_;
  std::string mismatch_;
};

}  // namespace kmodel::usb
