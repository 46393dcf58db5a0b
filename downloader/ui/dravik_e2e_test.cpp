// The real dravik program, copied beside a sample package made by dvx, in a
// throw-away prefix whose COM1 is the pseudo-terminal of a panel-sim child: driven
// through a pipe (line mode) and through a pseudo-terminal of its own (keys). Real
// time: the panel's restart pauses make each download last some twenty seconds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "downloader/platform/scratch_dir.h"
#include "downloader/transfer/package.h"
#include "downloader/transfer/package_text.h"

extern char** environ;

namespace dravik {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kRunLimit = 120s;

// A child process with its standard streams on the given descriptors.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, int in,
        int out) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDERR_FILENO);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  void Terminate() {
    if (pid_ > 0 && !ended_) kill(pid_, SIGTERM);
  }
  // The exit status, or -1 when the child has not ended by the deadline.
  int Wait(std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

// Everything a child wrote on fd until it closed it or the time ran out; with
// answer, a callback that sees the output so far and may write to fd.
std::string Collect(int fd, std::chrono::steady_clock::duration limit,
                    const std::function<void(const std::string&)>& answer = {}) {
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;  // closed (a pipe) or hung up (a pseudo-terminal whose child ended)
    output.append(buffer, static_cast<size_t>(got));
    if (answer) answer(output);
  }
  return output;
}

class Dravik : public ::testing::Test {
 protected:
  void SetUp() override {
    app = dir.File("app");
    prefix = dir.File("prefix");
    fs::create_directories(app);
    fs::create_directories(prefix + "/dosdevices");
    ASSERT_EQ(
        std::system(
            ("'" DVX_PROGRAM "' sample '" + app + "' -m 5 --binary 300,2000 >/dev/null").c_str()),
        0);
    fs::copy_file(DRAVIK_PROGRAM, app + "/dravik");

    const int null = open("/dev/null", O_RDWR);
    simulator = std::make_unique<Child>(
        std::vector<std::string>{PANEL_SIM_PROGRAM, "--type", "05", "--baud", "19200", "--parity",
                                 "odd", "--record", dir.File("received"), "--path-file",
                                 dir.File("pts"), "--exit-after-download", "--idle-exit", "120"},
        std::vector<std::string>{}, null, null);
    close(null);
    ASSERT_TRUE(simulator->started());
    for (int i = 0; i < 200 && !fs::exists(dir.File("pts")); ++i) std::this_thread::sleep_for(25ms);
    std::string pts = dir.Read("pts");
    while (!pts.empty() && pts.back() == '\n') pts.pop_back();
    ASSERT_FALSE(pts.empty());
    fs::create_symlink(pts, prefix + "/dosdevices/com1");
    dir.Write("prefix/system.reg",
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
              "\"panel-sim\"=\"COM1\"\n");
  }
  void TearDown() override {
    if (simulator) {
      simulator->Terminate();
      simulator->Wait(5s);
    }
  }

  std::vector<std::string> Environment() const {
    return {"DRAVIK_PREFIX=" + prefix, "DRAVIK_UI=tty"};
  }

  // Every block of the package arrived as it stands in the package.
  void ExpectReceivedPackage() {
    ASSERT_EQ(simulator->Wait(30s), 0);
    TransferPackage package;
    ASSERT_TRUE(package.OpenPackage(app + "/data.dvx").ok());
    std::vector<uint8_t> block;
    uint32_t length = 0;
    for (int n = 1; package.ReadNextBlock(block, length).ok() && length != 0; ++n) {
      SCOPED_TRACE(n);
      if (n <= 2) {
        std::string expected;
        const auto kind = n == 1 ? TextBlockKind::Block1 : TextBlockKind::Block2;
        for (std::string_view record : SplitTextBlock(block, kind).Records()) {
          expected += std::string(record) + "\n";
        }
        EXPECT_EQ(dir.Read("received/block-" + std::to_string(n) + ".srec"), expected);
      } else {
        EXPECT_EQ(dir.Read("received/block-" + std::to_string(n) + ".bin"),
                  std::string(block.begin(), block.end()));
      }
    }
  }

  ScratchDir dir;
  std::string app;
  std::string prefix;
  std::unique_ptr<Child> simulator;
};

TEST_F(Dravik, DownloadsThroughAPipeOfAnswers) {
  int in[2];
  int out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(write(in[1], "\n\n", 2), 2);  // OK in the port dialog, OK on "Transfer complete."
  close(in[1]);
  Child dravik({app + "/dravik"}, Environment(), in[0], out[1]);
  close(in[0]);
  close(out[1]);
  ASSERT_TRUE(dravik.started());
  const std::string output = Collect(out[0], kRunLimit);
  close(out[0]);
  EXPECT_EQ(dravik.Wait(5s), 0) << output;
  EXPECT_NE(output.find("ports: *COM1"), std::string::npos) << output;
  EXPECT_NE(output.find("overall: 50%"), std::string::npos) << output;
  EXPECT_NE(output.find("box information: Transfer complete. [OK]\nanswer: ok\nend download: ok"),
            std::string::npos)
      << output;
  ExpectReceivedPackage();
  EXPECT_NE(dir.Read("prefix/system.reg").find("\"TransPort\"=dword:00000001"), std::string::npos);
}

TEST_F(Dravik, DownloadsDrivenByKeysOnATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  Child dravik({app + "/dravik"}, Environment(), slave, slave);
  close(slave);
  ASSERT_TRUE(dravik.started());

  // Enter on the port dialog; Escape once the block bar moves, and No to the
  // question; Enter on "Transfer complete.".
  enum { kPort, kTransfer, kQuestion, kComplete, kDone } step = kPort;
  const auto keys = [&](const std::string& screen) {
    const auto press = [&](const char* bytes) {
      ASSERT_EQ(write(master, bytes, strlen(bytes)), static_cast<ssize_t>(strlen(bytes)));
    };
    if (step == kPort && screen.find("Execute Download?") != std::string::npos) {
      press("\r");
      step = kTransfer;
    } else if (step == kTransfer && screen.find("Transferring") != std::string::npos &&
               screen.find("  5%") != std::string::npos) {
      press("\x1b");
      step = kQuestion;
    } else if (step == kQuestion && screen.find("Quit transfer?") != std::string::npos) {
      press("n");
      step = kComplete;
    } else if (step == kComplete && screen.find("Transfer complete.") != std::string::npos) {
      press("\r");
      step = kDone;
    }
  };
  const std::string screen = Collect(master, kRunLimit, keys);
  close(master);
  EXPECT_EQ(dravik.Wait(5s), 0);
  EXPECT_EQ(step, kDone) << screen;
  ExpectReceivedPackage();
}

}  // namespace
}  // namespace dravik
