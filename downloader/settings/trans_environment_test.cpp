#include "downloader/settings/trans_environment.h"

#include <gtest/gtest.h>

#include "downloader/platform/ini_reader.h"
#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

TransEnvironment Env(uint16_t port, uint32_t baud, uint8_t parity) {
  return {port, baud, 8, 0, parity, 3, 5000};
}

TEST(LoadTransEnvironment, ReadsAndCorrectsTheProfile) {
  struct Case {
    std::string_view name;
    std::optional<std::string_view> ini;  // nullopt: no profile file at all
    uint16_t port;
    TransEnvironment expected;
  };
  const Case cases[] = {
      {"no profile", std::nullopt, 3, Env(3, 19200, 1)},
      {"empty section", "[TransEnvironment]\n", 3, Env(3, 19200, 1)},
      {"fast and even", "[TransEnvironment]\nBaudRate=115200\nParity=2\n", 1, Env(1, 115200, 2)},
      {"9600 and none", "[transenvironment]\nbaudrate=9600\nparity=0\n", 1, Env(1, 9600, 0)},
      {"unsupported speed", "[TransEnvironment]\nBaudRate=38400\n", 1, Env(1, 19200, 1)},
      {"speed not a number", "[TransEnvironment]\nBaudRate=fast\n", 1, Env(1, 19200, 1)},
      {"negative speed", "[TransEnvironment]\nBaudRate=-9600\n", 1, Env(1, 19200, 1)},
      {"parity out of range", "[TransEnvironment]\nParity=5\n", 1, Env(1, 19200, 1)},
      {"parity low byte", "[TransEnvironment]\nParity=258\n", 1, Env(1, 19200, 2)},
      {"parity 256 is none", "[TransEnvironment]\nParity=256\n", 1, Env(1, 19200, 0)},
      {"parity -1", "[TransEnvironment]\nParity=-1\n", 1, Env(1, 19200, 1)},
      {"empty parity keeps default", "[TransEnvironment]\nParity=\n", 1, Env(1, 19200, 1)},
      {"fixed fields ignore the file",
       "[TransEnvironment]\nDataLength=7\nStopBit=2\nRetryCount=10\nTimeOut=20000\n", 1,
       Env(1, 19200, 1)},
      {"keys in another section", "[Other]\nBaudRate=115200\nParity=0\n", 1, Env(1, 19200, 1)},
      {"port 256 stays", "", 256, Env(256, 19200, 1)},
      {"port 0", "", 0, Env(1, 19200, 1)},
      {"port 257", "", 257, Env(1, 19200, 1)},
      {"port 65535", "", 65535, Env(1, 19200, 1)},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const std::string path = c.ini ? dir.Write("Dravik.ini", *c.ini) : dir.File("Dravik.ini");
    IniFileProfile profile(path);
    TransEnvironment env{};
    env.PortNumber = c.port;
    LoadTransEnvironment(env, profile);
    EXPECT_EQ(env, c.expected) << c.name;
  }
}

TEST(CorrectTransEnvironment, KeepsOnlyAllowedValues) {
  struct Case {
    TransEnvironment in, expected;
  };
  const Case cases[] = {
      {{1, 9600, 8, 0, 0, 3, 5000}, Env(1, 9600, 0)},
      {{256, 115200, 7, 2, 2, 10, 20000}, Env(256, 115200, 2)},
      {{0, 0, 0, 0, 3, 0, 0}, Env(1, 19200, 1)},
      {{257, 19201, 5, 1, 255, 255, 0xFFFFFFFF}, Env(1, 19200, 1)},
  };
  for (const Case& c : cases) {
    TransEnvironment env = c.in;
    CorrectTransEnvironment(env);
    EXPECT_EQ(env, c.expected) << c.in.PortNumber << " " << c.in.BaudRate;
  }
}

}  // namespace
}  // namespace dravik
