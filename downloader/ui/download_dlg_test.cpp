#include "downloader/ui/download_dlg.h"

#include <gtest/gtest.h>

#include "downloader/platform/scratch_dir.h"
#include "downloader/ui/testing/fake_front_end.h"
#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/testing/recording_profile.h"

namespace dravik {
namespace {

class NoPorts final : public PortOpener {
 public:
  std::unique_ptr<BytePort> Open(const std::string&, PortError* error) override {
    if (error != nullptr) *error = PortError::NotFound;
    return nullptr;
  }
};

class FakeViewer final : public HelpViewer {
 public:
  bool DisplayTopic(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  std::vector<std::string> opened;
};

// The download dialog with a stand-in for the download when the test gives one: it
// runs the test's body in the start message, as the sequence would, with the
// message pump available, then ends the dialog.
class ProbeDownloadDlg : public CDownloadDlg {
 public:
  using CDownloadDlg::CDownloadDlg;
  std::function<void(ProbeDownloadDlg&)> body;

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message != WM_APP || !body) return CDownloadDlg::WindowProc(message, wParam, lParam);
    body(*this);
    EndDialog(IDCANCEL);
    return 0;
  }
};

class DownloadDialog : public ::testing::Test {
 protected:
  FakeFrontEnd front;
  NoPorts ports;
  VirtualClock clock;
  RecordingProfile profile;
  MemoryRegistry registry;
  FakeViewer viewer;
  HelpServices help{registry, viewer, clock, CurrentOsVersion()};
  ScratchDir folder;  // the program's folder, without a package
  DownloadDialogServices services{ports,        clock, profile, help, "/srv/kelvane/Dravik_e.chm",
                                  folder.path()};
  ProbeDownloadDlg dialog{front, services};
};

TEST_F(DownloadDialog, ConstructionStartsWithoutAbortAndWithTheIcon) {
  EXPECT_FALSE(dialog.m_bAbort);
  EXPECT_EQ(dialog.m_hIcon, IDR_MAINFRAME);
  EXPECT_TRUE(dialog.m_strError.empty());
  EXPECT_EQ(dialog.m_hComm, nullptr);
}

TEST_F(DownloadDialog, OpensWithItsTextsSettingsAndAboutItem) {
  profile.Put("TransEnvironment", "BaudRate", "115200");
  profile.Put("TransEnvironment", "Parity", "2");
  profile.Put("TransEnvironment", "RetryCount", "10");
  dialog.m_env.PortNumber = 3;
  DialogState* seen = nullptr;
  std::string status;
  std::string warning;
  dialog.body = [&](ProbeDownloadDlg& d) {
    seen = &d.state();
    status = d.state().Text(IDC_STATUS);
    warning = d.state().Text(IDC_WARNING);
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);

  EXPECT_EQ(front.log().front(), "show 102");
  EXPECT_EQ(status, "Transferring");
  EXPECT_EQ(warning, "Warning: Don't cut off the power supply.");
  ASSERT_NE(seen, nullptr);
  ASSERT_EQ(seen->systemMenu().size(), 2u);
  EXPECT_EQ(seen->systemMenu()[0].id, 0u);  // the separator
  EXPECT_EQ(seen->systemMenu()[1].id, IDM_ABOUTBOX);
  EXPECT_EQ(seen->systemMenu()[1].text, "&About...");
  EXPECT_EQ(seen->icon(), IDR_MAINFRAME);
  EXPECT_TRUE(seen->helpAvailable());

  const TransEnvironment expected{3, 115200, 8, 0, 2, 3, 5000};
  EXPECT_EQ(dialog.m_env, expected);
}

TEST_F(DownloadDialog, TheStartMessageRunsTheDownloadOnceTheDialogIsShown) {
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(front.log(),
            (std::vector<std::string>{
                "show 102", "box exclamation ok: Cannot find transfered data (data.dvx) -> ok",
                "close 102 cancel"}));
}

TEST_F(DownloadDialog, CancelAsksAndNoKeepsTheTransferGoing) {
  front.QueueBoxAnswer(IDNO);
  front.OnPoll([](DialogState&, int poll) -> std::optional<InputEvent> {
    if (poll == 1) return InputEvent::Command(IDCANCEL);
    return std::nullopt;
  });
  bool enabled = false;
  std::string status;
  dialog.body = [&](ProbeDownloadDlg& d) {
    d.PumpMessages();
    enabled = d.state().IsEnabled(IDCANCEL);
    status = d.state().Text(IDC_STATUS);
  };
  dialog.DoModal();
  EXPECT_EQ(front.log()[1], "box question yesno: Quit transfer? -> no");
  EXPECT_TRUE(enabled);
  EXPECT_EQ(status, "Transferring");
  EXPECT_FALSE(dialog.m_bAbort);
}

TEST_F(DownloadDialog, YesDisablesCancelShowsInterruptingAndLaterClosesOnlyBeep) {
  front.QueueBoxAnswer(IDYES);
  front.OnPoll([](DialogState&, int poll) -> std::optional<InputEvent> {
    if (poll == 1) return InputEvent::Command(IDCANCEL);
    if (poll == 3) return InputEvent::SysCommand(SC_CLOSE);  // the close box
    if (poll == 5) return InputEvent::Command(IDCANCEL);
    return std::nullopt;
  });
  std::vector<bool> abortSeen;
  dialog.body = [&](ProbeDownloadDlg& d) {
    d.PumpMessages();
    abortSeen.push_back(d.m_bAbort);
    EXPECT_FALSE(d.state().IsEnabled(IDCANCEL));
    d.PumpMessages();
    d.PumpMessages();
    abortSeen.push_back(d.m_bAbort);
  };
  dialog.DoModal();
  EXPECT_EQ(abortSeen, (std::vector<bool>{true, true}));
  EXPECT_EQ(front.log(),
            (std::vector<std::string>{"show 102", "box question yesno: Quit transfer? -> yes",
                                      "text 1003: Interrupting transfer", "beep", "beep",
                                      "close 102 cancel"}));
}

TEST_F(DownloadDialog, TheAboutItemShowsTheAboutBoxAndOtherSystemCommandsKeepTheirMeaning) {
  front.QueueBoxAnswer(IDNO);
  front.OnPoll([](DialogState&, int poll) -> std::optional<InputEvent> {
    if (poll == 1) return InputEvent::SysCommand(IDM_ABOUTBOX);
    if (poll == 3) return InputEvent::SysCommand(SC_CLOSE);
    return std::nullopt;
  });
  dialog.body = [](ProbeDownloadDlg& d) {
    d.PumpMessages();
    d.PumpMessages();
  };
  dialog.DoModal();
  EXPECT_EQ(front.log(), (std::vector<std::string>{"show 102", "show 100", "close 100 ok",
                                                   "box question yesno: Quit transfer? -> no",
                                                   "close 102 cancel"}));
}

TEST_F(DownloadDialog, HelpOpensTheHelpFileAndHoldsTheDialogForASecond) {
  front.OnPoll([](DialogState&, int poll) -> std::optional<InputEvent> {
    if (poll == 1) return InputEvent::Help();
    return std::nullopt;
  });
  dialog.body = [](ProbeDownloadDlg& d) { d.PumpMessages(); };
  dialog.DoModal();
  EXPECT_EQ(viewer.opened, std::vector<std::string>{"/srv/kelvane/Dravik_e.chm"});
  EXPECT_EQ(clock.NowMs(), 1000u);
}

}  // namespace
}  // namespace dravik
