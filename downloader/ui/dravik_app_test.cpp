#include "downloader/ui/dravik_app.h"

#include <gtest/gtest.h>

#include "downloader/ui/com_ports.h"
#include "downloader/ui/help.h"
#include "downloader/ui/port_select_dlg.h"
#include "downloader/ui/testing/fake_front_end.h"
#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/testing/recording_profile.h"

namespace dravik {
namespace {

class NoPorts final : public PortOpener {
 public:
  std::unique_ptr<BytePort> Open(const std::string&, PortError*) override { return nullptr; }
};

class NoViewer final : public HelpViewer {
 public:
  bool DisplayTopic(const std::string&) override { return false; }
};

// Stands in for the download: notes what the dialog holds when its start message
// arrives and ends the dialog.
class ProbeDownloadDlg : public CDownloadDlg {
 public:
  ProbeDownloadDlg(FrontEnd& frontEnd, DownloadDialogServices& services, CDravikApp& app,
                   std::vector<std::string>& log)
      : CDownloadDlg(frontEnd, services), app_(app), log_(log) {}

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t, intptr_t) override {
    if (message == WM_APP) {
      log_.push_back("download on port " + std::to_string(m_env.PortNumber) +
                     (app_.m_pMainWnd == this ? " as main window" : ""));
      EndDialog(IDOK);
    }
    return 0;
  }

 private:
  CDravikApp& app_;
  std::vector<std::string>& log_;
};

class ProbeApp : public CDravikApp {
 public:
  ProbeApp(AppServices& services, std::vector<std::string>& log)
      : CDravikApp(services), frontEnd_(services.frontEnd), log_(log) {}

 protected:
  std::unique_ptr<CDownloadDlg> NewDownloadDialog(DownloadDialogServices& services) override {
    log_.push_back("construct download dialog");
    return std::make_unique<ProbeDownloadDlg>(frontEnd_, services, *this, log_);
  }

 private:
  FrontEnd& frontEnd_;
  std::vector<std::string>& log_;
};

class StartUp : public ::testing::Test {
 protected:
  StartUp() {
    registry.Put(kSerialCommKey, RegValue::String("Serial0", "COM1"));
    registry.Put(kSerialCommKey, RegValue::String("Serial1", "COM3"));
    registry.Put(kKelvaneKey, RegValue::String("InstallLocation", "/srv/kelvane"));
    registry.Put(kHelpFileKey, RegValue::String("German", "Dravik_g.chm"));
  }

  std::vector<std::string> log;
  FakeFrontEnd front{&log};
  MemoryRegistry registry{&log};
  VirtualClock clock;
  NoPorts ports;
  NoViewer viewer;
  AppServices services{front,
                       registry,
                       clock,
                       ports,
                       viewer,
                       CurrentOsVersion(),
                       "/opt/dravik/dravik",
                       [this](const std::string& path) {
                         log.push_back("profile file " + path);
                         auto profile = std::make_unique<RecordingProfile>(&log);
                         profile->Put("Language", "Language", "german");
                         return profile;
                       }};

  // The lines of the log that start with prefix.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const auto& line : log) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }
  size_t IndexOf(const std::string& line) const {
    return static_cast<size_t>(std::find(log.begin(), log.end(), line) - log.begin());
  }
};

TEST_F(StartUp, RunsProfileLanguageHelpThenThePortDialog) {
  CDravikApp app(services);
  front.QueueInput(InputEvent::Command(IDCANCEL));
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.m_pszProfileName, "/opt/dravik/Dravik.ini");
  EXPECT_EQ(app.m_nLanguage, 7);
  EXPECT_EQ(app.m_strHelpPath, "/srv/kelvane/Dravik_g.chm");

  const size_t profile = IndexOf("profile file /opt/dravik/Dravik.ini");
  const size_t language = IndexOf("profile Language/Language");
  const size_t help = IndexOf(std::string("query ") + kHelpFileKey + " German");
  const size_t port = IndexOf("show 130");
  EXPECT_LT(profile, language);
  EXPECT_LT(language, help);
  EXPECT_LT(help, port);
  EXPECT_LT(port, log.size());
}

TEST_F(StartUp, CancellingThePortDialogEndsWithoutTheDownloadOrItsSettings) {
  CDravikApp app(services);
  front.QueueInput(InputEvent::Command(IDCANCEL));
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(Lines("profile TransEnvironment").empty());
  EXPECT_TRUE(Lines("show 102").empty());
  EXPECT_TRUE(Lines("set ").empty());
  EXPECT_EQ(log.back(), "close 130 cancel");
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(app.ExitCode(), 2);
}

TEST_F(StartUp, OkRunsOneDownloadDialogOnTheChosenPortAfterConstructingBothDialogs) {
  ProbeApp app(services, log);
  front.QueueInput([](DialogState& dialog) {
    dialog.ComboSetSelection(IDC_PORT_LIST, 1);
    return InputEvent::Command(IDOK);
  });
  EXPECT_FALSE(app.InitInstance());

  EXPECT_EQ(Lines("download on port"),
            std::vector<std::string>{"download on port 3 as main window"});
  EXPECT_EQ(Lines("show 102").size(), 1u);
  EXPECT_LT(IndexOf("construct download dialog"), IndexOf("show 130"));
  // The settings are read only once the download dialog opens.
  const auto settings = Lines("profile TransEnvironment");
  EXPECT_EQ(settings.size(), 6u);
  EXPECT_GT(IndexOf(settings.front()), IndexOf("close 130 ok"));
  EXPECT_LT(IndexOf(settings.back()), IndexOf("show 102"));
  EXPECT_EQ(log.back(), "close 102 ok");
  EXPECT_EQ(registry.QueryValue(kDravikKey, "TransPort"), RegValue::Dword("TransPort", 3));
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(app.ExitCode(), 0);
}

}  // namespace
}  // namespace dravik
