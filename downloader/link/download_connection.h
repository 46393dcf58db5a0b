#pragma once
// The connection step that opens every phase of a download: open the port with
// short probing limits, identify the panel, search the other line settings when it
// stays silent, decide whether the package may go to it, and reopen the port with
// the normal limits for the transfer.

#include <cstdint>

#include "downloader/link/download_link.h"
#include "downloader/link/machine_types.h"
#include "downloader/link/result_codes.h"
#include "downloader/resources/dialogs.h"

namespace dravik {

// While probing, one attempt per request and about a second per byte.
inline constexpr uint8_t kProbeRetryCount = 0;
inline constexpr uint32_t kProbeTimeOutMs = 1000;

struct LineSetting {
  uint32_t baudRate;
  uint8_t parity;  // 0 none, 1 odd, 2 even
};

// The combinations the search tries, in order, always with 8 data bits and one
// stop bit. The settings profile only ever yields one of them.
inline constexpr LineSetting kSearchedLineSettings[] = {
    {9600, 0},  {9600, 1},   {9600, 2},   {19200, 0},  {19200, 1},
    {19200, 2}, {115200, 0}, {115200, 1}, {115200, 2},
};
inline constexpr uint8_t kSearchDataBits = 8;
inline constexpr uint8_t kSearchStopBits = 0;

// The three outcomes of the compatibility check.
enum class MachineVerdict : uint8_t {
  Accepted,
  WrongFormat,   // the package is for another family: 25000
  WrongVersion,  // the family fits but the panel's version is too old: 25013, then 25000
};

struct MachineDecision {
  MachineVerdict verdict;
  uint8_t machineType;  // m_nMachineType on acceptance
};

// The compatibility rules, without any message: panel type and version against
// the package's machine type.
MachineDecision DecideMachineType(const MachineInfo& info, uint8_t packageModel);

class DownloadConnection : public DownloadLink {
 public:
  using DownloadLink::DownloadLink;

  // 1: the panel answered, suits the package, and the port is open for the
  // transfer. 0: the identification failed otherwise or the type was refused (port
  // closed, messages shown). RESULT_TIMEOUT: no setting got an answer (port closed,
  // nothing shown, 25017 in m_strError). RESULT_PORT_FAILED: the port could not be
  // opened or set up (message shown, port closed). RetryCount and TimeOut are back
  // at their previous values whichever way it returns.
  int Connect();

  // Tries the other eight combinations on the open port: 0 with m_env updated and
  // info filled, RESULT_NO_ANSWER, RESULT_PORT_FAILED or the first failure that is
  // not a time-out.
  int SearchLineSettings(MachineInfo& info);

  // Applies the compatibility rules and shows their messages; sets m_nMachineType
  // on acceptance.
  bool CheckMachineType(const MachineInfo& info);

 protected:
  // Runs a command again for as long as the unlock step says the user has entered
  // the panel's code (RESULT_UNLOCKED): the panel now takes it, and failing the
  // operation after the right code would leave the user nowhere.
  template <typename Command>
  static int RepeatWhileUnlocked(Command&& command) {
    int result = command();
    while (result == RESULT_UNLOCKED) result = command();
    return result;
  }
  int IdentifyUnlocked(MachineInfo& info) {
    return RepeatWhileUnlocked([&] { return Identify(info); });
  }

  // PBM_STEPIT on the overall bar (IDC_OVERALL_BAR), once before the identification
  // and before each probe of the search.
  void StepOverallProgress();

 private:
  // Opens the port and puts m_env's line settings on it; shows 25011 or 25012.
  int OpenConfiguredPort();
};

}  // namespace dravik
