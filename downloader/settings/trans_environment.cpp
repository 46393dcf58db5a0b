#include "downloader/settings/trans_environment.h"

#include "downloader/platform/profile.h"

namespace dravik {

namespace {
constexpr const char* kSection = "TransEnvironment";

uint8_t LowByte(uint32_t value) {
  return static_cast<uint8_t>(value & 0xFF);
}

bool IsSupportedBaudRate(uint32_t rate) {
  return rate == 9600 || rate == 19200 || rate == 115200;
}
}  // namespace

void LoadTransEnvironment(TransEnvironment& env, Profile& profile) {
  env.BaudRate = profile.GetInt(kSection, "BaudRate", 19200);
  env.DataLength = LowByte(profile.GetInt(kSection, "DataLength", 8));
  env.StopBit = LowByte(profile.GetInt(kSection, "StopBit", 0));
  env.Parity = LowByte(profile.GetInt(kSection, "Parity", 1));
  env.RetryCount = LowByte(profile.GetInt(kSection, "RetryCount", 3));
  env.TimeOut = profile.GetInt(kSection, "TimeOut", 5000);
  CorrectTransEnvironment(env);
}

void CorrectTransEnvironment(TransEnvironment& env) {
  if (env.PortNumber < 1 || env.PortNumber > 256) env.PortNumber = 1;
  if (!IsSupportedBaudRate(env.BaudRate)) env.BaudRate = 19200;
  env.DataLength = 8;
  env.StopBit = 0;
  if (env.Parity > 2) env.Parity = 1;
  env.RetryCount = 3;
  env.TimeOut = 5000;
}

}  // namespace dravik
