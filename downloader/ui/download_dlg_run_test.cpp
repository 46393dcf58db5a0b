// The download dialog with the real download in it, against a scripted panel in
// virtual time: the Cancel question reaches the dialog through the sequence's own
// message pumping, and the sequence honours a Yes at its next checkpoint.

#include <gtest/gtest.h>

#include "downloader/transfer/testing/engine_rig.h"
#include "downloader/ui/download_dlg.h"
#include "downloader/ui/testing/fake_front_end.h"
#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/testing/recording_profile.h"

namespace dravik {
namespace {

constexpr uint8_t kType = 0x05;

// Two text blocks of S1 records (the second one's settings line first and its end
// marker last) and two binary blocks.
std::vector<Bytes> Blocks() {
  std::vector<std::string> block1;
  std::vector<std::string> block2 = {"; settings"};
  for (uint8_t i = 0; i < 5; ++i) {
    (i < 3 ? block1 : block2)
        .push_back(SRecord(1, static_cast<uint16_t>(0x1000 + 16 * i), PatternBytes(16, i)));
  }
  block1.push_back("S70500000000FA");
  block2.push_back("*****");
  return {TextBlock(block1), TextBlock(block2), PatternBytes(700, 3), PatternBytes(300, 4)};
}

class NoViewer final : public HelpViewer {
 public:
  bool DisplayTopic(const std::string&) override { return false; }
};

class DialogRun : public ::testing::Test {
 protected:
  DialogRun() {
    const Bytes bytes = PackageBytes(kType, blocks);
    folder.Write("data.dvx",
                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    dialog.m_env.PortNumber = 3;
  }
  // Cancel is clicked at the pump before the given request goes out.
  void CancelAtRequest(size_t request) {
    front.OnPoll([this, request](DialogState&, int) -> std::optional<InputEvent> {
      if (port.RequestCount() != request || clicked) return std::nullopt;
      clicked = true;
      return InputEvent::Command(IDCANCEL);
    });
  }
  size_t IndexOf(const std::string& line) const {
    return static_cast<size_t>(std::find(front.log().begin(), front.log().end(), line) -
                               front.log().begin());
  }
  bool Logged(const std::string& line) const { return IndexOf(line) < front.log().size(); }

  const std::vector<Bytes> blocks = Blocks();
  ScratchDir folder;
  VirtualClock clock{1'000'000};
  ScriptedPort port{clock};
  PanelScript panel{port};
  FakeFrontEnd front;
  RecordingProfile profile;
  MemoryRegistry registry;
  NoViewer viewer;
  HelpServices help{registry, viewer, clock, CurrentOsVersion()};
  DownloadDialogServices services{port, clock, profile, help, "", folder.path()};
  CDownloadDlg dialog{front, services};
  bool clicked = false;
};

TEST_F(DialogRun, NoToTheQuestionLetsTheWholeDownloadRun) {
  panel.WholeDownload(kType, blocks);
  front.QueueBoxAnswer(IDNO);
  CancelAtRequest(3);  // in the middle of block 1
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_TRUE(Logged("box question yesno: Quit transfer? -> no"));
  EXPECT_TRUE(Logged("box information ok: Transfer complete. -> ok"));
  EXPECT_FALSE(dialog.m_bAbort);
  EXPECT_EQ(front.log().back(), "close 102 ok");
}

TEST_F(DialogRun, YesDuringBlockOneStopsAfterTheBlockAndItsRestartPause) {
  // Identification, update mode, the records of block 1, and nothing more.
  panel.Identify(kType);
  panel.Command(0x63);
  panel.Records(blocks[0], TextBlockKind::Block1, kType);
  front.QueueBoxAnswer(IDYES);
  CancelAtRequest(3);
  const uint64_t start = clock.NowMs();
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(port.ScriptDone());
  EXPECT_EQ(port.Problems(), std::vector<std::string>{});
  EXPECT_TRUE(dialog.m_bAbort);
  EXPECT_GE(clock.NowMs() - start, 6000u);  // the panel's restart pause still passed
  const size_t asked = IndexOf("box question yesno: Quit transfer? -> yes");
  const size_t interrupting = IndexOf("text 1003: Interrupting transfer");
  const size_t interrupted = IndexOf("box information ok: Transfer is interrupted -> ok");
  EXPECT_EQ(interrupting, asked + 1);
  EXPECT_LT(interrupting, interrupted);
  EXPECT_EQ(front.log().back(), "close 102 cancel");
  EXPECT_FALSE(dialog.state().IsEnabled(IDCANCEL));
}

}  // namespace
}  // namespace dravik
