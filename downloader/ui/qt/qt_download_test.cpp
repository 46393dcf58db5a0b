// The download dialog on the Qt front end with the simulated panel behind its port:
// a whole download as the user sees it, the Cancel question while bytes move, and
// help and the About box reaching the dialog through the transfer's message pump.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/ui/qt/testing/qt_download_rig.h"
#include "downloader/ui/qt/testing/ui_script.h"

namespace dravik {
namespace {

// The values a bar took and the texts a label showed, each change once, in order.
struct Trace {
  std::vector<int> values;
  std::vector<std::string> texts;

  void Value(int value) {
    if (values.empty() || values.back() != value) values.push_back(value);
  }
  void Text(const QLabel* label) {
    if (label == nullptr) return;
    const std::string text = label->text().toStdString();
    if (texts.empty() || texts.back() != text) texts.push_back(text);
  }
};

template <typename T>
bool InOrder(const std::vector<T>& seen, const std::vector<T>& wanted) {
  auto at = seen.begin();
  for (const T& item : wanted) {
    at = std::find(at, seen.end(), item);
    if (at == seen.end()) return false;
    ++at;
  }
  return true;
}

struct BoxSeen {
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the box on top with the button; false while there is none.
bool Answer(std::vector<BoxSeen>& boxes, QMessageBox::StandardButton button) {
  QMessageBox* box = ActiveBox();
  if (box == nullptr) return false;
  boxes.push_back({box->text().toStdString(), box->icon()});
  Click(box->button(button));
  return true;
}

class QtDownload : public ::testing::Test {
 protected:
  // Traces the bars from the moment the dialog is up, before its start message runs.
  void TraceBars(UiScript& script) {
    script.Then("the download dialog", [this] {
      if (rig.window() == nullptr) return false;
      // Up, with the texts of its start, before its start message runs the download.
      visibleAtStart = rig.window()->isVisible();
      statusAtStart = rig.Label(IDC_STATUS)->text().toStdString();
      QObject::connect(rig.Bar(IDC_OVERALL_BAR), &QProgressBar::valueChanged,
                       [this](int value) { overall.Value(value); });
      QObject::connect(rig.Bar(IDC_STEP_BAR), &QProgressBar::valueChanged,
                       [this](int value) { step.Value(value); });
      return true;
    });
    script.Watch([this] {
      if (rig.window() == nullptr) return;
      overall.Text(rig.Label(IDC_OVERALL_PERCENT));
      step.Text(rig.Label(IDC_STEP_PERCENT));
      status.Text(rig.Label(IDC_STATUS));
      warning.Text(rig.Label(IDC_WARNING));
      if (rig.front.waitCursorOn()) sawHourglass = true;
    });
  }
  // The binary blocks the panel kept.
  size_t BlocksKept() { return rig.port.panel().Received().binary.size(); }

  QtDownloadRig rig;
  Trace overall, step, status, warning;
  std::vector<BoxSeen> boxes;
  bool sawHourglass = false;
  bool visibleAtStart = false;
  std::string statusAtStart;
};

TEST_F(QtDownload, AWholeDownloadMovesBothBarsAndEndsWithTransferComplete) {
  {
    UiScript script;
    TraceBars(script);
    script.Then("Transfer complete.", [this] { return Answer(boxes, QMessageBox::Ok); });
    EXPECT_EQ(rig.dialog.DoModal(), IDOK);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Transfer complete.");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
  EXPECT_TRUE(visibleAtStart);
  EXPECT_EQ(statusAtStart, "Transferring");

  EXPECT_TRUE(InOrder(overall.values, SampleOverallSteps()))
      << ::testing::PrintToString(overall.values);
  // " 66%" gives way to "100%" before the next pump, so nobody ever sees it.
  EXPECT_TRUE(InOrder(overall.texts, {"  0%", " 16%", " 33%", " 50%", "100%"}))
      << ::testing::PrintToString(overall.texts);
  // Within each block the block bar climbs from 0 to 100 through values between.
  EXPECT_TRUE(
      std::any_of(step.values.begin(), step.values.end(), [](int v) { return v > 0 && v < 100; }));
  EXPECT_EQ(step.values.back(), 100);
  EXPECT_EQ(step.texts.back(), "100%");
  EXPECT_TRUE(InOrder(status.texts, {"Connecting", "Transferring"}))
      << ::testing::PrintToString(status.texts);
  EXPECT_EQ(warning.texts, std::vector<std::string>{LoadString(IDS_POWER_WARNING)});
  EXPECT_TRUE(sawHourglass);
  EXPECT_FALSE(rig.front.waitCursorOn());

  EXPECT_TRUE(rig.port.panel().DownloadFinished());
  const std::vector<Bytes> blocks = SampleBlocks();
  ASSERT_EQ(BlocksKept(), 2u);
  EXPECT_EQ(rig.port.panel().Received().binary[0], blocks[2]);
  EXPECT_EQ(rig.port.panel().Received().binary[1], blocks[3]);
  EXPECT_EQ(rig.front.TopWindow(), nullptr);
}

TEST_F(QtDownload, CancelAsksNoKeepsGoingYesStopsAtTheNextCheckpoint) {
  bool enabledAfterNo = false;
  std::string statusAfterNo;
  bool enabledAfterYes = true;
  std::string statusAfterYes;
  int beepsBefore = 0;
  size_t keptWhenAsked = 0;
  int overallWhenInterrupted = 0;
  {
    UiScript script;
    TraceBars(script);
    script
        .Then("the first binary block under way",
              [this] {
                QProgressBar* bar = rig.Bar(IDC_STEP_BAR);
                if (rig.Bar(IDC_OVERALL_BAR)->value() < 33 || bar->value() <= 0 ||
                    bar->value() >= 50) {
                  return false;
                }
                Click(rig.Button(IDCANCEL));
                return true;
              })
        .Then("Quit transfer?", [this] { return Answer(boxes, QMessageBox::No); })
        .Then("the transfer going on",
              [&, atAnswer = -1]() mutable {
                const int value = rig.Bar(IDC_STEP_BAR)->value();
                if (atAnswer < 0) {
                  atAnswer = value;
                  enabledAfterNo = rig.Button(IDCANCEL)->isEnabled();
                  statusAfterNo = rig.Label(IDC_STATUS)->text().toStdString();
                }
                if (value == atAnswer) return false;
                rig.window()->close();  // the close button asks the same question
                return true;
              })
        .Then("Quit transfer? again",
              [&] {
                keptWhenAsked = BlocksKept();
                return Answer(boxes, QMessageBox::Yes);
              })
        .Then("Cancel disabled at once",
              [&] {
                enabledAfterYes = rig.Button(IDCANCEL)->isEnabled();
                statusAfterYes = rig.Label(IDC_STATUS)->text().toStdString();
                // From now on closing only beeps; the disabled button does nothing.
                beepsBefore = rig.front.beeps();
                rig.window()->close();
                QTest::keyClick(rig.window(), Qt::Key_Escape);
                Click(rig.Button(IDCANCEL));
                return true;
              })
        .Then("Transfer is interrupted", [&] {
          if (ActiveBox() == nullptr) return false;
          overallWhenInterrupted = rig.Bar(IDC_OVERALL_BAR)->value();
          return Answer(boxes, QMessageBox::Ok);
        });
    EXPECT_EQ(rig.dialog.DoModal(), IDCANCEL);
  }
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Quit transfer?");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Question);
  EXPECT_EQ(boxes[1].text, "Quit transfer?");
  EXPECT_EQ(boxes[2].text, "Transfer is interrupted");
  EXPECT_EQ(boxes[2].icon, QMessageBox::Information);

  EXPECT_TRUE(enabledAfterNo);
  EXPECT_EQ(statusAfterNo, "Transferring");
  EXPECT_FALSE(enabledAfterYes);
  EXPECT_EQ(statusAfterYes, "Interrupting transfer");
  EXPECT_EQ(rig.front.beeps() - beepsBefore, 2);

  // The block under way when Yes came was finished, then the sequence stopped.
  EXPECT_EQ(keptWhenAsked, 0u);
  EXPECT_EQ(BlocksKept(), 1u);
  EXPECT_EQ(overallWhenInterrupted, 50);
  EXPECT_TRUE(rig.dialog.m_bAbort);
}

TEST_F(QtDownload, HelpAndTheAboutBoxDuringATransfer) {
  std::vector<std::string> menu;
  std::string aboutVersion;
  bool aboutOverTheDialog = false;
  uint32_t framesWhenAboutOpened = 0;
  uint32_t framesWhenAboutClosed = 0;
  {
    UiScript script;
    TraceBars(script);
    script
        .Then("the transfer under way",
              [this] {
                if (rig.Bar(IDC_OVERALL_BAR)->value() < 16) return false;
                QTest::keyClick(rig.window(), Qt::Key_F1);
                return true;
              })
        .Then("the help request",
              [this] {
                if (rig.viewer.paths.empty()) return false;
                RightClick(rig.window());
                return true;
              })
        .Then("the context menu", [&] { return ChooseFromPopup("&About", &menu); })
        .Then("the About box",
              [&] {
                QtDialogWindow* about = ActiveDialog(IDD_ABOUTBOX);
                if (about == nullptr) return false;
                aboutOverTheDialog = about->parentWidget() == rig.window();
                for (QLabel* label : about->findChildren<QLabel*>()) {
                  if (label->text().startsWith("Dravik"))
                    aboutVersion = label->text().toStdString();
                }
                framesWhenAboutOpened = rig.port.panel().Stats().frames;
                return true;
              })
        .Then("the About box a while later",
              [&, passes = 0]() mutable {
                if (++passes < 50) return false;
                framesWhenAboutClosed = rig.port.panel().Stats().frames;
                Click(ActiveDialog(IDD_ABOUTBOX)->Control(IDOK));
                return true;
              })
        .Then("Transfer complete.", [this] { return Answer(boxes, QMessageBox::Ok); });
    EXPECT_EQ(rig.dialog.DoModal(), IDOK);
  }
  EXPECT_EQ(rig.viewer.paths, std::vector<std::string>{kRigHelpPath});
  EXPECT_EQ(menu, (std::vector<std::string>{"&Close\tAlt+F4", "-", "&About..."}));
  EXPECT_TRUE(aboutOverTheDialog);
  EXPECT_EQ(aboutVersion, LoadString(IDS_ABOUT_VERSION));
  // The About box runs inside the transfer's pump, so the transfer waits for it.
  EXPECT_EQ(framesWhenAboutClosed, framesWhenAboutOpened);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Transfer complete.");
}

}  // namespace
}  // namespace dravik
