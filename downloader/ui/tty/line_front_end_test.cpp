#include "downloader/ui/tty/line_front_end.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "downloader/resources/string_table.h"
#include "downloader/ui/code_prompt_dlg.h"
#include "downloader/ui/dialog.h"
#include "downloader/ui/port_select_dlg.h"
#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/tty/line_answers.h"

namespace dravik {
namespace {

// The script on the read end of a pipe whose write end is closed: the front end
// reads it to its end as it would read a file.
class Script {
 public:
  explicit Script(const std::string& text) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fds[1]);
    fd_ = fds[0];
  }
  ~Script() { close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::vector<std::string> Lines(const std::ostringstream& out) {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A download dialog as the sequence drives it: texts, a pump between steps, and
// the Cancel question.
class TransferDialog : public CDialog {
 public:
  explicit TransferDialog(FrontEnd& front) : CDialog(front, kDownloadDialog) {}
  bool abort = false;

 protected:
  bool OnInitDialog() override {
    SetDlgItemText(IDC_STATUS, "Transferring");
    PostMessage(WM_APP, 0, 0);
    return true;
  }
  intptr_t WindowProc(uint32_t, uintptr_t, intptr_t) override {
    Window& window = AsWindow();
    for (const char* percent : {" 25%", " 50%", " 50%"}) {
      window.PumpMessages();
      window.SetItemText(IDC_OVERALL_PERCENT, percent);
    }
    window.SendProgress(IDC_OVERALL_BAR, PBM_SETPOS, 100, 0);
    window.MessageBox(abort ? "Transfer is interrupted" : "Transfer complete.", BoxButtons::Ok,
                      BoxIcon::Information);
    EndDialog(abort ? IDCANCEL : IDOK);
    return 0;
  }
  void OnCancel() override {
    if (MessageBox("Quit transfer?", BoxButtons::YesNo, BoxIcon::Question) != IDYES) return;
    EnableDlgItem(IDCANCEL, false);
    SetDlgItemText(IDC_STATUS, "Interrupting transfer");
    abort = true;
  }
};

class LineMode : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.Put("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegValue::String("a", "COM1"));
    registry.Put("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegValue::String("b", "COM3"));
    registry.Put("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegValue::String("c", "COM10"));
  }
  MemoryRegistry registry;
  std::ostringstream out;
};

TEST_F(LineMode, ThePortDialogTakesAPortNameThenOk) {
  Script script("com10\nbogus\nok\n");
  LineFrontEnd front(script.fd(), out);
  CPortSelectDlg dialog(front, registry);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_nPort, 10);
  EXPECT_EQ(Lines(out), (std::vector<std::string>{
                            "dialog port",
                            "label: COM port",
                            "ports: *COM1 COM3 COM10",
                            "question: Execute Download?",
                            "buttons: *OK Cancel",
                            "ports: COM1 COM3 *COM10",
                            "answer: com10",
                            "unknown answer: bogus",
                            "answer: ok",
                            "end port: ok",
                        }));
}

TEST_F(LineMode, AtTheEndOfTheInputTheDefaultButtonAnswers) {
  Script script("");
  LineFrontEnd front(script.fd(), out);
  CPortSelectDlg dialog(front, registry);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(Lines(out)[5], "answer: ok (end of input)");
  EXPECT_EQ(front.MessageBox("Quit transfer?", BoxButtons::YesNo, BoxIcon::Question), IDYES);
}

TEST_F(LineMode, ADownloadPrintsEachChangeOnceAndLeavesLinesMeantForTheBoxes) {
  Script script("\n");  // for the box at the end, not for the dialog
  LineFrontEnd front(script.fd(), out);
  TransferDialog dialog(front);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(Lines(out), (std::vector<std::string>{
                            "dialog download",
                            "status: Transferring",
                            "warning: Do not turns off the power of VQ",
                            "step: %",
                            "overall: %",
                            "buttons: Cancel",
                            "overall: 25%",
                            "overall: 50%",
                            "box information: Transfer complete. [OK]",
                            "answer: ok",
                            "end download: ok",
                        }));
}

TEST_F(LineMode, CancelDuringTheDownloadAsksAndYesDisablesCancel) {
  Script script("no\ncancel\nno\ncancel\nyes\ncancel\n");
  LineFrontEnd front(script.fd(), out);
  TransferDialog dialog(front);
  // "no" at the head of the input is not for the dialog: it waits for a box, and
  // the download runs on to its end with every later line unread.
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(Lines(out)[8], "box information: Transfer complete. [OK]");
  EXPECT_EQ(Lines(out)[9], "unknown answer: no");

  std::ostringstream second;
  Script cancels("cancel\nno\ncancel\ny\ncancel\n");
  LineFrontEnd front2(cancels.fd(), second);
  TransferDialog dialog2(front2);
  EXPECT_EQ(dialog2.DoModal(), IDCANCEL);
  const std::vector<std::string> lines = Lines(second);
  const std::vector<std::string> tail(lines.begin() + 6, lines.end());
  // Everything is there at the first pump, which takes it all.
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "answer: cancel",
                      "box question: Quit transfer? [Yes/No]",
                      "answer: no",
                      "answer: cancel",
                      "box question: Quit transfer? [Yes/No]",
                      "answer: yes",
                      "cancel: disabled",
                      "status: Interrupting transfer",
                      "answer: cancel",
                      "beep",
                      "overall: 25%",
                      "overall: 50%",
                      "box information: Transfer is interrupted [OK]",
                      "answer: ok (end of input)",
                      "end download: cancel",
                  }));
}

TEST_F(LineMode, ThePromptTakesEachLineAsItsTextAndCancelsAtTheEnd) {
  Script script("cancel\nabc1\n");
  LineFrontEnd front(script.fd(), out);
  std::vector<std::string> offered;
  CCodePromptDlg prompt(front, 0x12, [&](const std::string& text) {
    offered.push_back(text);
    return false;
  });
  EXPECT_EQ(prompt.DoModal(), IDCANCEL);
  EXPECT_EQ(offered, (std::vector<std::string>{"cancel", "abc1"}));
  const std::vector<std::string> lines = Lines(out);
  EXPECT_EQ(lines[2], "machine: Machine type 12");
  EXPECT_EQ(lines.back(), "end code: cancel");
  EXPECT_EQ(lines[lines.size() - 2], "answer: cancel (end of input)");
}

TEST(LineAnswers, BoxAnswers) {
  struct Case {
    BoxButtons buttons;
    const char* line;
    std::optional<int> answer;
  };
  const Case cases[] = {
      {BoxButtons::YesNo, "", IDYES},          {BoxButtons::YesNo, "Y", IDYES},
      {BoxButtons::YesNo, " no ", IDNO},       {BoxButtons::YesNo, "<esc>", IDNO},
      {BoxButtons::YesNo, "ok", std::nullopt}, {BoxButtons::Ok, "ok", IDOK},
      {BoxButtons::Ok, "<ESC>", IDOK},         {BoxButtons::Ok, "yes", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBoxAnswer(c.buttons, c.line), c.answer) << c.line;
}

TEST(LineAnswers, InAFieldOnlyBracketedKeysAreKeys) {
  DialogState prompt(kCodePromptDialog);
  prompt.SetFocus(IDC_CODE_EDIT);
  const DialogAnswer esc = ParseDialogAnswer(prompt, "<Esc>");
  EXPECT_EQ(esc.event, InputEvent::Command(IDCANCEL));
  const DialogAnswer typed = ParseDialogAnswer(prompt, "help");
  EXPECT_EQ(typed.event, InputEvent::Command(IDOK));
  EXPECT_EQ(prompt.Text(IDC_CODE_EDIT), "help");
  EXPECT_FALSE(IsPumpAnswer(prompt, "cancel"));

  DialogState download(kDownloadDialog);
  EXPECT_TRUE(IsPumpAnswer(download, "CANCEL"));
  EXPECT_TRUE(IsPumpAnswer(download, "help"));
  EXPECT_FALSE(IsPumpAnswer(download, ""));
  EXPECT_EQ(ParseDialogAnswer(download, "").kind, DialogAnswer::Kind::Nothing);
}

}  // namespace
}  // namespace dravik
