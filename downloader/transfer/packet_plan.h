#pragma once
// How a binary block is cut into data packets, and the frame of one packet:
//   7E 01 | L | 00 | packet number | [00 01 in the block's first packet] | data | BCC
// Packets are numbered down, so the last one of a block carries 1. The first holds
// up to 2038 bytes (its 00 01 prefix takes two), the others up to 2040, so every
// frame fits in 2048 bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "downloader/link/frame.h"
#include "downloader/transfer/package_limits.h"

namespace dravik {

inline constexpr uint8_t kDataPacketCode = 0x00;
inline constexpr uint8_t kFirstPacketPrefix[] = {0x00, 0x01};

// The sizes of the packets of a block of n bytes, in sending order: one packet of n
// bytes when n <= 2038; otherwise 2038, then 2040 while more than 2040 remain, then
// the rest (1 to 2040). A block of 0 bytes is one empty packet.
std::vector<uint16_t> MakePacketPlan(uint32_t n);

// Builds the frame of one packet into frame (at least kMaxFrameLength bytes);
// returns its length. first adds the 00 01 prefix.
int BuildDataPacket(std::span<uint8_t, kMaxFrameLength> frame, uint16_t packetNumber, bool first,
                    std::span<const uint8_t> data);

}  // namespace dravik
