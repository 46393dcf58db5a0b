#pragma once
// The downloader's link to the panel: serial channel, frames, transactions with
// retries, and the panel commands with the unlock step. It holds the state the
// download dialog has always held for these operations (settings, open port, last
// error text, machine types, abort request) and reaches the platform only through
// the byte port, the clock and the window it is given. The transfer engine derives
// from it, and the download dialog from that.
//
// Every operation returns 0 (or a byte count where one is asked for) or a negative
// result code of result_codes.h; nothing throws.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "downloader/link/command_table.h"
#include "downloader/link/machine_types.h"
#include "downloader/link/panel_code.h"
#include "downloader/link/retry_rules.h"
#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/window.h"
#include "downloader/settings/trans_environment.h"

namespace dravik {

class DownloadLink {
 public:
  DownloadLink(PortOpener& opener, Clock& clock, Window& window);
  virtual ~DownloadLink() = default;
  DownloadLink(const DownloadLink&) = delete;
  DownloadLink& operator=(const DownloadLink&) = delete;

  // --- Serial channel (download_link_channel.cpp) ---
  // Opens \\.\COM<PortNumber> with 4096-byte queues and read time-outs of TimeOut;
  // RESULT_PORT_FAILED with m_hComm null when the device cannot be opened.
  int OpenPort();
  // Puts the four line settings on the open port, parity checking on, every other
  // field as the device had it. Note the order: stop bits before parity.
  int ConfigurePort(int32_t baudRate, uint8_t byteSize, uint8_t stopBits, uint8_t parity);
  int ClosePort();
  // Writes all length bytes; RESULT_TIMEOUT when nothing was taken for more than
  // TimeOut ms, RESULT_WRITE_FAILED when the port fails.
  int WriteBytes(const uint8_t* data, int16_t length);
  // Reads one reply frame, complete after L + 5 bytes (6 when L is 0); returns its
  // length, RESULT_TIMEOUT after more than TimeOut ms without a byte,
  // RESULT_READ_FAILED, or RESULT_BAD_REPLY for a frame longer than capacity (its
  // rest is read and dropped, so the next exchange starts clean).
  int ReadFrame(uint8_t* buffer, int16_t capacity);

  // --- Frames (download_link_frame.cpp) ---
  static uint8_t ComputeBcc(const uint8_t* bytes, unsigned count);
  // Builds the request for command into frame (frameCapacity bytes); returns its
  // length, or 0 when it does not fit.
  static int16_t BuildRequest(uint8_t* frame, int16_t frameCapacity, uint8_t command,
                              uint16_t packetNumber, const uint8_t* data, int16_t dataLength);
  // Writes request and, with a reply buffer, reads and validates one reply.
  int SendReceive(const uint8_t* request, int16_t requestLength, uint8_t* reply,
                  int16_t replyCapacity, uint8_t command, uint16_t packetNumber, uint32_t& status);
  // 0 for a good reply; RESULT_PANEL_STATUS with status set for a nonzero status
  // byte (nothing else examined); RESULT_BAD_REPLY otherwise.
  static int ValidateReply(const uint8_t* reply, int count, uint8_t command, uint16_t packetNumber,
                           uint32_t& status);

  // --- Transactions (download_link_transaction.cpp) ---
  // SendReceive with retries by DecideRetry, pumping messages before each attempt;
  // shows m_strError when it gives up on anything but a time-out.
  int Transact(const uint8_t* request, int16_t requestLength, uint8_t* reply, int16_t replyCapacity,
               uint8_t command, uint16_t packetNumber, uint32_t& status);
  // Loads m_strError, updates LastOutcome, pauses before a retry.
  RetryDecision DecideRetry(int result, uint32_t status, int attempt);
  // Waits on the process clock without pumping messages; <= 0 returns at once.
  void Pause(int32_t milliseconds);
  void PumpMessages();

  // --- Commands (download_link_commands.cpp) ---
  int Identify(MachineInfo& info);
  int EnterUpdateMode();
  // Sends with a machine-type-dependent time limit, then pauses 2000 ms.
  int PrepareTextBlock();
  int BeginTextBlock();
  int EndTextBlock();
  int RequestRestart();
  // Sends, then pauses 7000 ms (restart group) or 4000 ms, whatever the result.
  int RequestRestartAndWait(uint32_t& status);

  // --- Unlock step (download_link_unlock.cpp) ---
  int SetUnlockMode(bool on);
  // 0: the panel has no code; 1: it has one; or a failure code.
  int QueryProtection();
  int ReadPanelCode(PanelCode& code);
  // Runs when a command was answered with status 0x60: 0 (no code: the command
  // counts as done), RESULT_UNLOCKED (send it again), RESULT_CANCELLED (the user
  // declined the prompt) or a failure code.
  int UnlockPanel();
  // The code prompt's OK: true closes it as entered; false after showing why not.
  bool OnCodePromptOk(const std::string& text, const PanelCode& expected);

  // --- State shared with the transfer engine and the dialog ---
  TransEnvironment m_env{};
  std::unique_ptr<BytePort> m_hComm;             // null when closed or when the last open failed
  std::string m_strError;                        // the text DecideRetry loaded last
  uint8_t m_nMachineType = kMachineTypeUnknown;  // type of the accepted panel
  uint8_t m_nPackageModel = 0;                   // type the package is made for
  bool m_bAbort = false;                         // the user confirmed Cancel

 protected:
  // Builds a single-frame command with packet number 0x0001 and transacts it.
  int RunCommand(uint8_t command, const uint8_t* data, int16_t dataLength, uint8_t* reply,
                 int16_t replyCapacity, uint32_t& status);
  int RunCommand(uint8_t command, const uint8_t* data, int16_t dataLength, uint8_t* reply,
                 int16_t replyCapacity);
  // RunCommand for a command whose reply data are used: an accepted reply shorter
  // than minReplyLength is RESULT_BAD_REPLY. reply holds command.replyCapacity bytes.
  int RunQuery(const PanelCommand& command, std::span<const uint8_t> data, uint8_t* reply,
               int minReplyLength);
  // An OK box with the exclamation icon.
  void ShowError(const std::string& text);
  // The wait a panel asks for with status 0x50.
  int PanelWaitMs() const;
  // Whether a time-out after a status 0x50 may still be retried without counting.
  bool UncountedTimeoutAllowed();

  PortOpener& m_opener;
  Clock& m_clock;
  Window& m_window;
  // Set while the unlock step runs its own commands, which must not start another.
  bool m_bUnlocking = false;
};

}  // namespace dravik
