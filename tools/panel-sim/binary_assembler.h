#pragma once
// Reassembles one binary block from its data packets. The first packet carries 00 01
// before its data and the number of packets in the block; the numbers then count
// down to 1, the last packet.

#include <cstdint>
#include <span>
#include <vector>

namespace panelsim {

class BinaryAssembler {
 public:
  enum class Result { Accepted, Completed, WrongNumber, MissingPrefix };

  // payload: the packet's bytes after its number, prefix included.
  Result Accept(uint16_t number, std::span<const uint8_t> payload);
  bool InProgress() const { return expected_ != 0; }
  // The packet number the block waits for; 0 between blocks.
  uint16_t Expected() const { return expected_; }
  // Drops a partial block; the next packet must start a block.
  void Abandon();
  // The completed block; the assembler is then between blocks.
  std::vector<uint8_t> TakeBlock();

 private:
  uint16_t expected_ = 0;
  std::vector<uint8_t> block_;
};

}  // namespace panelsim
