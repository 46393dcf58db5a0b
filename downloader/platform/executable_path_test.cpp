#include "downloader/platform/executable_path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dravik {
namespace {

TEST(ExecutablePath, IsTheAbsolutePathOfThisProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(std::filesystem::path(path).filename(), "dravik_platform_test");
  EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

}  // namespace
}  // namespace dravik
