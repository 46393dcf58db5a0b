#include "downloader/transfer/packet_plan.h"

#include <algorithm>
#include <cstring>

#include "downloader/link/bcc.h"

namespace dravik {

std::vector<uint16_t> MakePacketPlan(uint32_t n) {
  std::vector<uint16_t> plan;
  plan.reserve(static_cast<size_t>(BinaryPacketCount(std::max<uint32_t>(n, 1))));
  uint32_t remaining = n;
  uint32_t size = std::min(remaining, kFirstPacketBytes);
  plan.push_back(static_cast<uint16_t>(size));
  remaining -= size;
  while (remaining > 0) {
    size = std::min(remaining, kPacketBytes);
    plan.push_back(static_cast<uint16_t>(size));
    remaining -= size;
  }
  return plan;
}

int BuildDataPacket(std::span<uint8_t, kMaxFrameLength> frame, uint16_t packetNumber, bool first,
                    std::span<const uint8_t> data) {
  const size_t prefix = first ? sizeof kFirstPacketPrefix : 0;
  const size_t total = kRequestOverhead + prefix + data.size();
  if (total > frame.size()) return 0;
  frame[0] = kFrameStart;
  frame[1] = kRequestMarker;
  WriteBigEndian16(&frame[kLengthOffset], static_cast<uint16_t>(total - kLengthFieldExcess));
  frame[kCommandOffset] = kDataPacketCode;
  WriteBigEndian16(&frame[kRequestPacketOffset], packetNumber);
  uint8_t* at = &frame[kRequestDataOffset];
  if (first) {
    std::memcpy(at, kFirstPacketPrefix, prefix);
    at += prefix;
  }
  if (!data.empty()) std::memcpy(at, data.data(), data.size());
  frame[total - 1] = ComputeBcc(frame.data(), total - 1);
  return static_cast<int>(total);
}

}  // namespace dravik
