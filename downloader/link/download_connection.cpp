// The connection step, the line-setting search and the machine-type check.

#include "downloader/link/download_connection.h"

#include "downloader/link/result_codes.h"
#include "downloader/platform/window.h"
#include "downloader/resources/string_table.h"

namespace dravik {

namespace {

// Panels of the two type groups take only packages made for their own pair of
// codes, and the transfer is then made for the group's base code.
struct GroupRule {
  uint8_t panelTypes[2];
  uint8_t packageTypes[2];
  uint8_t machineType;
};

constexpr GroupRule kGroupRules[] = {
    {{0x0A, 0x8A}, {0x0A, 0x8A}, 0x0A},
    {{0x02, 0x82}, {0x02, 0x82}, 0x02},
    {{0x01, 0x81}, {0x01, 0x81}, 0x01},
};

// The bits in which a panel and a package of the same family may differ are 2, 3
// and 7; the others must agree.
constexpr uint8_t kFamilyBits = 0x73;

constexpr bool Contains(const uint8_t (&codes)[2], uint8_t code) {
  return codes[0] == code || codes[1] == code;
}

// Series whose members accept packages of their relatives, not only their own code.
constexpr bool HasLooseFamily(uint8_t type) {
  return IsSeries0(type) || IsSeries2(type) || IsSeries3(type) || IsSeries4(type) ||
         IsSeries5(type);
}

constexpr bool VersionSuffices(uint8_t type, uint8_t version) {
  if (IsSeries0(type)) return version >= 12;
  if (IsSeries1(type)) return version >= 17;
  return IsSeries2(type) || IsSeries3(type) || IsSeries4(type) || IsSeries5(type) ||
         IsSeries6(type) || IsSeries7(type);
}

// Restores RetryCount and TimeOut however the connection step ends.
class ProbeLimits {
 public:
  explicit ProbeLimits(TransEnvironment& env)
      : env_(env), retryCount_(env.RetryCount), timeOut_(env.TimeOut) {
    env_.RetryCount = kProbeRetryCount;
    env_.TimeOut = kProbeTimeOutMs;
  }
  ~ProbeLimits() { Restore(); }
  ProbeLimits(const ProbeLimits&) = delete;
  ProbeLimits& operator=(const ProbeLimits&) = delete;

  void Restore() {
    env_.RetryCount = retryCount_;
    env_.TimeOut = timeOut_;
  }

 private:
  TransEnvironment& env_;
  uint8_t retryCount_;
  uint32_t timeOut_;
};

}  // namespace

MachineDecision DecideMachineType(const MachineInfo& info, uint8_t packageModel) {
  const uint8_t type = info.Type;
  for (const GroupRule& rule : kGroupRules) {
    if (!Contains(rule.panelTypes, type)) continue;
    if (Contains(rule.packageTypes, packageModel)) {
      return {MachineVerdict::Accepted, rule.machineType};
    }
    return {MachineVerdict::WrongFormat, 0};
  }
  const bool sameFamily =
      type == packageModel || (HasLooseFamily(type) && ((type ^ packageModel) & kFamilyBits) == 0);
  if (!sameFamily) return {MachineVerdict::WrongFormat, 0};
  // The transfer is made for the package's code, not the panel's.
  if (VersionSuffices(type, info.Version)) return {MachineVerdict::Accepted, packageModel};
  return {MachineVerdict::WrongVersion, 0};
}

bool DownloadConnection::CheckMachineType(const MachineInfo& info) {
  const MachineDecision decision = DecideMachineType(info, m_nPackageModel);
  switch (decision.verdict) {
    case MachineVerdict::Accepted:
      m_nMachineType = decision.machineType;
      return true;
    case MachineVerdict::WrongVersion:
      ShowError(LoadString(IDS_WRONG_MACHINE_TYPE));
      [[fallthrough]];
    case MachineVerdict::WrongFormat:
      ShowError(LoadString(IDS_WRONG_FORMAT));
      return false;
  }
  return false;
}

int DownloadConnection::Connect() {
  ProbeLimits probing(m_env);
  int result = OpenConfiguredPort();
  if (result != 0) return result;

  StepOverallProgress();
  MachineInfo info;
  result = IdentifyUnlocked(info);
  if (result == RESULT_TIMEOUT) result = SearchLineSettings(info);
  ClosePort();
  probing.Restore();

  if (result == RESULT_NO_ANSWER) return RESULT_TIMEOUT;
  if (result != 0) return 0;
  if (!CheckMachineType(info)) return 0;

  // Now with the normal TimeOut for the port's own read time-outs.
  result = OpenConfiguredPort();
  return result == 0 ? 1 : result;
}

int DownloadConnection::OpenConfiguredPort() {
  if (OpenPort() != 0) {
    ShowError(LoadString(IDS_PORT_OPEN_FAILED));
    return RESULT_PORT_FAILED;
  }
  if (ConfigurePort(static_cast<int32_t>(m_env.BaudRate), m_env.DataLength, m_env.StopBit,
                    m_env.Parity) != 0) {
    ShowError(LoadString(IDS_PORT_SETTING_FAILED));
    ClosePort();
    return RESULT_PORT_FAILED;
  }
  return 0;
}

int DownloadConnection::SearchLineSettings(MachineInfo& info) {
  for (const LineSetting& setting : kSearchedLineSettings) {
    // The current settings have just failed.
    if (setting.baudRate == m_env.BaudRate && m_env.DataLength == kSearchDataBits &&
        m_env.StopBit == kSearchStopBits && setting.parity == m_env.Parity) {
      continue;
    }
    StepOverallProgress();
    if (ConfigurePort(static_cast<int32_t>(setting.baudRate), kSearchDataBits, kSearchStopBits,
                      setting.parity) != 0) {
      ShowError(LoadString(IDS_PORT_SETTING_FAILED));
      return RESULT_PORT_FAILED;
    }
    const int result = IdentifyUnlocked(info);
    if (result == 0) {
      // Kept for the rest of the run, never written to the profile.
      m_env.BaudRate = setting.baudRate;
      m_env.DataLength = kSearchDataBits;
      m_env.StopBit = kSearchStopBits;
      m_env.Parity = setting.parity;
      return 0;
    }
    if (result != RESULT_TIMEOUT) return result;
  }
  m_strError = LoadString(IDS_CANNOT_COMMUNICATE);
  return RESULT_NO_ANSWER;
}

void DownloadConnection::StepOverallProgress() {
  m_window.SendProgress(IDC_OVERALL_BAR, PBM_STEPIT, 0, 0);
}

}  // namespace dravik
