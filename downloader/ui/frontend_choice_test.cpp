#include "downloader/ui/frontend_choice.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace dravik
