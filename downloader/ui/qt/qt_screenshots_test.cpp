// Pictures of the dialogs as the Qt front end draws them, for people to look at:
// the port dialog, the code prompt, the download dialog in the middle of a binary
// block, the About box and two message boxes, saved as PNG files into the build
// folder (DRAVIK_QT_SCREENSHOTS). Offscreen windows have no frame, so each picture
// gets a plain caption bar with the window's title drawn above it.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <string>
#include <vector>

#include "downloader/ui/com_ports.h"
#include "downloader/ui/port_select_dlg.h"
#include "downloader/ui/qt/testing/qt_download_rig.h"
#include "downloader/ui/qt/testing/ui_script.h"

namespace dravik {
namespace {

const QString kFolder = QStringLiteral(DRAVIK_QT_SCREENSHOTS);

QImage WithCaption(QWidget& window) {
  const QImage client = window.grab().toImage();
  const QFontMetrics metrics(window.font());
  const int bar = metrics.height() + 8;
  QImage picture(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  picture.fill(QColor(0x55, 0x5F, 0x6D));
  QPainter painter(&picture);
  painter.drawImage(1, bar, client);
  painter.setFont(window.font());
  painter.setPen(Qt::white);
  painter.drawText(QRect(8, 0, picture.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   window.windowTitle());
  painter.drawText(QRect(8, 0, picture.width() - 16, bar), Qt::AlignVCenter | Qt::AlignRight,
                   QStringLiteral("\u00D7"));
  return picture;
}

// Saves the picture of window under name; the file's size in the list of saved ones.
void Save(QWidget& window, const char* name, std::vector<std::string>& saved) {
  const QImage picture = WithCaption(window);
  const QString path = kFolder + "/" + name;
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
  const QImage back(path);
  EXPECT_EQ(back.size(), picture.size()) << name;
  saved.push_back(name);
}

TEST(QtScreenshots, SavesThePicturesOfEveryDialogAndTwoBoxes) {
  ASSERT_TRUE(QDir().mkpath(kFolder));
  std::vector<std::string> saved;

  MemoryRegistry registry;
  registry.Put(kSerialCommKey, RegValue::String("\\Device\\Serial0", "COM1"));
  registry.Put(kSerialCommKey, RegValue::String("\\Device\\Serial1", "COM3"));
  QtFrontEnd portFront;
  CPortSelectDlg port(portFront, registry);
  {
    UiScript script;
    script.Then("the port dialog", [&] {
      QtDialogWindow* window = ActiveDialog(IDD_PORT_SELECT);
      if (window == nullptr) return false;
      Save(*window, "port-dialog.png", saved);
      Click(window->Control(IDOK));
      return true;
    });
    EXPECT_EQ(port.DoModal(), IDOK);
  }

  panelsim::PanelConfig locked;
  locked.panelCode = "AB12";
  QtDownloadRig rig(locked);
  const auto answer = [](QMessageBox::StandardButton button) {
    return [button] {
      QMessageBox* box = ActiveBox();
      if (box == nullptr) return false;
      Click(box->button(button));
      return true;
    };
  };
  {
    UiScript script;
    script
        .Then("the code prompt",
              [&] {
                QtDialogWindow* prompt = ActiveDialog(IDD_CODE_PROMPT);
                if (prompt == nullptr) return false;
                auto* field = dynamic_cast<QLineEdit*>(prompt->Control(IDC_CODE_EDIT));
                QTest::keyClicks(field, "ab1");
                Save(*prompt, "code-prompt.png", saved);
                QTest::keyClicks(field, "2");
                Click(prompt->Control(IDOK));
                return true;
              })
        .Then("a binary block half sent",
              [&] {
                const int step = rig.Bar(IDC_STEP_BAR)->value();
                if (rig.Bar(IDC_OVERALL_BAR)->value() < 50 || step < 30 || step > 70) return false;
                Save(*rig.window(), "download-dialog.png", saved);
                RightClick(rig.window());
                return true;
              })
        .Then("the context menu", [] { return ChooseFromPopup("&About"); })
        .Then("the About box",
              [&] {
                QtDialogWindow* about = ActiveDialog(IDD_ABOUTBOX);
                if (about == nullptr) return false;
                Save(*about, "about-box.png", saved);
                Click(about->Control(IDOK));
                return true;
              })
        .Then("back in the download",
              [&] {
                if (ActiveDialog(IDD_DRAVIK_DIALOG) == nullptr) return false;
                Click(rig.Button(IDCANCEL));
                return true;
              })
        .Then("Quit transfer?",
              [&] {
                QMessageBox* box = ActiveBox();
                if (box == nullptr) return false;
                Save(*box, "quit-transfer.png", saved);
                Click(box->button(QMessageBox::No));
                return true;
              })
        .Then("Transfer complete.", [&] {
          QMessageBox* box = ActiveBox();
          if (box == nullptr) return false;
          Save(*box, "transfer-complete.png", saved);
          return answer(QMessageBox::Ok)();
        });
    EXPECT_EQ(rig.dialog.DoModal(), IDOK);
  }
  EXPECT_EQ(saved, (std::vector<std::string>{"port-dialog.png", "code-prompt.png",
                                             "download-dialog.png", "about-box.png",
                                             "quit-transfer.png", "transfer-complete.png"}));
}

}  // namespace
}  // namespace dravik
