// The code prompt on the Qt front end, raised by a panel that keeps update mode
// behind a code: one field of at most 8 characters over the download dialog, its
// three messages with the field emptied after each, and a closed prompt as Cancel.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <string>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/ui/qt/testing/qt_download_rig.h"
#include "downloader/ui/qt/testing/ui_script.h"

namespace dravik {
namespace {

panelsim::PanelConfig LockedPanel() {
  panelsim::PanelConfig config;
  config.panelCode = "AB12";
  return config;
}

QLineEdit* CodeField(QtDialogWindow& prompt) {
  return dynamic_cast<QLineEdit*>(prompt.Control(IDC_CODE_EDIT));
}

struct PromptSeen {
  bool overTheDownload = false;
  std::string machine;
  int maxLength = 0;
  bool focused = false;
  std::string text;
};

class QtCodePrompt : public ::testing::Test {
 protected:
  // Waits for the prompt, notes how it looks, types the entry and presses OK.
  UiScript::Step Enter(std::string entry) {
    return [this, entry] {
      QtDialogWindow* prompt = ActiveDialog(IDD_CODE_PROMPT);
      if (prompt == nullptr) return false;
      QLineEdit* field = CodeField(*prompt);
      prompts.push_back(
          {prompt->parentWidget() == rig.window(),
           dynamic_cast<QLabel*>(prompt->Control(IDC_CODE_MACHINE))->text().toStdString(),
           field->maxLength(), prompt->focusWidget() == field, field->text().toStdString()});
      QTest::keyClicks(field, QString::fromStdString(entry));
      typed.push_back(field->text().toStdString());
      Click(prompt->Control(IDOK));
      return true;
    };
  }
  UiScript::Step Answer() {
    return [this] {
      QMessageBox* box = ActiveBox();
      if (box == nullptr) return false;
      boxes.push_back(box->text().toStdString());
      icons.push_back(box->icon());
      Click(box->button(QMessageBox::Ok));
      return true;
    };
  }

  QtDownloadRig rig{LockedPanel()};
  std::vector<PromptSeen> prompts;
  std::vector<std::string> typed;
  std::vector<std::string> boxes;
  std::vector<QMessageBox::Icon> icons;
};

TEST_F(QtCodePrompt, RefusedEntriesKeepItOpenEmptiedAndTheRightCodeUnlocksThePanel) {
  {
    UiScript script;
    script.Then("the prompt", Enter("AB-1"))
        .Then("message 25020", Answer())
        .Then("the prompt again", Enter("ab13"))
        .Then("message 25019", Answer())
        .Then("the prompt a third time", Enter("abcdefghijk"))
        .Then("message 25019 again", Answer())
        .Then("the prompt a fourth time", Enter("ab12"))
        .Then("Transfer complete.", Answer());
    EXPECT_EQ(rig.dialog.DoModal(), IDOK);
  }
  // The field takes 8 characters at most, so 25021 cannot come from it.
  EXPECT_EQ(typed, (std::vector<std::string>{"AB-1", "ab13", "abcdefgh", "ab12"}));
  const std::vector<std::string> expected = {LoadString(IDS_CODE_BAD_CHARACTER),
                                             LoadString(IDS_WRONG_CODE), LoadString(IDS_WRONG_CODE),
                                             LoadString(IDS_TRANSFER_COMPLETE)};
  EXPECT_EQ(boxes, expected);
  EXPECT_EQ(icons,
            (std::vector<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Warning,
                                            QMessageBox::Warning, QMessageBox::Information}));
  ASSERT_EQ(prompts.size(), 4u);
  for (const PromptSeen& prompt : prompts) {
    EXPECT_TRUE(prompt.overTheDownload);
    EXPECT_EQ(prompt.machine, LoadString(IDS_CODE_PROMPT_MACHINE) + " 05");
    EXPECT_EQ(prompt.maxLength, 8);
    EXPECT_TRUE(prompt.focused);
    EXPECT_EQ(prompt.text, "");  // emptied after every message
  }
  // One prompt for the whole run: the panel stays unlocked.
  EXPECT_TRUE(rig.port.panel().DownloadFinished());
}

TEST_F(QtCodePrompt, ClosingThePromptCancelsTheUnlockWithoutAMessageOfItsOwn) {
  {
    UiScript script;
    script
        .Then("the prompt",
              [] {
                QtDialogWindow* prompt = ActiveDialog(IDD_CODE_PROMPT);
                if (prompt == nullptr) return false;
                prompt->close();
                return true;
              })
        .Watch([this] {
          // Whatever the sequence then says is answered.
          if (ActiveBox() != nullptr) Answer()();
        });
    rig.dialog.DoModal();
  }
  for (const std::string& box : boxes) {
    EXPECT_NE(box, LoadString(IDS_CANNOT_ENTER_UPDATE_MODE));
    EXPECT_NE(box, LoadString(IDS_WRONG_CODE));
    EXPECT_NE(box, LoadString(IDS_CODE_BAD_CHARACTER));
  }
  EXPECT_EQ(rig.front.TopWindow(), nullptr);
}

}  // namespace
}  // namespace dravik
