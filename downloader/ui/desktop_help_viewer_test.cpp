#include "downloader/ui/desktop_help_viewer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

// Waits up to five seconds for a file to appear.
bool AppearsSoon(const std::string& path) {
  for (int i = 0; i < 100 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::filesystem::exists(path);
}

TEST(DesktopHelpViewer, StartsTheOpenerWithThePathAndDoesNotWaitForIt) {
  ScratchDir dir;
  const std::string go = dir.File("go");
  const std::string seen = dir.File("seen");
  // The opener goes on only once the call has returned and the test says so.
  const std::string opener = dir.Write(
      "opener", "#!/bin/sh\ni=0\nwhile [ ! -e '" + go + "' ] && [ $i -lt 200 ]; do sleep 0.05; " +
                    "i=$((i+1)); done\nprintf '%s' \"$1\" > '" + seen + ".tmp'\nmv '" + seen +
                    ".tmp' '" + seen + "'\n");
  chmod(opener.c_str(), 0755);
  DesktopHelpViewer viewer(opener);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(viewer.DisplayTopic("/srv/kelvane/Dravik e.chm"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(std::filesystem::exists(seen));
  dir.Write("go", "");
  ASSERT_TRUE(AppearsSoon(seen));
  EXPECT_EQ(dir.Read("seen"), "/srv/kelvane/Dravik e.chm");
}

TEST(DesktopHelpViewer, WithoutAnOpenerNothingStarts) {
  EXPECT_FALSE(DesktopHelpViewer("/nonexistent/xdg-open").DisplayTopic("/x"));
  EXPECT_FALSE(DesktopHelpViewer("no-such-opener-on-path").DisplayTopic("/x"));
  EXPECT_TRUE(IsProgramAvailable("sh"));
}

}  // namespace
}  // namespace dravik
