#pragma once
// Cuts the host's byte stream into messages: frames, found by their start byte and
// length field, and bare text records, ended by a carriage return. Bytes that fit
// neither are noise and are dropped; a message left half-received for longer than
// the gap time is dropped too, so that a lost byte cannot swallow the next request.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

struct HostMessage {
  enum class Kind { Frame, Record };
  Kind kind = Kind::Frame;
  std::vector<uint8_t> frame;  // Frame: every byte, block check included
  std::string record;          // Record: its characters, without the carriage return
  bool overlong = false;       // Record: longer than the panel keeps; cut short
};

class RequestParser {
 public:
  static constexpr size_t kMaxRecordLength = 1024;

  explicit RequestParser(uint32_t gapMs) : gapMs_(gapMs) {}

  // Takes bytes that arrived at nowMs and appends every message they complete.
  void Feed(std::span<const uint8_t> bytes, int64_t nowMs, std::vector<HostMessage>& out);
  // Forgets a message in progress (the line changed, the panel restarted).
  void Reset();
  // Bytes dropped as noise so far: outside any message, or of abandoned messages.
  uint64_t NoiseBytes() const { return noise_; }

 private:
  enum class State { Hunt, Frame, Record, Discard };

  void Take(uint8_t byte, std::vector<HostMessage>& out);
  void Hunt(uint8_t byte);
  void TakeFrameByte(uint8_t byte, std::vector<HostMessage>& out);
  void TakeRecordByte(uint8_t byte, std::vector<HostMessage>& out);
  void Abandon();

  uint32_t gapMs_;
  State state_ = State::Hunt;
  int64_t lastByteMs_ = 0;
  size_t frameSize_ = 0;  // expected size once the length field is in
  HostMessage current_;
  uint64_t noise_ = 0;
};

}  // namespace panelsim
