#include "downloader/ui/dialog_window.h"

#include <gtest/gtest.h>

#include "downloader/ui/dialog.h"
#include "downloader/ui/testing/fake_front_end.h"

namespace dravik {
namespace {

// A dialog that hands its Window to a test body while it runs.
class HostDialog : public CDialog {
 public:
  HostDialog(FakeFrontEnd& front, std::function<void(Window&)> body)
      : CDialog(front, kDownloadDialog), body_(std::move(body)) {}

 protected:
  bool OnInitDialog() override {
    PostMessage(WM_APP, 0, 0);
    return true;
  }
  intptr_t WindowProc(uint32_t, uintptr_t, intptr_t) override {
    body_(AsWindow());
    EndDialog(IDOK);
    return 0;
  }

 private:
  std::function<void(Window&)> body_;
};

FakeFrontEnd::Action Type(std::string text) {
  return [text](DialogState& prompt) {
    EXPECT_EQ(prompt.focus(), IDC_CODE_EDIT);
    EXPECT_EQ(prompt.Text(IDC_CODE_EDIT), "");  // emptied after every refusal
    prompt.SetText(IDC_CODE_EDIT, text);
    return InputEvent::Command(IDOK);
  };
}

TEST(DialogWindow, TheCodePromptAsksUntilTheHandlerAcceptsAnEntry) {
  FakeFrontEnd front;
  std::vector<std::string> offered;
  std::string machineLine;
  front.QueueInput(Type("abc"));
  front.QueueInput([&](DialogState& prompt) {
    machineLine = prompt.Text(IDC_CODE_MACHINE);
    return Type("right")(prompt);
  });
  int result = 0;
  HostDialog host(front, [&](Window& window) {
    result = window.RunCodePrompt(0x2A, [&](const std::string& text) {
      offered.push_back(text);
      return text == "right";
    });
  });
  host.DoModal();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(offered, (std::vector<std::string>{"abc", "right"}));
  EXPECT_EQ(machineLine, "Machine type 2A");
}

TEST(DialogWindow, CancellingThePromptGivesCancelWithoutAskingTheHandler) {
  FakeFrontEnd front;
  front.QueueInput(InputEvent::Command(IDCANCEL));
  int result = 0;
  bool asked = false;
  HostDialog host(front, [&](Window& window) {
    result = window.RunCodePrompt(1, [&](const std::string&) { return asked = true; });
  });
  host.DoModal();
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_FALSE(asked);
  EXPECT_EQ(front.log(),
            (std::vector<std::string>{"show 102", "show 131", "close 131 cancel", "close 102 ok"}));
}

TEST(DialogWindow, ControlCallsReachTheDialogAndOkBoxesCarryTheExclamation) {
  FakeFrontEnd front;
  HostDialog host(front, [](Window& window) {
    window.SetItemText(IDC_STATUS, "Connecting");
    window.EnableItem(IDCANCEL, false);
    window.SendProgress(IDC_OVERALL_BAR, PBM_SETRANGE, 0, 100 << 16);
    window.SendProgress(IDC_OVERALL_BAR, PBM_SETSTEP, 11, 0);
    window.SendProgress(IDC_OVERALL_BAR, PBM_STEPIT, 0, 0);
    EXPECT_EQ(window.SendProgress(IDC_OVERALL_BAR, PBM_GETPOS, 0, 0), 11);
    window.MessageBox("Busy Error", BoxButtons::Ok, BoxIcon::None);
    window.MessageBox("Transfer complete.", BoxButtons::Ok, BoxIcon::Information);
  });
  host.DoModal();
  EXPECT_EQ(host.state().Text(IDC_STATUS), "Connecting");
  EXPECT_FALSE(host.state().IsEnabled(IDCANCEL));
  EXPECT_EQ(front.log(),
            (std::vector<std::string>{
                "show 102", "text 1003: Connecting", "box exclamation ok: Busy Error -> ok",
                "box information ok: Transfer complete. -> ok", "close 102 ok"}));
}

}  // namespace
}  // namespace dravik
