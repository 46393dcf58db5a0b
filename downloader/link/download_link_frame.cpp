// Frames: the block check, building a request, one exchange, and the acceptance of
// a reply.

#include "downloader/link/bcc.h"
#include "downloader/link/download_link.h"
#include "downloader/link/frame.h"
#include "downloader/link/result_codes.h"

namespace dravik {

uint8_t DownloadLink::ComputeBcc(const uint8_t* bytes, unsigned count) {
  return dravik::ComputeBcc(bytes, count);
}

int16_t DownloadLink::BuildRequest(uint8_t* frame, int16_t frameCapacity, uint8_t command,
                                   uint16_t packetNumber, const uint8_t* data, int16_t dataLength) {
  if (frame == nullptr || frameCapacity < 0 || dataLength < 0) return 0;
  if (data == nullptr && dataLength > 0) return 0;
  return static_cast<int16_t>(BuildRequestFrame(
      std::span<uint8_t>(frame, static_cast<size_t>(frameCapacity)), command, packetNumber,
      std::span<const uint8_t>(data, static_cast<size_t>(dataLength))));
}

int DownloadLink::SendReceive(const uint8_t* request, int16_t requestLength, uint8_t* reply,
                              int16_t replyCapacity, uint8_t command, uint16_t packetNumber,
                              uint32_t& status) {
  const int written = WriteBytes(request, requestLength);
  if (written != 0) return written;
  if (reply == nullptr) return 0;
  const int count = ReadFrame(reply, replyCapacity);
  if (count < 0) return count;
  return ValidateReply(reply, count, command, packetNumber, status);
}

int DownloadLink::ValidateReply(const uint8_t* reply, int count, uint8_t command,
                                uint16_t packetNumber, uint32_t& status) {
  if (reply == nullptr || count <= kStatusOffset) return RESULT_BAD_REPLY;
  // A status is reported whatever the rest of the frame looks like.
  if (reply[kStatusOffset] != 0) {
    status = reply[kStatusOffset];
    return RESULT_PANEL_STATUS;
  }
  // Shorter frames end before their packet number: comparing it would read bytes
  // that never arrived.
  if (count < kMinReplyLength) return RESULT_BAD_REPLY;
  const bool lengthOk = FrameLength(reply) == count;
  const bool bccOk = dravik::ComputeBcc(reply, static_cast<size_t>(count - 1)) == reply[count - 1];
  const bool commandOk = reply[kCommandOffset] == command;
  const bool packetOk = ReadBigEndian16(&reply[kReplyPacketOffset]) == packetNumber;
  return lengthOk && bccOk && commandOk && packetOk ? 0 : RESULT_BAD_REPLY;
}

}  // namespace dravik
