#pragma once
// A sample transfer package for the demo, the tests and the benchmark: S-record
// text that passes the downloader's record test, and binary blocks of chosen
// sizes. The content is a pure function of the options, so two runs with the same
// options give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace dvx {

struct SampleOptions {
  uint8_t machineType = 0x05;
  uint32_t text1Records = 16;  // data records of block 1 (besides S0 and S7)
  uint32_t text2Records = 8;   // data records of block 2 (besides S0 and S8)
  // One binary block per size: one packet, two packets, and one over 6000 bytes.
  std::vector<uint64_t> binarySizes = {300, 2039, 7000};
  uint32_t seed = 1;
};

// One S-record line without its line end: "S", type, count, address of
// addressBytes bytes, data, checksum.
std::string MakeSRecord(int type, uint32_t address, int addressBytes,
                        const std::vector<uint8_t>& data);

// Block 1: S0, S3 data records, a final S7; CR LF line ends.
std::string SampleText1(const SampleOptions& options);
// Block 2: comment lines, S0, S2 data records, S8, the "*****" end marker.
std::string SampleText2(const SampleOptions& options);
// Binary block number index (0-based) of the given size.
std::vector<uint8_t> SampleBinary(const SampleOptions& options, size_t index);

// Every block of the sample in order: the two texts, then the binary blocks.
std::vector<std::vector<uint8_t>> SampleBlocks(const SampleOptions& options);

}  // namespace dvx
