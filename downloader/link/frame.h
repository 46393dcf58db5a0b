#pragma once
// Frame layout of the panel protocol. A request is
//   7E 01 | L (16 bits, big-endian) | command | packet number (16 bits) | data | BCC
// and a reply is
//   two bytes | L | command | status | packet number | data | BCC
// where L counts the bytes from the command up to, not including, the BCC, and the
// BCC is the exclusive-or of every byte before it. There is no escaping: the end of
// a frame is known only from L.

#include <cstdint>
#include <span>

#include "downloader/link/bcc.h"

namespace dravik {

inline constexpr uint8_t kFrameStart = 0x7E;
inline constexpr uint8_t kRequestMarker = 0x01;
// The longest frame built or accepted (data packets and their replies).
inline constexpr int kMaxFrameLength = 2048;
// Start, marker, length, command, packet number and BCC.
inline constexpr int kRequestOverhead = 8;
// The same with the status byte: the shortest valid reply.
inline constexpr int kMinReplyLength = 9;
// Bytes outside L: start, marker, the length field itself and the BCC.
inline constexpr int kLengthFieldExcess = 5;
// Packet number of every single-frame command.
inline constexpr uint16_t kSinglePacket = 0x0001;

inline constexpr int kLengthOffset = 2;
inline constexpr int kCommandOffset = 4;
inline constexpr int kStatusOffset = 5;
inline constexpr int kRequestPacketOffset = 5;
inline constexpr int kReplyPacketOffset = 6;
inline constexpr int kRequestDataOffset = 7;
inline constexpr int kReplyDataOffset = 8;

constexpr uint16_t ReadBigEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

constexpr void WriteBigEndian16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 8);
  bytes[1] = static_cast<uint8_t>(value);
}

namespace frame_detail {

// Start, marker, length, command, the fields that follow the command (packet number,
// or status and packet number), data and BCC.
constexpr int BuildFrame(std::span<uint8_t> frame, uint8_t command, std::span<const uint8_t> fields,
                         std::span<const uint8_t> data) {
  const size_t total = kCommandOffset + 1 + fields.size() + data.size() + 1;
  if (total > frame.size() || total > static_cast<size_t>(kMaxFrameLength)) return 0;
  frame[0] = kFrameStart;
  frame[1] = kRequestMarker;
  WriteBigEndian16(&frame[kLengthOffset], static_cast<uint16_t>(total - kLengthFieldExcess));
  size_t at = kCommandOffset;
  frame[at++] = command;
  for (uint8_t byte : fields) frame[at++] = byte;
  for (uint8_t byte : data) frame[at++] = byte;
  frame[at] = ComputeBcc(frame.data(), at);
  return static_cast<int>(total);
}

}  // namespace frame_detail

// Fills frame with the request for command and its data; returns the frame's length,
// or 0 when it would not fit frame or exceed the longest frame.
constexpr int BuildRequestFrame(std::span<uint8_t> frame, uint8_t command, uint16_t packetNumber,
                                std::span<const uint8_t> data) {
  const uint8_t fields[] = {static_cast<uint8_t>(packetNumber >> 8),
                            static_cast<uint8_t>(packetNumber)};
  return frame_detail::BuildFrame(frame, command, fields, data);
}

// A reply as a panel builds it, with 7E 01 in the two unexamined bytes; for the
// panel simulator and tests. Same result convention as BuildRequestFrame.
constexpr int BuildReplyFrame(std::span<uint8_t> frame, uint8_t command, uint8_t status,
                              uint16_t packetNumber, std::span<const uint8_t> data) {
  const uint8_t fields[] = {status, static_cast<uint8_t>(packetNumber >> 8),
                            static_cast<uint8_t>(packetNumber)};
  return frame_detail::BuildFrame(frame, command, fields, data);
}

// The length of a frame that passed validation, from its own length field.
constexpr int FrameLength(const uint8_t* frame) {
  return ReadBigEndian16(&frame[kLengthOffset]) + kLengthFieldExcess;
}

}  // namespace dravik
