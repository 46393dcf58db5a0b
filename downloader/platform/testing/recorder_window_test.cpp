#include "downloader/platform/testing/recorder_window.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(RecorderWindow, AnswersBoxesFromTheQueueThenByDefault) {
  RecorderWindow window;
  window.QueueBoxAnswer(IDNO);
  EXPECT_EQ(window.MessageBox("Quit transfer?", BoxButtons::YesNo, BoxIcon::Question), IDNO);
  EXPECT_EQ(window.MessageBox("Quit transfer?", BoxButtons::YesNo, BoxIcon::Question), IDYES);
  EXPECT_EQ(window.MessageBox("Busy Error", BoxButtons::Ok, BoxIcon::Exclamation), IDOK);
  EXPECT_EQ(window.BoxTexts(),
            (std::vector<std::string>{"Quit transfer?", "Quit transfer?", "Busy Error"}));
  EXPECT_EQ(window.Boxes()[2], (BoxRecord{"Busy Error", BoxButtons::Ok, BoxIcon::Exclamation}));
}

TEST(RecorderWindow, CodePromptTypesEntriesUntilOneIsAccepted) {
  RecorderWindow window;
  window.QueueCodePrompt({"bad", "good", "never typed"});
  window.QueueCodePrompt({"bad"});
  const CodePromptHandler handler = [&](const std::string& text) {
    if (text == "good") return true;
    window.MessageBox("wrong", BoxButtons::Ok, BoxIcon::Exclamation);
    return false;
  };
  EXPECT_EQ(window.RunCodePrompt(0x24, handler), IDOK);
  EXPECT_EQ(window.RunCodePrompt(0x24, handler), IDCANCEL);  // entries ran out
  EXPECT_EQ(window.RunCodePrompt(0x24, handler), IDCANCEL);  // nothing scripted
  ASSERT_EQ(window.CodeEntries().size(), 3u);
  EXPECT_TRUE(window.CodeEntries()[1].accepted);

  // The prompt is logged before the boxes its handler showed.
  const auto& events = window.Events();
  ASSERT_EQ(events.size(), 5u);  // prompt, box, prompt, box, prompt
  EXPECT_EQ(events[0].kind, WindowEvent::Kind::CodePrompt);
  EXPECT_EQ(events[0].result, IDOK);
  EXPECT_EQ(events[0].machineType, 0x24);
  EXPECT_EQ(events[1].kind, WindowEvent::Kind::MessageBox);
}

TEST(RecorderWindow, PumpRunsTheCallbackAndControlsAreLogged) {
  RecorderWindow window;
  int seen = 0;
  window.OnPump([&](int pump) { seen = pump; });
  window.PumpMessages();
  window.PumpMessages();
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(window.PumpCount(), 2);

  window.SetItemText(1003, "Connecting");
  window.SendProgress(1007, PBM_SETRANGE, 0, 200 << 16);
  window.SendProgress(1007, PBM_SETPOS, 50, 0);
  EXPECT_EQ(window.SendProgress(1007, PBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(window.ItemText(1003), "Connecting");
  EXPECT_EQ(window.Progress(1007).Maximum(), 200);
  EXPECT_EQ(window.Events().size(), 4u);
}

}  // namespace
}  // namespace dravik
