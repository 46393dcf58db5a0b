// Transactions: one request with its accepted reply, retried by the rules of
// retry_rules.h, with the message pumping that keeps the dialog alive.

#include <limits>

#include "downloader/link/download_link.h"
#include "downloader/link/last_outcome.h"
#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"

namespace dravik {

namespace {

constexpr LastOutcomePair kPanelWaitOutcome{RESULT_PANEL_STATUS, kStatusPanelWait};
constexpr int kUnlimited = std::numeric_limits<int>::max();

}  // namespace

int DownloadLink::Transact(const uint8_t* request, int16_t requestLength, uint8_t* reply,
                           int16_t replyCapacity, uint8_t command, uint16_t packetNumber,
                           uint32_t& status) {
  for (int attempt = 0;; ++attempt) {
    PumpMessages();
    const int result =
        SendReceive(request, requestLength, reply, replyCapacity, command, packetNumber, status);
    switch (DecideRetry(result, status, attempt)) {
      case RetryDecision::Done:
        status = 0;
        return 0;
      case RetryDecision::Retry:
        continue;
      case RetryDecision::GiveUp:
        // A time-out is reported by the caller in the words of its phase.
        if (result != 0 && result != RESULT_TIMEOUT) ShowError(m_strError);
        return result;
      case RetryDecision::Unlock:
        if (m_bUnlocking) {
          // The panel asks for its code again while the unlock step talks to it:
          // starting another unlock would never end.
          m_strError = LoadString(IDS_COMMUNICATION_ERROR);
          ShowError(m_strError);
          return result;
        }
        return UnlockPanel();
    }
  }
}

RetryDecision DownloadLink::DecideRetry(int result, uint32_t status, int attempt) {
  const RetryRule rule = RuleFor(result, status);
  if (rule.textId != 0) m_strError = LoadString(rule.textId);
  int limit = rule.limit == RetryLimit::Busy ? kBusyRetryLimit : m_env.RetryCount;
  int32_t pause = rule.pause == RetryPause::GrowingSteps ? attempt * kBusyPauseStepMs : 0;

  // After a status 0x50 the panel may stay silent for a while: its time-outs are
  // retried at once and without counting, within a bounded time.
  const bool timeoutAfterPanelWait = result == RESULT_TIMEOUT && LastOutcome == kPanelWaitOutcome;
  if (timeoutAfterPanelWait && UncountedTimeoutAllowed()) {
    limit = kUnlimited;
    pause = 0;
  }
  const bool panelWait = rule.pause == RetryPause::PanelWait;
  if (panelWait) {
    pause = PanelWaitMs();
    Pause(pause);
  }
  // The 0x50 state survives its time-outs, so that the next one is treated alike.
  if (!timeoutAfterPanelWait) LastOutcome = {result, status};

  RetryDecision decision = rule.decision;
  if (decision == RetryDecision::Retry) {
    if (attempt >= limit) {
      // No text belongs to status 0x50; the box must not show a stale one.
      if (panelWait) m_strError = LoadString(IDS_COMMUNICATION_ERROR);
      decision = RetryDecision::GiveUp;
    } else {
      Pause(pause);
    }
  }
  if (panelWait) LastPanelWaitTick = m_clock.TickCount();
  return decision;
}

bool DownloadLink::UncountedTimeoutAllowed() {
  // Cancel ends the wait too: the pump before every attempt lets it through.
  if (m_bAbort) return false;
  return m_clock.TickCount() - LastPanelWaitTick <= kUncountedTimeoutWindowMs;
}

int DownloadLink::PanelWaitMs() const {
  // Before a panel was accepted m_nMachineType is kMachineTypeUnknown, which is in no
  // class: the longer wait applies.
  return IsSeries0(m_nMachineType) ? kPanelWaitSeries0Ms : kPanelWaitMs;
}

void DownloadLink::Pause(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  // Poll the process clock as the protocol always has, but rest between polls
  // instead of spinning.
  const int64_t start = m_clock.ProcessClock();
  for (;;) {
    const int64_t elapsed = m_clock.ProcessClock() - start;
    if (elapsed >= milliseconds) return;
    m_clock.Sleep(static_cast<uint32_t>(milliseconds - elapsed));
  }
}

void DownloadLink::PumpMessages() {
  m_window.PumpMessages();
}

void DownloadLink::ShowError(const std::string& text) {
  m_window.MessageBox(text, BoxButtons::Ok, BoxIcon::Exclamation);
}

}  // namespace dravik
