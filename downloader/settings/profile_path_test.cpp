#include "downloader/settings/profile_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace dravik {
namespace {

TEST(ProfilePath, IsTheExecutablesFolderPlusTheProfileName) {
  struct Case {
    std::string_view executable, profile;
  };
  const Case cases[] = {
      {"/opt/tools/panel/dravik", "/opt/tools/panel/Dravik.ini"},
      {"/dravik", "/Dravik.ini"},
      {"/a b/c.d/dravik.bin", "/a b/c.d/Dravik.ini"},
      {"dravik", "Dravik.ini"},
      {"", "Dravik.ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProfilePathFor(c.executable), c.profile) << c.executable;
}

TEST(ProfilePath, IgnoresTheCurrentDirectory) {
  const std::filesystem::path exeFolder =
      std::filesystem::canonical("/proc/self/exe").parent_path();
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path("/");
  const std::string path = ProfilePath();
  std::filesystem::current_path(before);
  EXPECT_EQ(path, (exeFolder / "Dravik.ini").string());
}

}  // namespace
}  // namespace dravik
