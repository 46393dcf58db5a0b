#pragma once
// The terminal front end for scripts: standard input is not a terminal, so answers
// come one per line (line_answers.h) and the output is one line per change of a
// text the user would see, per box and per answer. At the end of the input every
// question gets the default button (a code prompt gets Cancel, as it would ask
// again for ever).
//
//   dialog port                     a dialog opened
//   ports: COM1 *COM3 COM10         the list, * before the selection
//   question: Execute Download?     a text, tagged with its role
//   buttons: *OK Cancel             the buttons, * before the default one
//   cancel: disabled                a button disabled or enabled again
//   box question: Quit transfer? [Yes/No]
//   answer: no                      what was answered, "(end of input)" when taken
//   end port: ok                    a dialog ended, with its result

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "downloader/ui/frontend.h"

namespace dravik {

class LineFrontEnd final : public FrontEnd {
 public:
  LineFrontEnd(int inFd, std::ostream& out) : inFd_(inFd), out_(out) {}

  void ShowDialog(DialogState& dialog) override;
  void CloseDialog(DialogState& dialog, int result) override;
  void ControlChanged(DialogState& dialog, int controlId) override;
  InputEvent WaitForInput(DialogState& dialog) override;
  std::optional<InputEvent> PollInput(DialogState& dialog) override;
  int MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon) override;
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override;

 private:
  // The next whole line (the last one may lack its newline), without taking it;
  // nullopt at the end of the input, or when nothing is there and wait is false.
  std::optional<std::string> PeekLine(bool wait);
  void PopLine();
  void PrintChange(DialogState& dialog, int controlId);
  void Print(const std::string& line);

  int inFd_;
  std::ostream& out_;
  std::string input_;
  bool ended_ = false;
  // What was printed last for each control of each shown dialog.
  std::map<const DialogState*, std::map<int, std::string>> printed_;
};

}  // namespace dravik
