// The download sequence: package check, connection, update mode and block 1,
// block 2 after the restart, the binary blocks, the final restart. Every failure
// and every honoured abort ends the dialog as cancelled; only a whole transfer
// ends it with OK.

#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"
#include "downloader/transfer/download_controls.h"
#include "downloader/transfer/download_engine.h"

namespace dravik {

void DownloadEngine::RunDownload() {
  if (!OpenPackage()) {
    m_window.EndDialog(IDCANCEL);
    return;
  }
  // s takes each block sender's result and is the status variable of both restart
  // requests; the completion looks at what is left in it.
  uint32_t s = 0;
  if (PreparePhase() && RunPhase1() && RunPhase2(s) && RunPhase3(s)) Complete(s);
  ClosePackage();
}

bool DownloadEngine::PreparePhase() {
  for (const int bar : {IDC_OVERALL_BAR, IDC_STEP_BAR}) {
    m_window.ShowItem(bar, true);
    m_window.SendProgress(bar, PBM_SETRANGE, 0, intptr_t{kProgressMaximum} << 16);
    m_window.SendProgress(bar, PBM_SETSTEP, kConnectingStep, 0);
    m_window.SendProgress(bar, PBM_SETPOS, 0, 0);
  }
  m_window.SetItemText(IDC_OVERALL_PERCENT, "");
  m_window.SetItemText(IDC_STEP_PERCENT, "");
  m_window.SetItemText(IDC_STATUS, LoadString(IDS_CONNECTING));
  m_window.SetItemText(IDC_WARNING, LoadString(IDS_POWER_WARNING));
  m_window.BeginWaitCursor();
  m_bWaitCursor = true;

  if (!ConnectOrReport()) return false;
  for (const auto& [bar, percent] : {std::pair{IDC_OVERALL_BAR, IDC_OVERALL_PERCENT},
                                     std::pair{IDC_STEP_BAR, IDC_STEP_PERCENT}}) {
    m_window.SetItemText(percent, kZeroPercent);
    m_window.SendProgress(bar, PBM_SETSTEP, 1, 0);
    m_window.SendProgress(bar, PBM_SETPOS, 0, 0);
  }
  m_window.SetItemText(IDC_STATUS, LoadString(IDS_TRANSFERRING));
  return true;
}

bool DownloadEngine::RunPhase1() {
  const int r = RepeatWhileUnlocked([this] { return EnterUpdateMode(); });
  if (r == 0) {
    std::vector<uint8_t> block;
    uint32_t length = 0;
    if (!ReadNextBlock(block, length) || SendTextBlock1(block.data(), length) != 0) {
      EndTextBlock();
      ClosePort();
      EndCancelled();
      return false;
    }
    Pause(kRestartAfterBlock1Ms);
  } else if (r != RESULT_CANCELLED) {
    // The panel stays as it was; phase 2 connects afresh all the same.
    ShowError(LoadString(IDS_CANNOT_ENTER_UPDATE_MODE));
  }
  ClosePort();
  m_window.EndWaitCursor();
  m_bWaitCursor = false;
  SetOverallProgress(100);
  return !AbortRequested(false);
}

bool DownloadEngine::RunPhase2(uint32_t& s) {
  if (!ConnectOrReport()) return false;
  m_window.SetItemText(IDC_STATUS, LoadString(IDS_TRANSFERRING));
  std::vector<uint8_t> block;
  uint32_t length = 0;
  // When update mode failed, block 1 was never read; reading on from there would
  // send it as block 2, and block 2 as the first binary block.
  const bool readable = m_package.BlocksRead() > 0 || ReadNextBlock(block, length);
  if (!readable || !ReadNextBlock(block, length)) {
    // Nothing of block 2 has gone out: the restart brings the panel back.
    RequestRestart();
    ClosePort();
    EndCancelled();
    return false;
  }
  const int result = SendTextBlock2(block.data(), length);
  s = static_cast<uint32_t>(result);
  if (result != 0) {
    // The sender has closed the text block already; close it once more.
    EndTextBlock();
    RequestRestart();
    ClosePort();
    EndCancelled();
    return false;
  }
  RequestRestartAndWait(s);  // whatever it says, the binary phase connects afresh
  ClosePort();
  SetOverallProgress(200);
  return !AbortRequested(false);
}

bool DownloadEngine::RunPhase3(uint32_t& s) {
  if (!ConnectOrReport()) return false;
  uint64_t v = 200;
  for (;;) {
    std::vector<uint8_t> block;
    uint32_t length = 0;
    const bool readable = ReadNextBlock(block, length);
    if (readable && length == 0) return true;
    // A block that cannot be read has had its message; it ends the phase like a
    // block that failed.
    const int result = readable ? SendBinaryBlock(block.data(), length) : RESULT_BROKEN_DATA;
    s = static_cast<uint32_t>(result);
    if (result != 0) {
      RequestRestart();
      ClosePort();
      EndCancelled();
      return false;
    }
    v += 100;
    SetOverallProgress(v);
    if (AbortRequested(true)) return false;
  }
}

void DownloadEngine::Complete(uint32_t& s) {
  m_window.SendProgress(IDC_OVERALL_BAR, PBM_SETPOS, kProgressMaximum, 0);
  m_window.SetItemText(IDC_OVERALL_PERCENT, kFullPercent);
  m_window.SendProgress(IDC_STEP_BAR, PBM_SETPOS, kProgressMaximum, 0);
  m_window.SetItemText(IDC_STEP_PERCENT, kFullPercent);
  PumpMessages();
  RequestRestartAndWait(s);
  ClosePort();
  // A status to the final restart has had its own box; a silent panel has not
  // spoiled the transfer.
  if (s == 0)
    m_window.MessageBox(LoadString(IDS_TRANSFER_COMPLETE), BoxButtons::Ok, BoxIcon::Information);
  m_window.EndDialog(IDOK);
}

bool DownloadEngine::ConnectOrReport() {
  if (Connect() == 1) return true;
  ShowError(LoadString(IDS_CANNOT_COMMUNICATE));
  EndCancelled();
  return false;
}

bool DownloadEngine::AbortRequested(bool requestRestart) {
  if (!m_bAbort) return false;
  if (requestRestart) RequestRestart();
  ClosePort();
  m_window.MessageBox(LoadString(IDS_INTERRUPTED), BoxButtons::Ok, BoxIcon::Information);
  EndCancelled();
  return true;
}

void DownloadEngine::EndCancelled() {
  if (m_bWaitCursor) {
    m_window.EndWaitCursor();
    m_bWaitCursor = false;
  }
  m_window.EndDialog(IDCANCEL);
}

void DownloadEngine::SetOverallProgress(uint64_t hundredths) {
  const uint64_t steps = uint64_t{BlockCount()} + 2;
  SetProgress(IDC_OVERALL_BAR, IDC_OVERALL_PERCENT, static_cast<int>(hundredths / steps));
}

}  // namespace dravik
