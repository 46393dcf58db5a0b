#pragma once
// Building and reading frames. A request is 7E 01, the length, command, packet
// number, data and the block check; a reply has a status byte after the command.

#include <cstdint>
#include <span>
#include <vector>

namespace panelsim {

struct Request {
  uint8_t command = 0;
  uint16_t number = 0;
  std::span<const uint8_t> data;  // between the packet number and the block check
  bool bccOk = false;
};

// A complete request frame as the parser delivers it (its length field matches).
Request ReadRequest(std::span<const uint8_t> frame);

std::vector<uint8_t> BuildRequest(uint8_t command, uint16_t number,
                                  std::span<const uint8_t> data = {});
std::vector<uint8_t> BuildReply(uint8_t command, uint8_t status, uint16_t number,
                                std::span<const uint8_t> data = {});

// Stores a fresh block check in the last byte, after the frame has been changed.
void SealFrame(std::vector<uint8_t>& frame);

}  // namespace panelsim
