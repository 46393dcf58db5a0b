#include "tools/panel-sim/request_parser.h"

#include "tools/panel-sim/protocol.h"

namespace panelsim {

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;

// Record characters: printable ASCII short of the start byte, which always begins a frame.
constexpr bool IsRecordCharacter(uint8_t byte) {
  return byte >= 0x20 && byte < kStartByte;
}

}  // namespace

void RequestParser::Feed(std::span<const uint8_t> bytes, int64_t nowMs,
                         std::vector<HostMessage>& out) {
  if (bytes.empty()) return;
  if (state_ != State::Hunt && nowMs - lastByteMs_ > gapMs_) Abandon();
  lastByteMs_ = nowMs;
  for (uint8_t byte : bytes) Take(byte, out);
}

void RequestParser::Reset() {
  state_ = State::Hunt;
  current_ = HostMessage{};
  frameSize_ = 0;
}

void RequestParser::Abandon() {
  noise_ += current_.frame.size() + current_.record.size();
  Reset();
}

void RequestParser::Take(uint8_t byte, std::vector<HostMessage>& out) {
  switch (state_) {
    case State::Hunt:
      Hunt(byte);
      break;
    case State::Frame:
      TakeFrameByte(byte, out);
      break;
    case State::Record:
      TakeRecordByte(byte, out);
      break;
    case State::Discard:
      ++noise_;
      break;
  }
}

void RequestParser::Hunt(uint8_t byte) {
  if (byte == kStartByte) {
    state_ = State::Frame;
    current_.kind = HostMessage::Kind::Frame;
    current_.frame.push_back(byte);
  } else if (IsRecordCharacter(byte) && byte != ' ') {
    state_ = State::Record;
    current_.kind = HostMessage::Kind::Record;
    current_.record.push_back(static_cast<char>(byte));
  } else {
    ++noise_;
  }
}

void RequestParser::TakeFrameByte(uint8_t byte, std::vector<HostMessage>& out) {
  std::vector<uint8_t>& frame = current_.frame;
  if (frame.size() == 1 && byte != kSecondByte) {
    // Not a frame after all: the start byte was noise, this byte may begin something.
    Abandon();
    Hunt(byte);
    return;
  }
  frame.push_back(byte);
  if (frame.size() == 4) {
    const uint16_t length = static_cast<uint16_t>(frame[2] << 8 | frame[3]);
    if (length < kMinRequestLength || length > kMaxLengthField) {
      // Where such a frame would end is unknown: drop everything until the line rests.
      Abandon();
      state_ = State::Discard;
      return;
    }
    frameSize_ = length + 5u;
  }
  if (frameSize_ != 0 && frame.size() == frameSize_) {
    out.push_back(std::move(current_));
    Reset();
  }
}

void RequestParser::TakeRecordByte(uint8_t byte, std::vector<HostMessage>& out) {
  if (byte == kCarriageReturn) {
    out.push_back(std::move(current_));
    Reset();
  } else if (IsRecordCharacter(byte)) {
    if (current_.record.size() < kMaxRecordLength) {
      current_.record.push_back(static_cast<char>(byte));
    } else {
      current_.overlong = true;
      ++noise_;
    }
  } else {
    // A control character or the start byte: whatever this was, it was not a record.
    Abandon();
    Hunt(byte);
  }
}

}  // namespace panelsim
