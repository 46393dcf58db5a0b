#include "downloader/ui/tty/tty_front_end.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "downloader/ui/tty/line_front_end.h"
#include "downloader/ui/tty/screen_front_end.h"
#include "downloader/ui/tty/terminal.h"

namespace dravik {

bool WantsLineMode(int inFd, int outFd, const char* term) {
  // A screen needs a terminal both ways that can move its cursor; output into a file
  // or a pipe, and a dumb terminal (an editor's shell buffer), get lines.
  const bool dumb = term != nullptr && std::string_view(term) == "dumb";
  return isatty(inFd) == 0 || isatty(outFd) == 0 || dumb;
}

TerminalFrontEnd::TerminalFrontEnd(int inFd, int outFd, std::ostream& out)
    : lineMode_(WantsLineMode(inFd, outFd, std::getenv("TERM"))) {
  if (lineMode_) {
    frontEnd_ = std::make_unique<LineFrontEnd>(inFd, out);
    return;
  }
  raw_ = std::make_unique<RawTerminal>(inFd, outFd);
  frontEnd_ = std::make_unique<ScreenFrontEnd>(inFd, out, outFd);
}

TerminalFrontEnd::~TerminalFrontEnd() = default;

}  // namespace dravik
