#pragma once
// How the transaction layer treats each outcome of an exchange: the text it loads,
// whether it tries again, with which limit and pause. The tables are the whole
// policy; DecideRetry only applies them and adds the special rules of status 0x50.

#include <cstdint>

#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"

namespace dravik {

// The decisions, with the values the protocol layer has always used for them.
enum class RetryDecision : int { Done = 0, Retry = 1, GiveUp = 2, Unlock = 4 };

enum class RetryLimit : uint8_t {
  RetryCount,  // RetryCount of the settings
  Busy,        // kBusyRetryLimit, for a panel that says it is busy
};

enum class RetryPause : uint8_t {
  None,
  GrowingSteps,  // attempt x kBusyPauseStepMs
  PanelWait,     // the machine-dependent wait the panel asked for (status 0x50)
};

struct RetryRule {
  uint16_t textId;  // 0: m_strError keeps its text
  RetryDecision decision;
  RetryLimit limit = RetryLimit::RetryCount;
  RetryPause pause = RetryPause::None;
};

struct ResultRule {
  int result;
  RetryRule rule;
};

struct StatusRule {
  uint8_t status;
  RetryRule rule;
};

inline constexpr int kBusyRetryLimit = 30;
inline constexpr int kBusyPauseStepMs = 100;
// The wait a panel of series 0 asks for with status 0x50, and every other panel.
inline constexpr int kPanelWaitSeries0Ms = 20000;
inline constexpr int kPanelWaitMs = 30000;
// After a status 0x50, time-outs are retried without counting, but only for this
// long after the retry began: a panel that went quiet for good must not keep the
// program waiting forever. As long as the longest time the protocol grants any one
// reply (the text-block preparation of the slowest panels).
inline constexpr uint32_t kUncountedTimeoutWindowMs = 120000;

inline constexpr uint8_t kStatusPanelWait = 0x50;
inline constexpr uint8_t kStatusLocked = 0x60;

inline constexpr ResultRule kResultRules[] = {
    {RESULT_OK, {0, RetryDecision::Done}},
    {RESULT_TIMEOUT, {IDS_TIMEOUT_ERROR, RetryDecision::Retry}},
    {RESULT_BAD_REPLY, {IDS_RECEIVED_DATA_ERROR, RetryDecision::Retry}},
    {RESULT_WRITE_FAILED, {IDS_COMMUNICATION_ERROR, RetryDecision::Retry}},
    {RESULT_READ_FAILED, {IDS_COMMUNICATION_ERROR, RetryDecision::Retry}},
};

inline constexpr StatusRule kStatusRules[] = {
    {0x01, {IDS_BCC_ERROR, RetryDecision::Retry}},
    {0x02, {IDS_PARITY_ERROR, RetryDecision::Retry}},
    {0x11, {IDS_BUSY_ERROR, RetryDecision::Retry, RetryLimit::Busy, RetryPause::GrowingSteps}},
    {0x17, {IDS_FULL_OF_MEMORY, RetryDecision::GiveUp}},
    {0x20, {IDS_FLASH_WRITE_ERROR, RetryDecision::GiveUp}},
    {0x30, {IDS_FIRMWARE_UPDATE_REQUEST, RetryDecision::GiveUp}},
    {0x40, {IDS_DATA_ERROR, RetryDecision::Retry}},
    {kStatusPanelWait, {0, RetryDecision::Retry, RetryLimit::RetryCount, RetryPause::PanelWait}},
    {kStatusLocked, {0, RetryDecision::Unlock}},
};

// A status the panel is not known to send, or a result no exchange produces.
inline constexpr RetryRule kUnknownOutcomeRule = {IDS_COMMUNICATION_ERROR, RetryDecision::GiveUp};

constexpr RetryRule RuleFor(int result, uint32_t status) {
  if (result == RESULT_PANEL_STATUS) {
    for (const auto& entry : kStatusRules) {
      if (entry.status == status) return entry.rule;
    }
    return kUnknownOutcomeRule;
  }
  for (const auto& entry : kResultRules) {
    if (entry.result == result) return entry.rule;
  }
  return kUnknownOutcomeRule;
}

}  // namespace dravik
