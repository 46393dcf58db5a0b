// The dialogs as windows: every template laid out in its font's cell, the caption
// buttons of its style, and the system menu's place in the context menu.

#include "downloader/ui/qt/qt_dialog_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/ui/qt/dialog_font.h"
#include "downloader/ui/qt/testing/ui_script.h"

namespace dravik {
namespace {

struct Window {
  explicit Window(const DialogResource& resource)
      : state(resource),
        window(state, nullptr, [this](const InputEvent& event) { input.push_back(event); }) {}
  DialogState state;
  std::vector<InputEvent> input;
  QtDialogWindow window;
};

TEST(QtDialogWindow, EveryTemplateIsLaidOutInItsFontsCell) {
  for (const DialogResource* resource : kDialogs) {
    Window shown(*resource);
    const DialogBaseUnits base = BaseUnitsOf(DialogFont(*resource));
    ASSERT_GT(base.x, 0);
    ASSERT_GT(base.y, 0);
    EXPECT_EQ(shown.window.baseUnits().x, base.x);
    EXPECT_EQ(shown.window.baseUnits().y, base.y);
    EXPECT_EQ(shown.window.size(), QSize(HorizontalPixels(resource->width, base),
                                         VerticalPixels(resource->height, base)))
        << resource->id;
    for (const ControlState& control : shown.state.controls()) {
      const auto& resourceControl = *control.resource;
      if (resourceControl.id == IDC_STATIC) continue;
      const QWidget* widget = shown.window.Control(resourceControl.id);
      ASSERT_NE(widget, nullptr) << resource->id << " " << resourceControl.id;
      const PixelRect rect = ToPixels(resourceControl.rect, base);
      const QRect geometry = widget->geometry();
      EXPECT_EQ(geometry.x(), rect.x) << resourceControl.id;
      EXPECT_EQ(geometry.y(), rect.y) << resourceControl.id;
      EXPECT_EQ(geometry.width(), rect.w) << resourceControl.id;
      // A drop-down list's template height includes its open list.
      if (resourceControl.kind != ControlKind::ComboBox) {
        EXPECT_EQ(geometry.height(), rect.h) << resourceControl.id;
      }
      EXPECT_EQ(widget->objectName().toStdString(), RoleName(resourceControl.role));
    }
  }
}

TEST(QtDialogWindow, TheProgramsTextsFitTheirLabels) {
  struct Case {
    const DialogResource* dialog;
    int controlId;
    std::string text;
  };
  const Case cases[] = {
      {&kPortSelectDialog, IDC_QUESTION, LoadString(IDS_EXECUTE_DOWNLOAD)},
      {&kDownloadDialog, IDC_STATUS, LoadString(IDS_TRANSFERRING)},
      {&kDownloadDialog, IDC_STATUS, LoadString(IDS_INTERRUPTING)},
      {&kDownloadDialog, IDC_WARNING, LoadString(IDS_POWER_WARNING)},
      {&kDownloadDialog, IDC_STEP_PERCENT, "100%"},
      {&kDownloadDialog, IDC_OVERALL_PERCENT, "100%"},
      {&kCodePromptDialog, IDC_CODE_MACHINE, LoadString(IDS_CODE_PROMPT_MACHINE) + " FF"},
  };
  for (const Case& c : cases) {
    Window shown(*c.dialog);
    shown.state.SetText(c.controlId, c.text);
    shown.window.Refresh(c.controlId);
    auto* label = dynamic_cast<QLabel*>(shown.window.Control(c.controlId));
    ASSERT_NE(label, nullptr) << c.text;
    EXPECT_EQ(label->text().toStdString(), c.text);
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << c.text;
    EXPECT_LE(metrics.height(), label->height()) << c.text;
  }
  // The static texts of the templates themselves.
  for (const DialogResource* resource : kDialogs) {
    Window shown(*resource);
    const QFontMetrics metrics(shown.window.font());
    for (QLabel* label : shown.window.findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
          << label->text().toStdString();
    }
  }
}

TEST(QtDialogWindow, CaptionButtonsFollowTheTemplateStyle) {
  struct Case {
    const DialogResource* dialog;
    Qt::WindowType type;
  };
  // The download dialog has a taskbar button of its own; none has minimise or maximise.
  const Case cases[] = {{&kPortSelectDialog, Qt::Dialog},
                        {&kDownloadDialog, Qt::Window},
                        {&kAboutDialog, Qt::Dialog},
                        {&kCodePromptDialog, Qt::Dialog}};
  for (const Case& c : cases) {
    Window shown(*c.dialog);
    const Qt::WindowFlags flags = shown.window.windowFlags();
    EXPECT_EQ(shown.window.windowType(), c.type) << c.dialog->id;
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint)) << c.dialog->id;
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint)) << c.dialog->id;
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint)) << c.dialog->id;
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint)) << c.dialog->id;
    EXPECT_EQ(shown.window.minimumSize(), shown.window.maximumSize()) << c.dialog->id;
    EXPECT_EQ(shown.window.windowTitle().toStdString(), c.dialog->caption);
    EXPECT_TRUE(shown.window.isModal());
  }
}

TEST(QtDialogWindow, UserInputBecomesTheDialogManagersCommands) {
  Window shown(kPortSelectDialog);
  shown.state.ComboInsert(IDC_PORT_LIST, -1, "COM1");
  shown.state.ComboInsert(IDC_PORT_LIST, -1, "COM3");
  shown.state.ComboSetSelection(IDC_PORT_LIST, 0);
  shown.window.Refresh(IDC_PORT_LIST);
  shown.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
  auto* list = dynamic_cast<QComboBox*>(shown.window.Control(IDC_PORT_LIST));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2);

  QTest::keyClick(list, Qt::Key_Down);
  Click(shown.window.Control(IDOK));
  QTest::keyClick(&shown.window, Qt::Key_Escape);
  QTest::keyClick(&shown.window, Qt::Key_F1);  // the port dialog offers no help
  shown.window.close();
  EXPECT_TRUE(shown.window.isVisible());  // only the logic ends a dialog

  const std::vector<InputEvent> expected = {
      InputEvent::Command(IDC_PORT_LIST, CBN_SELCHANGE), InputEvent::Command(IDOK),
      InputEvent::Command(IDCANCEL), InputEvent::SysCommand(SC_CLOSE)};
  EXPECT_EQ(shown.input, expected);
  EXPECT_EQ(shown.state.ComboSelection(IDC_PORT_LIST), 1);

  shown.window.CloseForGood();
  EXPECT_FALSE(shown.window.isVisible());
}

TEST(QtDialogWindow, F1AsksForHelpWhereTheDialogGivesIt) {
  Window shown(kDownloadDialog);
  shown.state.SetHelpAvailable(true);
  shown.window.show();
  QTest::keyClick(shown.window.Control(IDCANCEL), Qt::Key_F1);
  EXPECT_EQ(shown.input, std::vector<InputEvent>{InputEvent::Help()});
}

TEST(QtDialogWindow, SystemMenuItemsFollowCloseInTheContextMenu) {
  Window shown(kDownloadDialog);
  shown.state.AppendSystemMenu(0, "");
  shown.state.AppendSystemMenu(IDM_ABOUTBOX, LoadString(IDS_ABOUTBOX));
  QMenu menu;
  shown.window.FillSystemMenu(menu);
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->data().toUInt(), SC_CLOSE);
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_EQ(actions[2]->text().toStdString(), "&About...");
  EXPECT_EQ(actions[2]->data().toUInt(), IDM_ABOUTBOX);

  // Shift+F10 opens it from the keyboard; each item gives its system command.
  shown.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
  for (const char* item : {"&About", "&Close"}) {
    UiScript script;
    script.Then("the context menu", [item] { return ChooseFromPopup(item); });
    QTest::keyClick(shown.window.Control(IDCANCEL), Qt::Key_F10, Qt::ShiftModifier);
  }
  EXPECT_EQ(shown.input, (std::vector<InputEvent>{InputEvent::SysCommand(IDM_ABOUTBOX),
                                                  InputEvent::SysCommand(SC_CLOSE)}));
}

}  // namespace
}  // namespace dravik
