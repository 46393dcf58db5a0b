#include "downloader/ui/frontend_choice.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

TEST(ChooseFrontEnd, QtOnlyWhenBuiltAndADisplayIsThereUnlessForced) {
  struct Case {
    const char* dravikUi;
    bool display;
    bool qtBuilt;
    FrontEndKind kind;
    bool noted;
  };
  constexpr auto tty = FrontEndKind::Terminal;
  constexpr auto qt = FrontEndKind::Qt;
  const Case cases[] = {
      {"", true, true, qt, false},     {"", false, true, tty, false},
      {"", true, false, tty, false},   {"tty", true, true, tty, false},
      {"TTY", true, true, tty, false}, {"qt", false, true, qt, false},
      {"qt", true, false, tty, true},  {"gtk", true, true, qt, true},
      {"gtk", false, true, tty, true},
  };
  for (const auto& c : cases) {
    const FrontEndChoice choice = ChooseFrontEnd(c.dravikUi, c.display, c.qtBuilt);
    EXPECT_EQ(choice.kind, c.kind) << c.dravikUi << " " << c.display << " " << c.qtBuilt;
    EXPECT_EQ(!choice.note.empty(), c.noted) << c.dravikUi;
  }
}

// A listening socket in a scratch folder, standing in for a Wayland compositor.
class ListeningSocket {
 public:
  explicit ListeningSocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
             listen(fd_, 1) == 0;
  }
  ~ListeningSocket() { close(fd_); }
  bool bound() const { return bound_; }

 private:
  int fd_;
  bool bound_ = false;
};

TEST(DisplayReachable, OnlyADisplayThatAnswersCounts) {
  ScratchDir dir;
  ListeningSocket compositor(dir.File("wayland-7"));
  ASSERT_TRUE(compositor.bound());
  const std::string runtime = dir.File("");
  struct Case {
    const char* display;
    const char* wayland;
    const char* qpa;
    bool reachable;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, false},
      {"", "", "", false},
      {nullptr, nullptr, "xcb", true},                // a named plug-in is taken at its word
      {nullptr, nullptr, "offscreen", false},         // but one that draws nowhere is no display
      {nullptr, nullptr, "minimal", false},
      {nullptr, "wayland-7", nullptr, true},          // the compositor's socket is there
      {nullptr, "wayland-8", nullptr, false},         // a socket from a closed session
      {":987", nullptr, nullptr, false},              // no X server with that number
      {"unix:987.0", nullptr, nullptr, false},
      {"no-colon", nullptr, nullptr, false},
      {":x", nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DisplayReachable(c.display, c.wayland, runtime.c_str(), c.qpa), c.reachable)
        << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-");
  }
}

}  // namespace
}  // namespace dravik
