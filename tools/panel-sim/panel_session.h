#pragma once
// The panel's protocol state between restarts: update mode, the text block being
// received, the unlock mode, the binary block being reassembled, and the record of
// the download. It turns each request into the reply the panel owes; the stream, the
// clock and the faults are the business of PanelCore.

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/panel-sim/binary_assembler.h"
#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/recording.h"

namespace panelsim {

struct Reply {
  bool send = true;  // false: the panel stays quiet (the last record before a restart)
  uint8_t command = 0;
  uint8_t status = 0;
  uint16_t number = 1;
  std::vector<uint8_t> data;
  bool restart = false;   // the panel restarts once the reply is out
  bool confirms = false;  // it confirms a record kept or a block completed
};

class PanelSession {
 public:
  PanelSession(const PanelConfig& config, RecordSink* sink, const EventLog& log, PanelStats& stats)
      : config_(config), sink_(sink), log_(log), stats_(stats) {}
  PanelSession(const PanelSession&) = delete;
  PanelSession& operator=(const PanelSession&) = delete;

  Reply OnFrame(const Request& request);
  Reply OnRecord(std::string_view record, bool overlong);
  // Back to the state after power-on; the record of the download stays.
  void OnRestart();
  // The confirming reply just built did not reach the host intact, so the record or
  // block it confirmed will come again and must not be kept twice.
  void ReplyLost() { lost_ = lastConfirmed_; }
  // Keeps a text block that is still open, as the run ends.
  void Finish() { EndText(); }

  // The restart request after the one that followed text block 2: the end of a download.
  bool DownloadFinished() const { return finished_; }
  const Recording& Received() const { return recording_; }

 private:
  enum class Item { None, Record, Block };
  using Handler = Reply (PanelSession::*)(const Request&, Reply);
  struct CommandEntry;
  static const CommandEntry kCommands[];

  Reply Identify(const Request& request, Reply reply);
  Reply EnterUpdateMode(const Request& request, Reply reply);
  Reply PrepareTextBlock(const Request& request, Reply reply);
  Reply BeginTextBlock(const Request& request, Reply reply);
  Reply EndTextBlock(const Request& request, Reply reply);
  Reply RequestRestart(const Request& request, Reply reply);
  Reply SetUnlockMode(const Request& request, Reply reply);
  Reply QueryProtection(const Request& request, Reply reply);
  Reply ReadPanelCode(const Request& request, Reply reply);
  Reply DataPacket(const Request& request, Reply reply);

  Reply Refuse(Reply reply, uint8_t status, std::string_view why);
  void StoreRecord(std::string_view record);
  void StoreBlock(std::vector<uint8_t> block);
  void EndText();
  void AbandonBlock(std::string_view why);
  void Log(std::string_view line) const;

  const PanelConfig& config_;
  RecordSink* sink_;
  const EventLog& log_;
  PanelStats& stats_;

  bool prepared_ = false;
  bool unlockMode_ = false;
  int textBlock_ = 0;  // 1 or 2 while records are taken
  BinaryAssembler assembler_;
  Recording recording_;
  Item lastConfirmed_ = Item::None;
  Item lost_ = Item::None;
  bool text2Ended_ = false;
  int restartsAfterText2_ = 0;
  bool finished_ = false;
};

}  // namespace panelsim
