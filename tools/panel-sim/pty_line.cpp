// termios2 and <termios.h> cannot meet in one file, so this one uses only the kernel's.
#include "tools/panel-sim/pty_line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace panelsim {

std::optional<VisibleLine> ReadVisibleLine(int masterFd) {
  termios2 settings{};
  if (ioctl(masterFd, TCGETS2, &settings) != 0) return std::nullopt;
  VisibleLine line;
  line.baudRate = settings.c_ospeed;
  line.stickParity = (settings.c_cflag & CMSPAR) != 0;
  line.oddParity = (settings.c_cflag & PARODD) != 0 && !line.stickParity;
  line.twoStopBits = (settings.c_cflag & CSTOPB) != 0;
  return line;
}

bool SetRawLine(int masterFd) {
  termios2 settings{};
  if (ioctl(masterFd, TCGETS2, &settings) != 0) return false;
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                             ICRNL | IXON | IXOFF);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CBAUD);
  settings.c_cflag |= CS8 | CREAD | CLOCAL | B9600;
  settings.c_ispeed = settings.c_ospeed = 9600;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return ioctl(masterFd, TCSETS2, &settings) == 0;
}

}  // namespace panelsim
