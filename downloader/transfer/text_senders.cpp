// The two text blocks, sent record by record: each record line goes out as bare
// text with a carriage return, and the panel confirms it with a short frame.

#include <limits>

#include "downloader/link/command_table.h"
#include "downloader/link/frame.h"
#include "downloader/link/machine_types.h"
#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"
#include "downloader/transfer/download_controls.h"
#include "downloader/transfer/download_engine.h"

namespace dravik {

namespace {

constexpr char kRecordEnd = '\r';
// The one record type that matters: the end record of block 1, after which a panel
// of the restart group restarts at once instead of answering.
constexpr int kEndRecordType = 7;
// A record line with its carriage return must fit the 16-bit length of a write.
constexpr size_t kMaxRecordLine = std::numeric_limits<int16_t>::max() - 1;

}  // namespace

int DownloadEngine::SendTextRecord(const char* text, int16_t length, bool noReply,
                                   uint32_t& status) {
  uint8_t reply[kTextRecordReply.replyCapacity];
  return Transact(reinterpret_cast<const uint8_t*>(text), length, noReply ? nullptr : reply,
                  kTextRecordReply.replyCapacity, kTextRecordReply.code, kSinglePacket, status);
}

int DownloadEngine::ReportSendFailure(int result) {
  // A declined code prompt ends the block without a further word.
  if (result != 0 && result != RESULT_CANCELLED) ShowError(LoadString(IDS_COMMUNICATION_ERROR));
  return result;
}

int DownloadEngine::SendTextLines(const TextBlockPlan& plan, uint16_t brokenMessage,
                                  TextBlockKind kind) {
  const uint32_t lineCount = plan.LineCount();
  uint32_t a = 0;
  for (const TextLine& line : plan.lines) {
    PumpMessages();
    if (line.action == LineAction::Skip) continue;
    if (line.action == LineAction::End) break;
    if (!CheckTextRecord(line.text) || line.text.size() > kMaxRecordLine) {
      ShowError(LoadString(brokenMessage));
      return RESULT_BROKEN_DATA;
    }
    const bool noReply = kind == TextBlockKind::Block1 && IsRestartGroup(m_nPackageModel) &&
                         TextRecordType(line.text) == kEndRecordType;
    m_strRecord.assign(line.text);
    m_strRecord += kRecordEnd;
    const int result = RepeatWhileUnlocked([&] {
      uint32_t status = 0;
      return SendTextRecord(m_strRecord.data(), static_cast<int16_t>(m_strRecord.size()), noReply,
                            status);
    });
    if (result != 0) return ReportSendFailure(result);
    a += 100;
    SetProgress(IDC_STEP_BAR, IDC_STEP_PERCENT, static_cast<int>(a / lineCount));
  }
  return 0;
}

int DownloadEngine::SendTextBlock1(const uint8_t* data, uint32_t length) {
  ResetBlockProgress();
  const TextBlockPlan plan =
      SplitTextBlock(std::span<const uint8_t>(data, length), TextBlockKind::Block1);
  const int result = SendTextLines(plan, IDS_PROGRAMMED_FILE_BROKEN, TextBlockKind::Block1);
  PumpMessages();
  return result;
}

int DownloadEngine::SendTextBlock2(const uint8_t* data, uint32_t length) {
  ResetBlockProgress();
  int result = RepeatWhileUnlocked([this] { return PrepareTextBlock(); });
  if (result != 0) return ReportSendFailure(result);
  Pause(kTextBlockSettleMs);
  result = RepeatWhileUnlocked([this] { return BeginTextBlock(); });
  if (result != 0) return ReportSendFailure(result);
  const TextBlockPlan plan =
      SplitTextBlock(std::span<const uint8_t>(data, length), TextBlockKind::Block2);
  result = SendTextLines(plan, IDS_PACKAGE_BROKEN, TextBlockKind::Block2);
  // Once opened, the text block is always closed, whatever ended the records.
  EndTextBlock();
  PumpMessages();
  return result;
}

}  // namespace dravik
