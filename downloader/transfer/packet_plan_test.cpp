#include "downloader/transfer/packet_plan.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "downloader/platform/testing/hex_bytes.h"
#include "downloader/transfer/package_limits.h"

namespace dravik {
namespace {

TEST(MakePacketPlan, CutsFirstPacketShortAndTheRestAtFullSize) {
  struct Case {
    uint32_t n;
    std::vector<uint16_t> plan;
  };
  const Case cases[] = {
      {0, {0}},
      {1, {1}},
      {2038, {2038}},
      {2039, {2038, 1}},
      {4078, {2038, 2040}},
      {4079, {2038, 2040, 1}},
      {6000, {2038, 2040, 1922}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakePacketPlan(c.n), c.plan) << c.n;
  }
  const std::vector<uint16_t> largest = MakePacketPlan(static_cast<uint32_t>(kMaxBinaryBlockBytes));
  EXPECT_EQ(largest.size(), kMaxPacketsPerBlock);
  EXPECT_EQ(largest.back(), kPacketBytes);
}

TEST(BuildDataPacket, FirstPacketCarriesThePrefixAndEveryFrameFits) {
  std::array<uint8_t, kMaxFrameLength> frame;
  const Bytes data = Hex("AA BB CC");
  int length = BuildDataPacket(frame, 1, true, data);
  EXPECT_EQ(ToHex(frame.data(), static_cast<size_t>(length)),
            "7E 01 00 08 00 00 01 00 01 AA BB CC AA");
  length = BuildDataPacket(frame, 0x0102, false, data);
  EXPECT_EQ(ToHex(frame.data(), static_cast<size_t>(length)), "7E 01 00 06 00 01 02 AA BB CC A7");

  const Bytes first(kFirstPacketBytes, 0x5A);
  EXPECT_EQ(BuildDataPacket(frame, 3, true, first), kMaxFrameLength);
  const Bytes full(kPacketBytes, 0x5A);
  EXPECT_EQ(BuildDataPacket(frame, 2, false, full), kMaxFrameLength);
  EXPECT_EQ(frame[2], 0x07);
  EXPECT_EQ(frame[3], 0xFB);                            // L = 2043
  EXPECT_EQ(BuildDataPacket(frame, 2, true, full), 0);  // would not fit
}

}  // namespace
}  // namespace dravik
