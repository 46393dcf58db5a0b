#pragma once
// The terminal front end: drawn screens and keys when standard input and output
// are a terminal, lines otherwise (a pipe or a file: scripts, tests, logs; a
// dumb terminal).

#include <memory>
#include <ostream>

#include "downloader/ui/frontend.h"

namespace dravik {

class RawTerminal;

// Whether the terminal front end runs in line mode: when either side is not a
// terminal, or the terminal is a dumb one (TERM=dumb) that cannot be drawn on.
bool WantsLineMode(int inFd, int outFd, const char* term);

class TerminalFrontEnd {
 public:
  // Reads inFd, writes out (and asks outFd for its size); a terminal on inFd is
  // put into key-by-key input for as long as this object lives.
  TerminalFrontEnd(int inFd, int outFd, std::ostream& out);
  ~TerminalFrontEnd();
  TerminalFrontEnd(const TerminalFrontEnd&) = delete;
  TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;

  FrontEnd& frontEnd() { return *frontEnd_; }
  bool lineMode() const { return lineMode_; }

 private:
  bool lineMode_;
  std::unique_ptr<RawTerminal> raw_;
  std::unique_ptr<FrontEnd> frontEnd_;
};

}  // namespace dravik
