// Real pseudo-terminals and real time: the transport in this process, and the
// panel-sim program as a child, each driven from the slave the way the downloader
// drives a port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/protocol.h"
#include "tools/panel-sim/pty_transport.h"

extern char** environ;

namespace panelsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

speed_t SpeedCode(uint32_t baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    default:
      return B115200;
  }
}

// The host's end: the slave opened exclusively, raw, at chosen line settings.
class Host {
 public:
  Host(const std::string& path, uint32_t baud, Parity parity) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    ioctl(fd_, TIOCEXCL);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, SpeedCode(baud));
    cfsetospeed(&t, SpeedCode(baud));
    t.c_cflag &= ~tcflag_t(PARENB | PARODD | CSTOPB);
    if (parity != Parity::None) t.c_cflag |= PARENB;
    if (parity == Parity::Odd) t.c_cflag |= PARODD;
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~Host() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }

  // Writes the request and reads until `expected` bytes came or the wait ran out.
  Bytes Exchange(const Bytes& request, size_t expected, std::chrono::milliseconds wait = 2000ms) {
    if (write(fd_, request.data(), request.size()) != ssize_t(request.size())) return {};
    Bytes reply;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (reply.size() < expected && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      uint8_t buffer[256];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n > 0) reply.insert(reply.end(), buffer, buffer + n);
    }
    return reply;
  }
  Bytes Command(uint8_t command, size_t expected = 9) {
    return Exchange(BuildRequest(command, 1), expected);
  }

 private:
  int fd_ = -1;
};

Bytes Record(std::string_view text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0x0D);
  return bytes;
}

// The transport serving a panel on a thread of its own.
class TransportTest : public ::testing::Test {
 protected:
  void Start(const TransportOptions& options, PanelConfig config = {}) {
    std::string error;
    transport_ = PtyTransport::Open(&error);
    ASSERT_TRUE(transport_) << error;
    panel_ = std::make_unique<PanelCore>(std::move(config), clock_);
    thread_ = std::thread([this, options] { transport_->Run(*panel_, clock_, options, stop_); });
  }
  void TearDown() override {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  dravik::SteadyClock clock_;
  std::unique_ptr<PtyTransport> transport_;
  std::unique_ptr<PanelCore> panel_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(TransportTest, AnswersAnIdentificationEachTimeTheHostReopens) {
  Start({});
  for (int open = 0; open < 5; ++open) {
    Host host(transport_->SlavePath(), 9600, Parity::None);
    ASSERT_TRUE(host.Ok());
    const Bytes reply = host.Command(cmd::kIdentify, 22);
    ASSERT_EQ(reply.size(), 22u) << "open " << open;
    EXPECT_EQ(reply[4], cmd::kIdentify);
    EXPECT_EQ(reply[8], 0x05);
  }
}

TEST_F(TransportTest, HearsOnlyAtItsSpeedAndWithOddParityVisible) {
  TransportOptions options;
  options.line = {115200, 8, Parity::Odd, StopBits::One};
  options.pace = true;
  Start(options);
  struct Case {
    uint32_t baud;
    Parity parity;
    bool answers;
  };
  for (const Case& c : {Case{9600, Parity::Odd, false}, Case{115200, Parity::None, false},
                        Case{115200, Parity::Even, false}, Case{115200, Parity::Odd, true}}) {
    Host host(transport_->SlavePath(), c.baud, c.parity);
    ASSERT_TRUE(host.Ok());
    const Bytes reply =
        host.Exchange(BuildRequest(cmd::kIdentify, 1), 22, c.answers ? 2000ms : 300ms);
    EXPECT_EQ(reply.size(), c.answers ? 22u : 0u) << c.baud << " parity " << int(c.parity);
  }
}

// The panel-sim program as a child process with its stdout on a pipe.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), PANEL_SIM_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, PANEL_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // Everything the program printed up to its first line end.
  std::string FirstLine() {
    std::string line;
    char c = 0;
    while (Readable(5000ms) && read(out_, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
  }
  // The exit status, or -1 when the program did not end in time (it is then killed).
  int Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  std::string Rest() {
    std::string text;
    char buffer[512];
    ssize_t n = 0;
    while (Readable(1000ms) && (n = read(out_, buffer, sizeof buffer)) > 0)
      text.append(buffer, size_t(n));
    return text;
  }
  void Signal(int signal) { kill(pid_, signal); }

 private:
  bool Readable(std::chrono::milliseconds wait) {
    pollfd p{out_, POLLIN, 0};
    return poll(&p, 1, int(wait.count())) > 0;
  }
  pid_t pid_ = -1;
  int out_ = -1;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PanelSimProgram, RecordsADownloadAndExitsAfterTheFinalRestart) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "panel-sim-e2e";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  Program program({"--type", "24", "--version", "1", "--restart-ms", "50", "--idle-exit", "20",
                   "--exit-after-download", "--record", (dir / "record").string(), "--path-file",
                   (dir / "path").string()});
  const std::string path = program.FirstLine();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(ReadFile(dir / "path"), path + "\n");
  {
    Host host(path, 9600, Parity::None);
    ASSERT_TRUE(host.Ok());
    EXPECT_EQ(host.Command(cmd::kIdentify, 20).size(), 20u) << "version 1: short layout";
    EXPECT_EQ(host.Command(cmd::kEnterUpdateMode).size(), 9u);
    EXPECT_EQ(host.Exchange(Record("S00600004844521B"), 9).size(), 9u);
    // Machine 0x24 restarts at once after the S7, without a reply.
    EXPECT_EQ(host.Exchange(Record("S705000000FA"), 9, 300ms).size(), 0u);
  }
  {
    Host host(path, 9600, Parity::None);
    EXPECT_EQ(host.Command(cmd::kPrepareTextBlock).size(), 9u);
    EXPECT_EQ(host.Command(cmd::kBeginTextBlock).size(), 9u);
    EXPECT_EQ(host.Exchange(Record("S1070000AABBCCDDEA"), 9).size(), 9u);
    EXPECT_EQ(host.Command(cmd::kEndTextBlock).size(), 9u);
    EXPECT_EQ(host.Command(cmd::kRequestRestart).size(), 9u);
    std::this_thread::sleep_for(100ms);
    const Bytes packet = BuildRequest(cmd::kDataPacket, 1, Bytes{0x00, 0x01, 0xDE, 0xAD});
    EXPECT_EQ(host.Exchange(packet, 9), BuildReply(cmd::kDataPacket, 0, 1));
    EXPECT_EQ(host.Command(cmd::kRequestRestart).size(), 9u);
    EXPECT_EQ(program.Wait(300ms), -1) << "still serving while the host holds the line";
  }

  EXPECT_EQ(program.Wait(10s), 0);
  const std::string summary = program.Rest();
  EXPECT_NE(summary.find("panel-sim: download finished"), std::string::npos) << summary;
  EXPECT_NE(summary.find("block 3: 2 bytes"), std::string::npos) << summary;
  EXPECT_EQ(ReadFile(dir / "record" / "block-1.srec"), "S00600004844521B\nS705000000FA\n");
  EXPECT_EQ(ReadFile(dir / "record" / "block-2.srec"), "S1070000AABBCCDDEA\n");
  EXPECT_EQ(ReadFile(dir / "record" / "block-3.bin"), "\xDE\xAD");
  EXPECT_FALSE(std::filesystem::exists(dir / "path")) << "the path is gone with the program";
  std::filesystem::remove_all(dir);
}

TEST(PanelSimProgram, StopsOnATerminatingSignalWithASummaryAndNoPathFileLeft) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "panel-sim-sig";
  std::filesystem::create_directories(dir);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    Program program({"--idle-exit", "20", "--path-file", (dir / "path").string()});
    ASSERT_EQ(program.FirstLine().rfind("/dev/pts/", 0), 0u);
    program.Signal(signal);
    EXPECT_EQ(program.Wait(5s), 0) << strsignal(signal);
    EXPECT_NE(program.Rest().find("panel-sim: stopped"), std::string::npos) << strsignal(signal);
    EXPECT_FALSE(std::filesystem::exists(dir / "path")) << strsignal(signal);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace panelsim
