// The engine's hold on the package, and the progress helpers of the senders and
// the sequence.

#include "downloader/transfer/download_engine.h"

#include "downloader/resources/string_table.h"
#include "downloader/transfer/download_controls.h"
#include "downloader/transfer/package_limits.h"

namespace dravik {

DownloadEngine::DownloadEngine(PortOpener& opener, Clock& clock, Window& window,
                               std::string packageFolder)
    : DownloadConnection(opener, clock, window), m_strPackageFolder(std::move(packageFolder)) {}

bool DownloadEngine::OpenPackage() {
  // Without the program's own file name there is nowhere to look.
  if (m_strPackageFolder.empty()) return false;
  std::string path = m_strPackageFolder;
  if (path.back() != '/') path += '/';
  path += kPackageFileName;
  const PackageStatus status = m_package.OpenPackage(path);
  if (!status.ok()) {
    ShowError(LoadString(status.MessageId()));
    return false;
  }
  m_nPackageModel = m_package.PackageModel();
  return true;
}

bool DownloadEngine::ReadNextBlock(std::vector<uint8_t>& data, uint32_t& length) {
  const PackageStatus status = m_package.ReadNextBlock(data, length);
  if (status.ok()) return true;
  // The file no longer reads as it was checked: nothing of it may be sent.
  ShowError(LoadString(IDS_PACKAGE_OPEN_FAILED));
  length = 0;
  return false;
}

void DownloadEngine::ResetBlockProgress() {
  m_window.SendProgress(IDC_STEP_BAR, PBM_SETPOS, 0, 0);
  m_window.SetItemText(IDC_STEP_PERCENT, kZeroPercent);
}

void DownloadEngine::SetProgress(int barId, int percentId, int position) {
  m_window.SendProgress(barId, PBM_SETPOS, static_cast<uintptr_t>(position), 0);
  const intptr_t shown = m_window.SendProgress(barId, PBM_GETPOS, 0, 0);
  m_window.SetItemText(percentId, PercentText(static_cast<int>(shown)));
}

}  // namespace dravik
