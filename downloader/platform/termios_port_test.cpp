// The termios port against real pseudo-terminals: the test holds the master side,
// where a panel would be.

#include "downloader/platform/termios_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "downloader/platform/linux_port_opener.h"
#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

class PseudoTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
    close(slave);  // our port opens it again by name
    slavePath_ = name;
  }
  void TearDown() override {
    if (master_ >= 0) close(master_);
  }

  std::unique_ptr<BytePort> Open(PortError* error = nullptr) {
    std::unique_ptr<BytePort> port = OpenTermiosPort(slavePath_, error);
    if (port) port->SetTimeouts({200, 200, 0, 0, 0});
    return port;
  }

  // Reads exactly count bytes from the master side, waiting at most a second.
  std::vector<uint8_t> ReadMaster(size_t count) {
    std::vector<uint8_t> bytes;
    const Steady::time_point end = Steady::now() + milliseconds(1000);
    while (bytes.size() < count && Steady::now() < end) {
      pollfd entry{master_, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0) continue;
      uint8_t buffer[256];
      const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }

  int master_ = -1;
  std::string slavePath_;
};

TEST_F(PseudoTerminal, OpensRawAndTheLineSettingsReachTheOtherSide) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->SetQueueSizes(4096, 4096));
  LineState state;
  ASSERT_TRUE(port->GetLineState(state));
  state.BaudRate = 19200;
  state.ByteSize = 8;
  state.StopBits = 2;
  state.Parity = 1;
  state.fParity = true;
  ASSERT_TRUE(port->SetLineState(state));
  // The same settings again change nothing, which glibc reports as EINVAL on a pty.
  ASSERT_TRUE(port->SetLineState(state));

  termios seen{};
  ASSERT_EQ(tcgetattr(master_, &seen), 0);  // a pty master reports its slave's settings
  EXPECT_EQ(cfgetospeed(&seen), B19200);
  EXPECT_TRUE(seen.c_cflag & CSTOPB);
  EXPECT_TRUE(seen.c_cflag & PARODD);
  EXPECT_EQ(seen.c_lflag & (ECHO | ICANON | ISIG), 0u);
  EXPECT_EQ(seen.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(seen.c_oflag & OPOST, 0u);

  state.BaudRate = 12345;  // no such speed: a failed set, not a silent fallback
  EXPECT_FALSE(port->SetLineState(state));
}

TEST_F(PseudoTerminal, FieldsTheChannelDoesNotSetRoundTrip) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  LineState asked;
  ASSERT_TRUE(port->GetLineState(asked));
  asked.BaudRate = 115200;
  asked.Parity = 0;
  asked.fOutX = true;
  asked.fInX = true;
  asked.XonChar = 0x05;
  asked.XoffChar = 0x06;
  asked.fOutxCtsFlow = true;
  asked.fTXContinueOnXoff = true;
  asked.fDtrControl = 0;
  asked.XonLim = 100;
  asked.XoffLim = 200;
  asked.EofChar = 0x1A;
  asked.EvtChar = 0x7E;
  ASSERT_TRUE(port->SetLineState(asked));
  LineState back;
  ASSERT_TRUE(port->GetLineState(back));
  EXPECT_EQ(back, asked);
}

TEST_F(PseudoTerminal, ASecondOpenFailsEvenThroughALink) {
  ScratchDir prefix;
  std::filesystem::create_directories(prefix.File("dosdevices"));
  std::filesystem::create_symlink(slavePath_, prefix.File("dosdevices/com4"));
  LinuxPortOpener opener(prefix.path());

  std::unique_ptr<BytePort> first = opener.Open("\\\\.\\COM4", nullptr);
  ASSERT_NE(first, nullptr);
  for (const std::string& name : {std::string("\\\\.\\COM4"), slavePath_}) {
    PortError error = PortError::None;
    EXPECT_EQ(opener.Open(name, &error), nullptr) << name;
    EXPECT_EQ(error, PortError::InUse) << name;
  }
  first.reset();
  EXPECT_NE(opener.Open("\\\\.\\COM4", nullptr), nullptr);  // closing frees it
}

TEST_F(PseudoTerminal, ALineAnotherProgramHoldsExclusivelyIsInUseEvenForRoot) {
  const int other = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  PortError error = PortError::None;
  EXPECT_EQ(Open(&error), nullptr);
  EXPECT_EQ(error, PortError::InUse);
  ioctl(other, TIOCNXCL);
  close(other);
  EXPECT_NE(Open(), nullptr);
}

TEST_F(PseudoTerminal, AReadWithNothingToReadReturnsWithinItsTimeOut) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  const Steady::time_point start = Steady::now();
  uint8_t byte = 0;
  uint32_t got = 99;
  ASSERT_TRUE(port->ReadByte(byte, got));
  const auto elapsed = Steady::now() - start;
  EXPECT_EQ(got, 0u);
  EXPECT_GE(elapsed, milliseconds(190));
  EXPECT_LT(elapsed, milliseconds(200 + 1000));
}

TEST_F(PseudoTerminal, BytesPassBothWaysUnaltered) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  const std::vector<uint8_t> bytes = {0x00, 0x0D, 0x0A, 0x11, 0x13, 0x7E, 0xFF,
                                      0x03, 0x04, 0x1A, 0x7F, 0x08, 0x15, 0x0D};
  uint32_t written = 0;
  ASSERT_TRUE(port->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), written));
  EXPECT_EQ(written, bytes.size());
  EXPECT_EQ(ReadMaster(bytes.size()), bytes);

  ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  std::vector<uint8_t> received;
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t byte = 0;
    uint32_t got = 0;
    ASSERT_TRUE(port->ReadByte(byte, got));
    ASSERT_EQ(got, 1u) << "byte " << i;
    received.push_back(byte);
  }
  EXPECT_EQ(received, bytes);
}

TEST_F(PseudoTerminal, AWriteNobodyReadsReportsWhatWasTaken) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  const std::vector<uint8_t> block(4096, 0x55);
  uint64_t total = 0;
  uint32_t written = 1;
  // The pty's buffer fills; then each write waits a short slice and takes nothing.
  for (int i = 0; i < 1000 && written > 0; ++i) {
    ASSERT_TRUE(port->Write(block.data(), static_cast<uint32_t>(block.size()), written));
    total += written;
  }
  EXPECT_EQ(written, 0u);
  EXPECT_GT(total, 0u);
}

TEST_F(PseudoTerminal, AHungUpLineFailsTheRead) {
  std::unique_ptr<BytePort> port = Open();
  ASSERT_NE(port, nullptr);
  close(master_);
  master_ = -1;
  uint8_t byte = 0;
  uint32_t got = 0;
  EXPECT_FALSE(port->ReadByte(byte, got));
}

TEST(TermiosPort, RefusesWhatIsNotATty) {
  ScratchDir dir;
  PortError error = PortError::None;
  EXPECT_EQ(OpenTermiosPort(dir.Write("plain", "x"), &error), nullptr);
  EXPECT_EQ(error, PortError::NotASerialPort);
  EXPECT_EQ(OpenTermiosPort(dir.File("missing"), &error), nullptr);
  EXPECT_EQ(error, PortError::NotFound);
}

}  // namespace
}  // namespace dravik
