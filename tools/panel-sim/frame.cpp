#include "tools/panel-sim/frame.h"

#include "downloader/link/bcc.h"
#include "tools/panel-sim/protocol.h"

namespace panelsim {

namespace {

// 7E 01, the length field for `body`, the body, and room for the block check.
std::vector<uint8_t> Assemble(std::span<const uint8_t> head, std::span<const uint8_t> data) {
  const size_t length = head.size() + data.size();
  std::vector<uint8_t> frame;
  frame.reserve(length + 5);
  frame.push_back(kStartByte);
  frame.push_back(kSecondByte);
  frame.push_back(static_cast<uint8_t>(length >> 8));
  frame.push_back(static_cast<uint8_t>(length));
  frame.insert(frame.end(), head.begin(), head.end());
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(0);
  SealFrame(frame);
  return frame;
}

}  // namespace

Request ReadRequest(std::span<const uint8_t> frame) {
  Request request;
  request.command = frame[4];
  request.number = static_cast<uint16_t>(frame[5] << 8 | frame[6]);
  request.data = frame.subspan(7, frame.size() - 8);
  request.bccOk = dravik::ComputeBcc(frame.data(), frame.size() - 1) == frame.back();
  return request;
}

std::vector<uint8_t> BuildRequest(uint8_t command, uint16_t number, std::span<const uint8_t> data) {
  const uint8_t head[] = {command, static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)};
  return Assemble(head, data);
}

std::vector<uint8_t> BuildReply(uint8_t command, uint8_t status, uint16_t number,
                                std::span<const uint8_t> data) {
  const uint8_t head[] = {command, status, static_cast<uint8_t>(number >> 8),
                          static_cast<uint8_t>(number)};
  return Assemble(head, data);
}

void SealFrame(std::vector<uint8_t>& frame) {
  frame.back() = dravik::ComputeBcc(frame.data(), frame.size() - 1);
}

}  // namespace panelsim
