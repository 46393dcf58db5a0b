// The panel's single-frame commands, each one transaction.

#include "downloader/link/command_table.h"
#include "downloader/link/download_link.h"
#include "downloader/link/frame.h"
#include "downloader/link/result_codes.h"

namespace dravik {

int DownloadLink::RunCommand(uint8_t command, const uint8_t* data, int16_t dataLength,
                             uint8_t* reply, int16_t replyCapacity, uint32_t& status) {
  uint8_t request[kRequestOverhead + kMaxCommandData];
  const int16_t length =
      BuildRequest(request, sizeof request, command, kSinglePacket, data, dataLength);
  if (length == 0) return RESULT_WRITE_FAILED;  // a command this table does not hold
  return Transact(request, length, reply, replyCapacity, command, kSinglePacket, status);
}

int DownloadLink::RunCommand(uint8_t command, const uint8_t* data, int16_t dataLength,
                             uint8_t* reply, int16_t replyCapacity) {
  uint32_t status = 0;
  return RunCommand(command, data, dataLength, reply, replyCapacity, status);
}

int DownloadLink::RunQuery(const PanelCommand& command, std::span<const uint8_t> data,
                           uint8_t* reply, int minReplyLength) {
  const int result = RunCommand(command.code, data.data(), static_cast<int16_t>(data.size()), reply,
                                command.replyCapacity);
  if (result != 0) return result;
  // A valid frame that ends before the data asked for says nothing; its bytes past
  // the end are not the panel's.
  return FrameLength(reply) < minReplyLength ? RESULT_BAD_REPLY : 0;
}

int DownloadLink::Identify(MachineInfo& info) {
  uint8_t reply[kIdentifyCommand.replyCapacity];
  const int result = RunQuery(kIdentifyCommand, {}, reply, kMinIdentifyReply);
  if (result != 0) return result;
  info.Type = reply[kMachineTypeOffset];
  info.Version = reply[kMachineVersionOffset];
  return 0;
}

int DownloadLink::EnterUpdateMode() {
  uint8_t reply[kEnterUpdateModeCommand.replyCapacity];
  return RunCommand(kEnterUpdateModeCommand.code, nullptr, 0, reply,
                    kEnterUpdateModeCommand.replyCapacity);
}

int DownloadLink::PrepareTextBlock() {
  const uint32_t savedTimeOut = m_env.TimeOut;
  m_env.TimeOut = PrepareTextBlockTimeOut(m_nMachineType);
  uint8_t reply[kPrepareTextBlockCommand.replyCapacity];
  const int result = RunCommand(kPrepareTextBlockCommand.code, nullptr, 0, reply,
                                kPrepareTextBlockCommand.replyCapacity);
  Pause(kPrepareTextBlockPauseMs);
  m_env.TimeOut = savedTimeOut;
  return result;
}

int DownloadLink::BeginTextBlock() {
  uint8_t reply[kBeginTextBlockCommand.replyCapacity];
  return RunCommand(kBeginTextBlockCommand.code, nullptr, 0, reply,
                    kBeginTextBlockCommand.replyCapacity);
}

int DownloadLink::EndTextBlock() {
  uint8_t reply[kEndTextBlockCommand.replyCapacity];
  return RunCommand(kEndTextBlockCommand.code, nullptr, 0, reply,
                    kEndTextBlockCommand.replyCapacity);
}

int DownloadLink::RequestRestart() {
  uint8_t reply[kRequestRestartCommand.replyCapacity];
  return RunCommand(kRequestRestartCommand.code, nullptr, 0, reply,
                    kRequestRestartCommand.replyCapacity);
}

int DownloadLink::RequestRestartAndWait(uint32_t& status) {
  uint8_t reply[kRequestRestartAndWaitCommand.replyCapacity];
  const int result = RunCommand(kRequestRestartAndWaitCommand.code, nullptr, 0, reply,
                                kRequestRestartAndWaitCommand.replyCapacity, status);
  Pause(RestartPauseMs(m_nMachineType));
  return result;
}

}  // namespace dravik
