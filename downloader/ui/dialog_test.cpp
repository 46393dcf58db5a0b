#include "downloader/ui/dialog.h"

#include <gtest/gtest.h>

#include "downloader/ui/keys.h"
#include "downloader/ui/testing/fake_front_end.h"

namespace dravik {
namespace {

// A dialog that logs its handlers into the front end's log.
class ProbeDialog : public CDialog {
 public:
  ProbeDialog(FakeFrontEnd& front, std::vector<std::string>& log, const DialogResource& resource)
      : CDialog(front, resource), log_(log) {}
  std::function<void(ProbeDialog&)> onPosted;

 protected:
  bool OnInitDialog() override {
    log_.push_back("init");
    PostMessage(WM_APP, 1, 2);
    return true;
  }
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    log_.push_back("posted " + std::to_string(message) + " " + std::to_string(wParam) + " " +
                   std::to_string(lParam));
    if (onPosted) onPosted(*this);
    return 0;
  }
  void OnCancel() override {
    log_.push_back("cancel");
    CDialog::OnCancel();
  }

 private:
  std::vector<std::string>& log_;
};

TEST(CDialog, InitialisesThenShowsThenDeliversThePostedMessageOnceBeforeAnyInput) {
  std::vector<std::string> log;
  FakeFrontEnd front(&log);
  ProbeDialog dialog(front, log, kDownloadDialog);
  front.QueueInput(InputEvent::Command(IDCANCEL));
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(log, (std::vector<std::string>{"init", "show 102", "posted 32768 1 2", "cancel",
                                           "close 102 cancel"}));
}

TEST(CDialog, AHandlerThatEndsTheDialogEndsTheLoopWithoutWaiting) {
  std::vector<std::string> log;
  FakeFrontEnd front(&log);
  ProbeDialog dialog(front, log, kDownloadDialog);
  dialog.onPosted = [](ProbeDialog& d) { d.EndDialog(IDOK); };
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(log.back(), "close 102 ok");
  EXPECT_EQ(front.polls(), 0);
}

TEST(CDialog, ADisabledCancelOnlyBeepsAndCloseIsCancel) {
  std::vector<std::string> log;
  FakeFrontEnd front(&log);
  ProbeDialog dialog(front, log, kDownloadDialog);
  dialog.onPosted = [](ProbeDialog& d) { d.EnableDlgItem(IDCANCEL, false); };
  front.QueueInput(InputEvent::Command(IDCANCEL));
  front.QueueInput(InputEvent::SysCommand(SC_CLOSE));
  front.QueueInput([](DialogState& state) {
    state.Enable(IDCANCEL, true);
    return InputEvent::SysCommand(SC_CLOSE + 2);  // the low four bits do not count
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(std::count(log.begin(), log.end(), "beep"), 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), "cancel"), 1);
}

TEST(CDialog, ThePumpDeliversWaitingInputAndReturnsWhenThereIsNone) {
  std::vector<std::string> log;
  FakeFrontEnd front(&log);
  ProbeDialog dialog(front, log, kDownloadDialog);
  front.OnPoll([](DialogState&, int poll) -> std::optional<InputEvent> {
    if (poll == 1) return InputEvent::Command(IDCANCEL);
    return std::nullopt;
  });
  dialog.onPosted = [](ProbeDialog& d) {
    d.PumpMessages();
    d.EndDialog(IDOK);  // the base OnCancel has already ended it: the first result stays
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(front.polls(), 2);
}

struct KeyCase {
  const char* what;
  const DialogResource* resource;
  KeyPress press;
  std::optional<InputEvent> event;
};

TEST(ApplyKey, MapsKeysToTheDialogManagersCommands) {
  const KeyCase cases[] = {
      {"Enter presses the default", &kPortSelectDialog, {Key::Enter}, InputEvent::Command(IDOK)},
      {"Enter without a default", &kDownloadDialog, {Key::Enter}, std::nullopt},
      {"Escape is Cancel", &kDownloadDialog, {Key::Escape}, InputEvent::Command(IDCANCEL)},
      {"Escape without Cancel", &kAboutDialog, {Key::Escape}, InputEvent::Command(IDCANCEL)},
      {"F1", &kPortSelectDialog, {Key::Help}, InputEvent::Help()},
      {"? is help", &kDownloadDialog, {Key::Character, '?'}, InputEvent::Help()},
      {"F2 without the About item", &kDownloadDialog, {Key::About}, std::nullopt},
      {"other letters", &kDownloadDialog, {Key::Character, 'x'}, std::nullopt},
  };
  for (const auto& c : cases) {
    DialogState state(*c.resource);
    EXPECT_EQ(ApplyKey(state, c.press), c.event) << c.what;
  }
}

TEST(ApplyKey, AboutNeedsTheSystemMenuItem) {
  DialogState state(kDownloadDialog);
  state.AppendSystemMenu(IDM_ABOUTBOX, "&About...");
  EXPECT_EQ(ApplyKey(state, {Key::About}), InputEvent::SysCommand(IDM_ABOUTBOX));
  EXPECT_EQ(ApplyKey(state, {Key::Character, 'a'}), InputEvent::SysCommand(IDM_ABOUTBOX));
}

TEST(ApplyKey, ArrowsMoveTheListSelectionWithinItsEnds) {
  DialogState state(kPortSelectDialog);
  for (const char* port : {"COM1", "COM3", "COM10"}) state.ComboInsert(IDC_PORT_LIST, -1, port);
  const auto changed = InputEvent::Command(IDC_PORT_LIST, CBN_SELCHANGE);
  EXPECT_EQ(ApplyKey(state, {Key::Down}), changed);  // from no selection to the first
  EXPECT_EQ(state.ComboSelection(IDC_PORT_LIST), 0);
  EXPECT_EQ(ApplyKey(state, {Key::Up}), std::nullopt);
  EXPECT_EQ(ApplyKey(state, {Key::End}), changed);
  EXPECT_EQ(state.ComboSelection(IDC_PORT_LIST), 2);
  EXPECT_EQ(ApplyKey(state, {Key::Down}), std::nullopt);
  EXPECT_EQ(ApplyKey(state, {Key::Up}), changed);
  EXPECT_EQ(state.ComboSelection(IDC_PORT_LIST), 1);
  EXPECT_EQ(ApplyKey(state, {Key::Home}), changed);
  EXPECT_EQ(state.ComboSelection(IDC_PORT_LIST), 0);
}

TEST(ApplyKey, TypingFillsTheFocusedFieldUpToItsLimit) {
  DialogState state(kCodePromptDialog);
  state.SetFocus(IDC_CODE_EDIT);
  for (const char c : std::string("a?b1234567")) {
    EXPECT_EQ(ApplyKey(state, {Key::Character, c}), std::nullopt);
  }
  EXPECT_EQ(state.Text(IDC_CODE_EDIT), "a?b12345");
  ApplyKey(state, {Key::Backspace});
  EXPECT_EQ(state.Text(IDC_CODE_EDIT), "a?b1234");
  EXPECT_EQ(ApplyKey(state, {Key::Enter}), InputEvent::Command(IDOK));
}

TEST(DialogState, ComboCallsAnswerAsTheControlDoes) {
  DialogState state(kPortSelectDialog);
  EXPECT_EQ(state.ComboSelection(IDC_PORT_LIST), CB_ERR);
  EXPECT_EQ(state.ComboData(IDC_PORT_LIST, CB_ERR), CB_ERR);
  EXPECT_EQ(state.ComboInsert(IDC_PORT_LIST, -1, "COM3"), 0);
  EXPECT_EQ(state.ComboInsert(IDC_PORT_LIST, 0, "COM1"), 0);
  EXPECT_EQ(state.ComboInsert(IDC_PORT_LIST, 5, "COM9"), CB_ERR);
  EXPECT_EQ(state.ComboSetData(IDC_PORT_LIST, 1, 3), 0);
  EXPECT_EQ(state.ComboSetData(IDC_PORT_LIST, 2, 3), CB_ERR);
  EXPECT_EQ(state.ComboSetSelection(IDC_PORT_LIST, 1), 1);
  EXPECT_EQ(state.ComboData(IDC_PORT_LIST, state.ComboSelection(IDC_PORT_LIST)), 3);
  EXPECT_EQ(state.ComboSetSelection(IDC_PORT_LIST, 7), CB_ERR);
  EXPECT_EQ(state.ComboInsert(IDC_QUESTION, -1, "x"), CB_ERR);  // not a list
}

TEST(DialogResources, ControlIdsAreUniqueAndControlsLieInsideTheirDialog) {
  for (const DialogResource* dialog : kDialogs) {
    for (const auto& control : dialog->controls) {
      EXPECT_LE(control.rect.x + control.rect.w, dialog->width) << dialog->id << " " << control.id;
      if (control.kind != ControlKind::ComboBox) {
        EXPECT_LE(control.rect.y + control.rect.h, dialog->height)
            << dialog->id << " " << control.id;
      }
      if (control.id != IDC_STATIC) {
        EXPECT_EQ(dialog->Find(control.id), &control);
      }
    }
    EXPECT_EQ(FindDialog(dialog->id), dialog);
  }
}

}  // namespace
}  // namespace dravik
