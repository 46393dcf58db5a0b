#include "tools/panel-sim/panel_session.h"

#include <algorithm>
#include <string>

#include "tools/panel-sim/protocol.h"
#include "tools/panel-sim/reply_data.h"
#include "tools/panel-sim/text_record.h"

namespace panelsim {

namespace {

constexpr uint8_t kQueryData[] = {0x00, 0xEE, 0x00, 0x00};
constexpr uint8_t kCodeQueryData[] = {0x00, 0xEE, 0x00, 0x00, 0x00, 0x01};

// Exact: the request's data must equal the entry's bytes (none for most commands).
// Free: the handler judges the data itself.
enum class DataRule { Exact, Free };

}  // namespace

struct PanelSession::CommandEntry {
  uint8_t code;
  DataRule rule;
  std::span<const uint8_t> data;
  Handler handler;
};

const PanelSession::CommandEntry PanelSession::kCommands[] = {
    {cmd::kIdentify, DataRule::Exact, {}, &PanelSession::Identify},
    {cmd::kEnterUpdateMode, DataRule::Exact, {}, &PanelSession::EnterUpdateMode},
    {cmd::kPrepareTextBlock, DataRule::Exact, {}, &PanelSession::PrepareTextBlock},
    {cmd::kBeginTextBlock, DataRule::Exact, {}, &PanelSession::BeginTextBlock},
    {cmd::kEndTextBlock, DataRule::Exact, {}, &PanelSession::EndTextBlock},
    {cmd::kRequestRestart, DataRule::Exact, {}, &PanelSession::RequestRestart},
    {cmd::kSetUnlockMode, DataRule::Free, {}, &PanelSession::SetUnlockMode},
    {cmd::kQueryProtection, DataRule::Exact, kQueryData, &PanelSession::QueryProtection},
    {cmd::kReadPanelCode, DataRule::Exact, kCodeQueryData, &PanelSession::ReadPanelCode},
    {cmd::kDataPacket, DataRule::Free, {}, &PanelSession::DataPacket},
};

Reply PanelSession::OnFrame(const Request& request) {
  Reply reply;
  reply.command = request.command;
  reply.number = request.number;
  if (!request.bccOk) return Refuse(std::move(reply), status::kBccError, "block check wrong");
  for (const CommandEntry& entry : kCommands) {
    if (entry.code != request.command) continue;
    if (entry.code != cmd::kDataPacket && request.number != 1) {
      return Refuse(std::move(reply), status::kDataError, "packet number is not 1");
    }
    if (entry.rule == DataRule::Exact && !std::ranges::equal(request.data, entry.data)) {
      return Refuse(std::move(reply), status::kDataError, "unexpected request data");
    }
    return (this->*entry.handler)(request, std::move(reply));
  }
  return Refuse(std::move(reply), status::kDataError, "unknown command");
}

Reply PanelSession::OnRecord(std::string_view record, bool overlong) {
  Reply reply;
  reply.command = cmd::kTextRecord;
  if (textBlock_ == 0)
    return Refuse(std::move(reply), status::kDataError, "record outside a text block");
  if (overlong) return Refuse(std::move(reply), status::kDataError, "record too long");
  switch (CheckRecord(record)) {
    case RecordCheck::Malformed:
      return Refuse(std::move(reply), status::kDataError, "record malformed");
    case RecordCheck::BadChecksum:
      return Refuse(std::move(reply), status::kBccError, "record checksum wrong");
    case RecordCheck::Ok:
      break;
  }
  StoreRecord(record);
  reply.confirms = true;
  if (textBlock_ == 1 && IsTerminationRecord(record)) {
    // The end of the first text block: the panel restarts by itself. Machines of the
    // restart group go at once, without confirming an S7.
    reply.send = !(InRestartGroup(config_.machineType) && record[1] == '7');
    reply.restart = true;
    EndText();
  }
  return reply;
}

void PanelSession::OnRestart() {
  EndText();
  AbandonBlock("restart");
  prepared_ = false;
  unlockMode_ = false;
  ++stats_.restarts;
}

Reply PanelSession::Identify(const Request&, Reply reply) {
  ++stats_.identifications;
  // The host identifies the panel again after a failed packet and then sends the
  // block from its start.
  AbandonBlock("identification");
  reply.data = IdentificationData(config_.machineType, config_.version);
  return reply;
}

Reply PanelSession::EnterUpdateMode(const Request&, Reply reply) {
  if (!config_.panelCode.empty() && !unlockMode_) {
    return Refuse(std::move(reply), status::kLocked, "update mode is locked");
  }
  EndText();
  if (!recording_.Empty()) {
    Log("update mode again: a new download begins");
    recording_ = Recording{};
    if (sink_) sink_->NewDownload();
  }
  text2Ended_ = false;
  finished_ = false;
  textBlock_ = 1;
  recording_.text[0].clear();
  return reply;
}

Reply PanelSession::PrepareTextBlock(const Request&, Reply reply) {
  EndText();
  prepared_ = true;
  return reply;
}

Reply PanelSession::BeginTextBlock(const Request&, Reply reply) {
  if (!prepared_) return Refuse(std::move(reply), status::kDataError, "text block not prepared");
  EndText();
  textBlock_ = 2;
  recording_.text[1].clear();
  return reply;
}

Reply PanelSession::EndTextBlock(const Request&, Reply reply) {
  if (textBlock_ == 2) {
    text2Ended_ = true;
    restartsAfterText2_ = 0;
  }
  EndText();
  return reply;
}

Reply PanelSession::RequestRestart(const Request&, Reply reply) {
  EndText();
  AbandonBlock("restart request");
  if (text2Ended_ && ++restartsAfterText2_ == 2) {
    finished_ = true;
    Log("final restart request: download finished");
  }
  reply.restart = true;
  return reply;
}

Reply PanelSession::SetUnlockMode(const Request& request, Reply reply) {
  if (request.data.size() != 1 || request.data[0] > 1) {
    return Refuse(std::move(reply), status::kDataError, "unlock mode is neither on nor off");
  }
  unlockMode_ = request.data[0] == 1;
  return reply;
}

Reply PanelSession::QueryProtection(const Request&, Reply reply) {
  if (!unlockMode_) return Refuse(std::move(reply), status::kDataError, "unlock mode is off");
  reply.data = {static_cast<uint8_t>(config_.panelCode.empty() ? 0 : 1)};
  return reply;
}

Reply PanelSession::ReadPanelCode(const Request&, Reply reply) {
  if (!unlockMode_) return Refuse(std::move(reply), status::kDataError, "unlock mode is off");
  reply.data = PanelCodeData(config_.panelCode, config_.codeOffset);
  return reply;
}

Reply PanelSession::DataPacket(const Request& request, Reply reply) {
  const uint16_t expected = assembler_.Expected();
  switch (assembler_.Accept(request.number, request.data)) {
    case BinaryAssembler::Result::Accepted:
      return reply;
    case BinaryAssembler::Result::Completed:
      StoreBlock(assembler_.TakeBlock());
      reply.confirms = true;
      return reply;
    case BinaryAssembler::Result::MissingPrefix:
      return Refuse(std::move(reply), status::kDataError, "first packet without 00 01");
    case BinaryAssembler::Result::WrongNumber:
      break;
  }
  return Refuse(std::move(reply), status::kDataError,
                "packet " + std::to_string(request.number) + " where " +
                    (expected == 0 ? std::string("a first packet") : std::to_string(expected)) +
                    " was due");
}

Reply PanelSession::Refuse(Reply reply, uint8_t status, std::string_view why) {
  ++stats_.refusals;
  Log(std::string(
          SelectorName(reply.command == cmd::kTextRecord ? kRecordSelector : reply.command)) +
      " refused: " + std::string(why));
  reply.status = status;
  reply.data.clear();
  return reply;
}

void PanelSession::StoreRecord(std::string_view record) {
  std::vector<std::string>& records = recording_.text[static_cast<size_t>(textBlock_ - 1)];
  if (lost_ == Item::Record && !records.empty() && records.back() == record) {
    ++stats_.retransmissions;
    Log("record received again after a lost reply; kept once");
  } else {
    records.emplace_back(record);
  }
  lastConfirmed_ = Item::Record;
  lost_ = Item::None;
}

void PanelSession::StoreBlock(std::vector<uint8_t> block) {
  const int number = kFirstBinaryBlock + static_cast<int>(recording_.binary.size());
  if (lost_ == Item::Block && !recording_.binary.empty() && recording_.binary.back() == block) {
    ++stats_.retransmissions;
    Log("binary block received again after a lost reply; kept once");
  } else {
    Log("binary block " + std::to_string(number) + " complete: " + std::to_string(block.size()) +
        " bytes");
    if (sink_ && !sink_->BinaryBlock(number, block)) ++stats_.recordErrors;
    recording_.binary.push_back(std::move(block));
  }
  lastConfirmed_ = Item::Block;
  lost_ = Item::None;
}

void PanelSession::EndText() {
  if (textBlock_ == 0) return;
  const int block = textBlock_;
  textBlock_ = 0;
  const std::vector<std::string>& records = recording_.text[static_cast<size_t>(block - 1)];
  Log("text block " + std::to_string(block) + " ended: " + std::to_string(records.size()) +
      " records");
  if (sink_ && !sink_->TextBlock(block, records)) ++stats_.recordErrors;
}

void PanelSession::AbandonBlock(std::string_view why) {
  if (!assembler_.InProgress()) return;
  ++stats_.abandonedBlocks;
  Log("partial binary block dropped at " + std::string(why));
  assembler_.Abandon();
}

void PanelSession::Log(std::string_view line) const {
  if (log_) log_(line);
}

}  // namespace panelsim
