#pragma once
// The transfer engine: the package, the block senders and the download sequence,
// on top of the link and the connection step. The download dialog derives from it
// and runs RunDownload inside its posted start message; tests run it against a
// scripted panel and a recording window.
//
// Every sender returns 0 or a negative result code and shows its own failure
// message; RunDownload ends the dialog through Window::EndDialog, IDOK after a
// complete transfer and IDCANCEL in every other case.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/link/download_connection.h"
#include "downloader/platform/byte_port.h"
#include "downloader/platform/clock.h"
#include "downloader/platform/window.h"
#include "downloader/transfer/package.h"
#include "downloader/transfer/package_text.h"

namespace dravik {

// The panel restarts after block 1, and needs a while after the text-block
// preparation before it takes the records of block 2.
inline constexpr int32_t kRestartAfterBlock1Ms = 6000;
inline constexpr int32_t kTextBlockSettleMs = 6000;

class DownloadEngine : public DownloadConnection {
 public:
  // packageFolder is the folder of the program's executable, where data.dvx lies;
  // empty stands for a program whose own file name could not be read.
  DownloadEngine(PortOpener& opener, Clock& clock, Window& window, std::string packageFolder = {});

  void SetPackageFolder(std::string folder) { m_strPackageFolder = std::move(folder); }
  const std::string& PackageFolder() const { return m_strPackageFolder; }

  // --- Package (download_engine.cpp) ---
  // Opens and checks data.dvx: true with m_nPackageModel and the block count set,
  // the file held open; false after its message (none when there is no folder).
  bool OpenPackage();
  // The next block whole into data, its length in length; length 0 ends the chain.
  // false after message 57346 when the file can no longer be read as checked.
  bool ReadNextBlock(std::vector<uint8_t>& data, uint32_t& length);
  void ClosePackage() { m_package.Close(); }
  // N, the number of blocks of the open package.
  uint32_t BlockCount() const { return m_package.BlockCount(); }

  // --- Block senders (text_senders.cpp, binary_sender.cpp) ---
  // One record line (with its carriage return) as a transaction awaiting reply 0x61,
  // or, with noReply, written and not awaited.
  int SendTextRecord(const char* text, int16_t length, bool noReply, uint32_t& status);
  // Block 1, right after update mode: 0, RESULT_BROKEN_DATA or the failed
  // transaction's result.
  int SendTextBlock1(const uint8_t* data, uint32_t length);
  // Block 2, after the restart: preparation, text block open, records up to the end
  // marker, text block closed. 0, RESULT_BROKEN_DATA or a failure code.
  int SendTextBlock2(const uint8_t* data, uint32_t length);
  // A binary block in numbered packets; a failed packet re-identifies the panel and
  // sends the whole block again. 0, RESULT_CANCELLED or a failure code.
  int SendBinaryBlock(const uint8_t* data, uint32_t length);

  // --- The download sequence (run_download.cpp) ---
  // Runs the whole download and ends the dialog. Runs once.
  void RunDownload();

 protected:
  // The block bar back to 0 with its fixed "  0%".
  void ResetBlockProgress();
  // Moves a bar and writes its percentage label from the position the bar reports.
  void SetProgress(int barId, int percentId, int position);

  TransferPackage m_package;
  std::string m_strPackageFolder;

 private:
  // The record loop of both text blocks: 0, RESULT_BROKEN_DATA after brokenMessage,
  // or the failed transaction's result after 25003.
  int SendTextLines(const TextBlockPlan& plan, uint16_t brokenMessage, TextBlockKind kind);
  // Shows 25003 for a failure other than a declined code prompt; returns result.
  int ReportSendFailure(int result);
  // The phases of RunDownload; false: the dialog has been ended as cancelled.
  bool PreparePhase();
  bool RunPhase1();
  bool RunPhase2(uint32_t& s);
  bool RunPhase3(uint32_t& s);
  void Complete(uint32_t& s);
  bool ConnectOrReport();
  bool AbortRequested(bool requestRestart);
  void EndCancelled();
  void SetOverallProgress(uint64_t hundredths);

  bool m_bWaitCursor = false;
  // Reused for every record line with its carriage return.
  std::string m_strRecord;
};

}  // namespace dravik
