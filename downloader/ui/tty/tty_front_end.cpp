#include "downloader/ui/tty/tty_front_end.h"

#include <unistd.h>

#include "downloader/ui/tty/line_front_end.h"
#include "downloader/ui/tty/screen_front_end.h"
#include "downloader/ui/tty/terminal.h"

namespace dravik {

TerminalFrontEnd::TerminalFrontEnd(int inFd, int outFd, std::ostream& out)
    // A screen needs a terminal both ways; output into a file or a pipe gets lines.
    : lineMode_(isatty(inFd) == 0 || isatty(outFd) == 0) {
  if (lineMode_) {
    frontEnd_ = std::make_unique<LineFrontEnd>(inFd, out);
    return;
  }
  raw_ = std::make_unique<RawTerminal>(inFd, outFd);
  frontEnd_ = std::make_unique<ScreenFrontEnd>(inFd, out, outFd);
}

TerminalFrontEnd::~TerminalFrontEnd() = default;

}  // namespace dravik
