#include "downloader/ui/tty/screen_view.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(ScreenView, DialogUnitsBecomeCharacterCells) {
  // Rows are taken at the control's middle, so a label and its bar share a line.
  EXPECT_EQ(ToCells(*kDownloadDialog.Find(IDC_OVERALL_BAR)).row,
            ToCells(*kDownloadDialog.Find(IDC_OVERALL_PERCENT)).row);
  const CellRect status = ToCells(*kDownloadDialog.Find(IDC_STATUS));
  EXPECT_EQ(status.column, 11);
  EXPECT_EQ(status.row, 2);
  EXPECT_EQ(status.width, 27);
  // A combo box sits on the line of its closed field, not in the middle of its list.
  EXPECT_EQ(ToCells(*kPortSelectDialog.Find(IDC_PORT_LIST)).row, 1);
}

TEST(ScreenView, DrawsTheDownloadDialogWithBarsPercentagesAndADisabledCancel) {
  DialogState dialog(kDownloadDialog);
  dialog.SetText(IDC_STATUS, "Interrupting transfer");
  dialog.SetText(IDC_WARNING, "Warning: Don't cut off the power supply.");
  dialog.Progress(IDC_OVERALL_BAR, PBM_SETPOS, 50, 0);
  dialog.SetText(IDC_OVERALL_PERCENT, " 50%");
  dialog.SetText(IDC_STEP_PERCENT, "100%");
  dialog.Progress(IDC_STEP_BAR, PBM_SETPOS, 100, 0);
  dialog.Enable(IDCANCEL, false);
  const std::vector<std::string> lines = RenderDialog(dialog, '/');
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "+-- Dravik / --------------------------------------+");
  EXPECT_EQ(lines[3], "|              Interrupting transfer               |");
  EXPECT_EQ(lines[5], "|    Warning: Don't cut off the power supply.      |");
  EXPECT_EQ(lines[7], "| [########################################] 100%  |");
  EXPECT_EQ(lines[10], "| [####################....................]  50%  |");
  EXPECT_EQ(lines[13], "|                   - Cancel -                     |");
  EXPECT_EQ(lines[15], "+--------------------------------------------------+");
}

TEST(ScreenView, TextsWiderThanTheirLabelGrowOnTheSideTheirAlignmentLeavesFree) {
  struct Case {
    int id;
    const char* text;
    size_t line;
    const char* expected;
  };
  const Case cases[] = {
      // The block senders write " %2d%%" at 100 too: five characters in a four-cell label.
      {IDC_STEP_PERCENT, " 100%", 7, "|                                            100%  |"},
      {IDC_OVERALL_PERCENT, " 16%", 10, "|                                             16%  |"},
      {IDC_STATUS, "A status line far wider than its label", 3,
       "|      A status line far wider than its label      |"},
      {IDC_WARNING, "A warning so long that it needs the whole dialog and more", 5,
       "|A warning so long that it needs the whole dialog a|"},
  };
  for (const Case& c : cases) {
    DialogState dialog(kDownloadDialog);
    dialog.Show(IDC_STEP_BAR, false);
    dialog.Show(IDC_OVERALL_BAR, false);
    dialog.SetText(c.id, c.text);
    EXPECT_EQ(RenderDialog(dialog, 0)[c.line], c.expected) << c.text;
  }
}

TEST(ScreenView, ThePortDialogListsEveryPortWithTheSelectionMarked) {
  DialogState dialog(kPortSelectDialog);
  for (const char* port : {"COM1", "COM3", "COM10"}) dialog.ComboInsert(IDC_PORT_LIST, -1, port);
  dialog.ComboSetSelection(IDC_PORT_LIST, 1);
  const std::vector<std::string> lines = RenderDialog(dialog, 0);
  EXPECT_EQ(lines[2], "|     COM port  [COM3    v]     |");
  EXPECT_EQ(lines[5], "|      Execute Download?        |");
  EXPECT_EQ(lines[8], "|     < OK >      [ Cancel ]    |");
  EXPECT_EQ(lines.back(), "  Ports: COM1 [COM3] COM10");
  EXPECT_EQ(KeyHints(dialog), "Enter OK   Esc Cancel   Up/Down choose");

  DialogState empty(kPortSelectDialog);
  EXPECT_EQ(RenderDialog(empty, 0).back(), "  Ports: none registered");
}

TEST(ScreenView, BoxesShowTheirIconAndTheFocusedButton) {
  const BoxView box{"Quit transfer?", BoxButtons::YesNo, BoxIcon::Question, 1};
  const std::vector<std::string> lines = RenderBox(box);
  EXPECT_EQ(lines[0], "+-- Dravik --------------------+");
  EXPECT_EQ(lines[2], "|  (?)  Quit transfer?         |");
  EXPECT_EQ(lines[4], "|       [ Yes ]   < No >       |");
  EXPECT_NE(KeyHints(box).find("y Yes"), std::string::npos);
  const BoxView ok{"Transfer complete.", BoxButtons::Ok, BoxIcon::Information, 0};
  EXPECT_EQ(RenderBox(ok)[2], "|  (i)  Transfer complete.     |");
}

}  // namespace
}  // namespace dravik
