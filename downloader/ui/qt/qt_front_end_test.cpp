// The Qt front end with the program's dialogs: the port dialog driven by clicks
// and keys, message boxes as the program shows them, and the hourglass.

#include "downloader/ui/qt/qt_front_end.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <optional>

#include "downloader/resources/string_table.h"
#include "downloader/ui/com_ports.h"
#include "downloader/ui/port_select_dlg.h"
#include "downloader/ui/qt/qt_dialog_window.h"
#include "downloader/ui/qt/testing/ui_script.h"
#include "downloader/ui/testing/memory_registry.h"

namespace dravik {
namespace {

struct PortDialogSeen {
  std::vector<std::string> ports;
  std::string selected;
  std::string question;
};

class QtPortDialog {
 public:
  QtPortDialog() {
    int serial = 0;
    for (const char* port : {"COM10", "COM3", "com1"}) {
      registry.Put(kSerialCommKey,
                   RegValue::String("\\Device\\Serial" + std::to_string(serial++), port));
    }
    registry.Put(kDravikKey, RegValue::Dword("TransPort", 3));
  }

  // Runs the dialog; once it is up the user looks at it and then acts.
  int Run(const std::function<void(QtDialogWindow&)>& act) {
    UiScript script;
    script.Then("the port dialog", [&] {
      QtDialogWindow* window = ActiveDialog(IDD_PORT_SELECT);
      if (window == nullptr) return false;
      auto* list = dynamic_cast<QComboBox*>(window->Control(IDC_PORT_LIST));
      for (int i = 0; i < list->count(); ++i) seen.ports.push_back(list->itemText(i).toStdString());
      seen.selected = list->currentText().toStdString();
      seen.question = dynamic_cast<QLabel*>(window->Control(IDC_QUESTION))->text().toStdString();
      act(*window);
      return true;
    });
    return dialog.DoModal();
  }

  bool Wrote() const {
    for (const std::string& line : registry.log()) {
      if (line.rfind("set ", 0) == 0) return true;
    }
    return false;
  }
  uint32_t TransPort() {
    const auto value = registry.QueryValue(kDravikKey, "TransPort");
    return value ? static_cast<uint32_t>(value->data[0] | (value->data[1] << 8)) : 0;
  }

  MemoryRegistry registry;
  QtFrontEnd front;
  CPortSelectDlg dialog{front, registry};
  PortDialogSeen seen;
};

QComboBox* PortList(QtDialogWindow& window) {
  return dynamic_cast<QComboBox*>(window.Control(IDC_PORT_LIST));
}

TEST(QtPortDialog, ListsThePortsPreselectsTheLastAndOnlyOkRemembersTheChoice) {
  struct Case {
    const char* name;
    std::function<void(QtDialogWindow&)> act;
    int result;
    std::optional<uint32_t> written;  // nullopt: the registry is left alone
  };
  const Case cases[] = {
      {"OK on the preselection", [](QtDialogWindow& w) { Click(w.Control(IDOK)); }, IDOK, 3},
      {"Enter presses the default button",
       [](QtDialogWindow& w) { QTest::keyClick(PortList(w), Qt::Key_Return); }, IDOK, 3},
      {"another port, then OK",
       [](QtDialogWindow& w) {
         QTest::keyClick(PortList(w), Qt::Key_Down);
         Click(w.Control(IDOK));
       },
       IDOK, 10},
      {"another port, then Cancel",
       [](QtDialogWindow& w) {
         QTest::keyClick(PortList(w), Qt::Key_Down);
         Click(w.Control(IDCANCEL));
       },
       IDCANCEL, std::nullopt},
      {"the close button", [](QtDialogWindow& w) { w.close(); }, IDCANCEL, std::nullopt},
      {"Escape", [](QtDialogWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }, IDCANCEL,
       std::nullopt},
  };
  for (const Case& c : cases) {
    QtPortDialog run;
    EXPECT_EQ(run.Run(c.act), c.result) << c.name;
    EXPECT_EQ(run.seen.ports, (std::vector<std::string>{"COM1", "COM3", "COM10"})) << c.name;
    EXPECT_EQ(run.seen.selected, "COM3") << c.name;
    EXPECT_EQ(run.seen.question, "Execute Download?") << c.name;
    EXPECT_EQ(run.Wrote(), c.written.has_value()) << c.name;
    if (c.written) {
      EXPECT_EQ(run.TransPort(), *c.written) << c.name;
      EXPECT_EQ(run.dialog.m_nPort, *c.written) << c.name;
    }
    EXPECT_EQ(run.front.TopWindow(), nullptr) << c.name;
  }
}

struct BoxSeen {
  std::string caption;
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

TEST(QtFrontEndBoxes, CaptionIconButtonsAndAnswers) {
  struct Case {
    BoxButtons buttons;
    BoxIcon icon;
    QMessageBox::Icon shown;
    int key;  // 0: click the button below
    QMessageBox::StandardButton click;
    int answer;
  };
  const Case cases[] = {
      {BoxButtons::Ok, BoxIcon::Exclamation, QMessageBox::Warning, 0, QMessageBox::Ok, IDOK},
      {BoxButtons::Ok, BoxIcon::Information, QMessageBox::Information, Qt::Key_Return,
       QMessageBox::NoButton, IDOK},
      {BoxButtons::Ok, BoxIcon::None, QMessageBox::NoIcon, Qt::Key_Escape, QMessageBox::NoButton,
       IDOK},
      {BoxButtons::YesNo, BoxIcon::Question, QMessageBox::Question, 0, QMessageBox::Yes, IDYES},
      {BoxButtons::YesNo, BoxIcon::Question, QMessageBox::Question, 0, QMessageBox::No, IDNO},
      {BoxButtons::YesNo, BoxIcon::Question, QMessageBox::Question, Qt::Key_Return,
       QMessageBox::NoButton, IDYES},
      {BoxButtons::YesNo, BoxIcon::Question, QMessageBox::Question, Qt::Key_Escape,
       QMessageBox::NoButton, IDNO},
  };
  QtFrontEnd front;
  for (const Case& c : cases) {
    BoxSeen seen;
    UiScript script;
    script.Then("the box", [&] {
      QMessageBox* box = ActiveBox();
      if (box == nullptr) return false;
      seen = {box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
              box->standardButtons(), box->standardButton(box->defaultButton())};
      if (c.key != 0) {
        QTest::keyClick(box, static_cast<Qt::Key>(c.key));
      } else {
        Click(box->button(c.click));
      }
      return true;
    });
    EXPECT_EQ(front.MessageBox("Quit transfer?", c.buttons, c.icon), c.answer);
    EXPECT_EQ(seen.caption, "Dravik");
    EXPECT_EQ(seen.text, "Quit transfer?");
    EXPECT_EQ(seen.icon, c.shown);
    const bool yesNo = c.buttons == BoxButtons::YesNo;
    EXPECT_EQ(seen.buttons, yesNo ? (QMessageBox::Yes | QMessageBox::No)
                                  : QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.defaultButton, yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  }
}

std::optional<Qt::CursorShape> OverrideShape() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor != nullptr ? std::optional(cursor->shape()) : std::nullopt;
}

TEST(QtFrontEndCursor, HourglassWithTheArrowBackOverABox) {
  QtFrontEnd front;
  EXPECT_EQ(OverrideShape(), std::nullopt);
  front.BeginWaitCursor();
  EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
  EXPECT_TRUE(front.waitCursorOn());

  std::optional<Qt::CursorShape> overBox;
  UiScript script;
  script.Then("the box", [&] {
    QMessageBox* box = ActiveBox();
    if (box == nullptr) return false;
    overBox = OverrideShape();
    Click(box->button(QMessageBox::Ok));
    return true;
  });
  front.MessageBox("Transfer complete.", BoxButtons::Ok, BoxIcon::Information);
  EXPECT_EQ(overBox, Qt::ArrowCursor);
  EXPECT_EQ(OverrideShape(), Qt::WaitCursor);

  front.EndWaitCursor();
  front.EndWaitCursor();  // one too many does nothing
  EXPECT_EQ(OverrideShape(), std::nullopt);
  EXPECT_FALSE(front.waitCursorOn());
}

}  // namespace
}  // namespace dravik
