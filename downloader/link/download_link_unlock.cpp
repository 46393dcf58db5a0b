// The unlock step: when a panel answers a command with status 0x60 it wants its
// code before it goes on. The step switches the panel's unlock mode on, asks
// whether a code is set, reads it, and lets the user type it into the code prompt.

#include "downloader/link/command_table.h"
#include "downloader/link/download_link.h"
#include "downloader/link/result_codes.h"
#include "downloader/resources/string_table.h"

namespace dravik {

namespace {

// Marks the unlock step as running for as long as it runs, whichever way it ends.
class UnlockingScope {
 public:
  explicit UnlockingScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~UnlockingScope() { flag_ = saved_; }
  UnlockingScope(const UnlockingScope&) = delete;
  UnlockingScope& operator=(const UnlockingScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

int DownloadLink::SetUnlockMode(bool on) {
  const auto& data = on ? kUnlockModeOn : kUnlockModeOff;
  uint8_t reply[kSetUnlockModeCommand.replyCapacity];
  return RunCommand(kSetUnlockModeCommand.code, data.data(), static_cast<int16_t>(data.size()),
                    reply, kSetUnlockModeCommand.replyCapacity);
}

int DownloadLink::QueryProtection() {
  uint8_t reply[kQueryProtectionCommand.replyCapacity];
  const int result =
      RunQuery(kQueryProtectionCommand, kQueryProtectionData, reply, kMinProtectionReply);
  if (result != 0) return result;
  return reply[kProtectionFlagOffset] != 0 ? 1 : 0;
}

int DownloadLink::ReadPanelCode(PanelCode& code) {
  uint8_t reply[kReadPanelCodeCommand.replyCapacity];
  const int result = RunQuery(kReadPanelCodeCommand, kReadPanelCodeData, reply, kMinPanelCodeReply);
  if (result != 0) return result;
  code = DecodePanelCode(reply);
  return 0;
}

int DownloadLink::UnlockPanel() {
  UnlockingScope unlocking(m_bUnlocking);
  int result = SetUnlockMode(true);
  if (result != 0) return result;

  result = QueryProtection();
  if (result < 0) {
    SetUnlockMode(false);
    return result;
  }
  // No code set: the interrupted command counts as done, and unlock mode stays on.
  if (result == 0) return 0;

  PanelCode code{};
  result = ReadPanelCode(code);
  if (result != 0) {
    SetUnlockMode(false);
    return result;
  }

  const int answer = m_window.RunCodePrompt(
      m_nMachineType, [&](const std::string& text) { return OnCodePromptOk(text, code); });
  if (answer == IDOK) return RESULT_UNLOCKED;
  SetUnlockMode(false);
  RequestRestart();
  return RESULT_CANCELLED;
}

bool DownloadLink::OnCodePromptOk(const std::string& text, const PanelCode& expected) {
  const uint16_t problem = CheckCodeEntry(text, expected);
  if (problem == 0) return true;
  ShowError(LoadString(problem));
  return false;
}

}  // namespace dravik
