#pragma once
// The panel's single-frame commands: code, request data, the reply capacity (the
// longest reply accepted), and the waits that belong to them.

#include <array>
#include <cstdint>
#include <span>

#include "downloader/link/machine_types.h"

namespace dravik {

struct PanelCommand {
  uint8_t code;
  int16_t replyCapacity;
};

inline constexpr PanelCommand kIdentifyCommand{0x12, 22};
inline constexpr PanelCommand kEnterUpdateModeCommand{0x63, 50};
inline constexpr PanelCommand kPrepareTextBlockCommand{0x09, 20};
inline constexpr PanelCommand kBeginTextBlockCommand{0x60, 22};
inline constexpr PanelCommand kEndTextBlockCommand{0x62, 22};
inline constexpr PanelCommand kRequestRestartCommand{0x20, 22};
inline constexpr PanelCommand kRequestRestartAndWaitCommand{0x20, 20};
inline constexpr PanelCommand kSetUnlockModeCommand{0x10, 20};
inline constexpr PanelCommand kQueryProtectionCommand{0x14, 200};
inline constexpr PanelCommand kReadPanelCodeCommand{0x01, 60};
// Replies to text records and data packets, sent by the block senders.
inline constexpr PanelCommand kTextRecordReply{0x61, 10};
inline constexpr PanelCommand kDataPacketCommand{0x00, 2048};

// The longest request data of a single-frame command (ReadPanelCode's).
inline constexpr int kMaxCommandData = 6;

inline constexpr std::array<uint8_t, 1> kUnlockModeOn = {0x01};
inline constexpr std::array<uint8_t, 1> kUnlockModeOff = {0x00};
inline constexpr std::array<uint8_t, 4> kQueryProtectionData = {0x00, 0xEE, 0x00, 0x00};
inline constexpr std::array<uint8_t, 6> kReadPanelCodeData = {0x00, 0xEE, 0x00, 0x00, 0x00, 0x01};

// Where the protection flag and the code lie in their replies, and the shortest
// replies that hold them.
inline constexpr int kProtectionFlagOffset = 8;
inline constexpr int kMinProtectionReply = 10;
inline constexpr int kCodeOffsetByte = 24;
inline constexpr int kCodeLastByte = 32;
inline constexpr int kMinPanelCodeReply = 34;
// Type and version, then the BCC.
inline constexpr int kMinIdentifyReply = kMachineVersionOffset + 2;

inline constexpr int kPrepareTextBlockPauseMs = 2000;
inline constexpr int kRestartPauseLongMs = 7000;
inline constexpr int kRestartPauseMs = 4000;

// The time limit for the reply to the text-block preparation, which the panel sends
// only once it has made room for the block. 0 leaves only the port's own read
// time-out set when the port was opened.
constexpr uint32_t PrepareTextBlockTimeOut(uint8_t type) {
  if (IsSeries0(type)) return 20000;
  if (IsSeries5(type) || IsSeries6(type) || IsSeries7(type) || IsTypeGroupA(type) ||
      IsSeries2(type)) {
    return 120000;
  }
  if (IsSeries1(type) || IsSeries3(type) || IsSeries4(type)) {
    const bool low = (type & 0x03) != 0;
    const bool high = (type & 0x0C) != 0;
    if (low && high) return 120000;
    if (low || high) return 60000;
    return 30000;
  }
  return 0;
}

constexpr int RestartPauseMs(uint8_t type) {
  return IsRestartGroup(type) ? kRestartPauseLongMs : kRestartPauseMs;
}

}  // namespace dravik
