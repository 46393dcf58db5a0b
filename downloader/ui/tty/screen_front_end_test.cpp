#include "downloader/ui/tty/screen_front_end.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "downloader/ui/port_select_dlg.h"
#include "downloader/ui/testing/memory_registry.h"

namespace dravik {
namespace {

// Key bytes on a pipe whose write end is then closed.
int KeysPipe(const std::string& bytes) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fds[1]);
  return fds[0];
}

class Screen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* port : {"COM1", "COM3", "COM10"}) {
      registry.Put("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegValue::String(port, port));
    }
  }
  void TearDown() override {
    if (fd >= 0) close(fd);
  }
  MemoryRegistry registry;
  std::ostringstream out;
  int fd = -1;
};

TEST_F(Screen, ArrowsAndEnterChooseAPortAndTheDialogIsRedrawnInPlace) {
  fd = KeysPipe("\x1b[B\x1b[Bx\r");
  ScreenFrontEnd front(fd, out);
  CPortSelectDlg dialog(front, registry);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_nPort, 10);
  EXPECT_EQ(front.picture()[11], "  Ports: COM1 COM3 [COM10]");
  EXPECT_EQ(front.picture().back(), "  Enter OK   Esc Cancel   Up/Down choose");
  // Three pictures: the first, and one for each arrow; each later one starts by
  // going back up over the one before.
  const std::string text = out.str();
  size_t ups = 0;
  for (size_t at = text.find("\x1b[13F"); at != std::string::npos;
       at = text.find("\x1b[13F", at + 1)) {
    ++ups;
  }
  EXPECT_EQ(ups, 2u);
}

TEST_F(Screen, EscapeCancelsAndAHungUpTerminalCancelsToo) {
  fd = KeysPipe("\x1b");
  ScreenFrontEnd front(fd, out);
  CPortSelectDlg dialog(front, registry);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);  // nothing more to read
}

TEST_F(Screen, BoxesAnswerToLettersArrowsAndEnter) {
  struct Case {
    const char* keys;
    BoxButtons buttons;
    int answer;
  };
  const Case cases[] = {
      {"\r", BoxButtons::YesNo, IDYES},  {"n", BoxButtons::YesNo, IDNO},
      {"\t\r", BoxButtons::YesNo, IDNO}, {"\x1b[C\x1b[D\r", BoxButtons::YesNo, IDYES},
      {"\x1b", BoxButtons::YesNo, IDNO}, {"qY", BoxButtons::YesNo, IDYES},
      {"", BoxButtons::YesNo, IDYES},    {"\x1b", BoxButtons::Ok, IDOK},
  };
  for (const auto& c : cases) {
    const int keys = KeysPipe(c.keys);
    std::ostringstream screen;
    ScreenFrontEnd front(keys, screen);
    EXPECT_EQ(front.MessageBox("Quit transfer?", c.buttons, BoxIcon::Question), c.answer)
        << testing::PrintToString(std::string(c.keys));
    close(keys);
  }
}

}  // namespace
}  // namespace dravik
