#pragma once
// The fixed numbers of the transfer package: its file name, header and trailer,
// and the bounds that the packet plan of a binary block puts on its size.

#include <cstdint>

namespace dravik {

inline constexpr char kPackageFileName[] = "data.dvx";

// Header: -1, 2, the machine type (low byte), one unused value; all 32-bit
// little-endian. Block 1's length follows it.
inline constexpr uint64_t kPackageHeaderBytes = 16;
inline constexpr int32_t kPackageMagic = -1;
inline constexpr int32_t kPackageVersion = 2;
// The smallest file that holds the header and the zero length that ends the chain.
inline constexpr uint64_t kPackageMinimumBytes = kPackageHeaderBytes + 4;

// Block 1 and block 2 are text; the sequence needs both.
inline constexpr uint32_t kTextBlockCount = 2;

// A binary block goes out as a first packet of up to 2038 bytes (the two bytes
// 00 01 precede its data), then packets of 2040 bytes, numbered down to 1 with a
// 16-bit number; so a block has at most 65535 packets.
inline constexpr uint32_t kFirstPacketBytes = 2038;
inline constexpr uint32_t kPacketBytes = 2040;
inline constexpr uint32_t kMaxPacketsPerBlock = 65535;

// P, the number of packets of a binary block of n bytes (n > 0).
constexpr uint64_t BinaryPacketCount(uint64_t n) {
  if (n <= kFirstPacketBytes) return 1;
  return 1 + (n - kFirstPacketBytes + kPacketBytes - 1) / kPacketBytes;
}

// The largest binary block whose packets can still be numbered.
inline constexpr uint64_t kMaxBinaryBlockBytes =
    kFirstPacketBytes + uint64_t{kMaxPacketsPerBlock - 1} * kPacketBytes;

static_assert(BinaryPacketCount(kMaxBinaryBlockBytes) == kMaxPacketsPerBlock);
static_assert(BinaryPacketCount(kMaxBinaryBlockBytes + 1) == kMaxPacketsPerBlock + 1);
static_assert(BinaryPacketCount(2039) == 2 && BinaryPacketCount(6000) == 3);

}  // namespace dravik
