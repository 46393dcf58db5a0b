#include "tools/panel-sim/reply_faults.h"

#include "tools/panel-sim/frame.h"

namespace panelsim {

namespace {

// Junk for stray and trailing bytes; never the start byte, so it cannot look like a frame.
constexpr uint8_t kJunk = 0xA5;

}  // namespace

bool AlterReply(const FaultAction& action, std::vector<uint8_t>& frame, int64_t& dueMs) {
  switch (action.kind) {
    case FaultKind::Drop:
      frame.clear();
      return true;
    case FaultKind::BadBcc:
      frame.back() = static_cast<uint8_t>(frame.back() ^ 0xFF);
      return true;
    case FaultKind::WrongEcho:
      frame[4] = static_cast<uint8_t>(frame[4] ^ 0x01);
      SealFrame(frame);
      return true;
    case FaultKind::WrongNumber: {
      const uint16_t number = static_cast<uint16_t>((frame[6] << 8 | frame[7]) + 1);
      frame[6] = static_cast<uint8_t>(number >> 8);
      frame[7] = static_cast<uint8_t>(number);
      SealFrame(frame);
      return true;
    }
    case FaultKind::Stray:
      frame.insert(frame.begin(), action.value, kJunk);
      return true;
    case FaultKind::Trail:
      frame.insert(frame.end(), action.value, kJunk);
      return true;
    case FaultKind::Delay:
      dueMs += action.value;
      return true;
    case FaultKind::Status:
    case FaultKind::Type:
    case FaultKind::Hang:
      break;
  }
  return false;
}

}  // namespace panelsim
