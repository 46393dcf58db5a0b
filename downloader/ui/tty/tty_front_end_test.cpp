#include "downloader/ui/tty/tty_front_end.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace dravik {
namespace {

TEST(TerminalFrontEnd, DrawsOnlyOnATerminalBothWaysThatIsNotDumb) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const int file = open("/dev/null", O_WRONLY);
  struct Case {
    int in, out;
    const char* term;
    bool lines;
  };
  const Case cases[] = {
      {slave, slave, "xterm-256color", false},
      {slave, slave, nullptr, false},
      {slave, slave, "dumb", true},
      {slave, file, "xterm", true},
      {file, slave, "xterm", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WantsLineMode(c.in, c.out, c.term), c.lines)
        << c.in << " " << c.out << " " << (c.term ? c.term : "(unset)");
  }
  close(file);
  close(slave);
  close(master);
}

}  // namespace
}  // namespace dravik
