#pragma once
// The terminal under the front end: raw key input without echo or Ctrl-S/Ctrl-Q
// output flow control (signals stay on, so Ctrl-C still ends the program) and
// reads that wait only as long as asked.

#include <string>

namespace dravik {

// Puts a terminal into key-by-key input without echo and hides the cursor; puts
// both back when it goes, and when the program is ended by a signal.
class RawTerminal {
 public:
  RawTerminal(int inFd, int outFd);
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

enum class ReadStatus { Data, Nothing, End };

// Appends what fd has to out. timeoutMs: 0 returns at once, -1 waits for data.
// End when the other side has closed (end of a file or a pipe, a hung-up terminal).
ReadStatus ReadAvailable(int fd, std::string& out, int timeoutMs);

// The terminal's height in lines, or fallback when it cannot be asked.
int TerminalRows(int fd, int fallback);

}  // namespace dravik
