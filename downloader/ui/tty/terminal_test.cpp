#include "downloader/ui/tty/terminal.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

namespace dravik {
namespace {

using Handler = void (*)(int);

Handler HandlerOf(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler;
}

TEST(RawTerminal, TakesOverOnlyTheSignalsNotIgnoredAndPutsEverythingBack) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  // As under nohup: a hang-up is meant to leave the program running.
  const Handler hangUp = std::signal(SIGHUP, SIG_IGN);
  const Handler interrupt = std::signal(SIGINT, SIG_DFL);
  {
    RawTerminal terminal(slave, slave);
    ASSERT_TRUE(terminal.active());
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    EXPECT_NE(HandlerOf(SIGINT), SIG_DFL) << "Ctrl-C puts the terminal back first";
    termios raw{};
    tcgetattr(slave, &raw);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(raw.c_iflag & IXON, 0u) << "Ctrl-S must not stop the output";
  }
  EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
  EXPECT_EQ(HandlerOf(SIGINT), SIG_DFL);
  termios back{};
  tcgetattr(slave, &back);
  EXPECT_EQ(back.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
  EXPECT_EQ(back.c_iflag & IXON, static_cast<tcflag_t>(IXON));
  std::signal(SIGHUP, hangUp);
  std::signal(SIGINT, interrupt);
  close(slave);
  close(master);
}

}  // namespace
}  // namespace dravik
