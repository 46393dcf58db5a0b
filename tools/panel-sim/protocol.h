#pragma once
// The panel's view of the wire protocol: command codes with their names, the status
// codes the panel answers with, and the frame limits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace panelsim {

inline constexpr uint8_t kStartByte = 0x7E;
inline constexpr uint8_t kSecondByte = 0x01;
// The longest frame either side builds; the length field counts all but 5 bytes of it.
inline constexpr size_t kMaxFrameSize = 2048;
inline constexpr uint16_t kMaxLengthField = kMaxFrameSize - 5;
// Command, packet number: the least a request carries after its length field.
inline constexpr uint16_t kMinRequestLength = 3;

namespace cmd {
inline constexpr uint8_t kDataPacket = 0x00;
inline constexpr uint8_t kReadPanelCode = 0x01;
inline constexpr uint8_t kPrepareTextBlock = 0x09;
inline constexpr uint8_t kSetUnlockMode = 0x10;
inline constexpr uint8_t kIdentify = 0x12;
inline constexpr uint8_t kQueryProtection = 0x14;
inline constexpr uint8_t kRequestRestart = 0x20;
inline constexpr uint8_t kBeginTextBlock = 0x60;
inline constexpr uint8_t kTextRecord = 0x61;  // reply code of a text record
inline constexpr uint8_t kEndTextBlock = 0x62;
inline constexpr uint8_t kEnterUpdateMode = 0x63;
}  // namespace cmd

namespace status {
inline constexpr uint8_t kAccepted = 0x00;
inline constexpr uint8_t kBccError = 0x01;
inline constexpr uint8_t kDataError = 0x40;
inline constexpr uint8_t kLocked = 0x60;
}  // namespace status

// Text records are not framed, so they get a selector of their own beside the
// 256 command codes (fault rules and occurrence counts use it).
inline constexpr int kRecordSelector = 0x100;
inline constexpr int kSelectorCount = 0x101;

struct CommandName {
  int selector;
  std::string_view name;
};

inline constexpr CommandName kCommandNames[] = {
    {cmd::kDataPacket, "packet"},        {cmd::kReadPanelCode, "read-code"},
    {cmd::kPrepareTextBlock, "prepare"}, {cmd::kSetUnlockMode, "unlock-mode"},
    {cmd::kIdentify, "identify"},        {cmd::kQueryProtection, "query-protection"},
    {cmd::kRequestRestart, "restart"},   {cmd::kBeginTextBlock, "begin-text"},
    {cmd::kEndTextBlock, "end-text"},    {cmd::kEnterUpdateMode, "update-mode"},
    {kRecordSelector, "record"},
};

// "identify", "record", ...; "unknown" for a code the panel does not know.
std::string_view SelectorName(int selector);
// The selector of a name from the table, or of a hexadecimal command code ("0x12", "12").
std::optional<int> SelectorByName(std::string_view text);

// The machines that restart at once after the last record of the first text block,
// without confirming it.
constexpr bool InRestartGroup(uint8_t type) {
  const int high = type >> 4;
  const bool groupA = type == 0x02 || type == 0x0A || type == 0x82 || type == 0x8A;
  return high == 0x2 || high == 0xA || high == 0x6 || high == 0x7 || groupA;
}

}  // namespace panelsim
