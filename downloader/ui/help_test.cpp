#include "downloader/ui/help.h"

#include <gtest/gtest.h>

#include "downloader/ui/testing/memory_registry.h"
#include "downloader/ui/testing/recording_profile.h"

namespace dravik {
namespace {

struct LanguageCase {
  std::optional<std::string> profileValue;  // nullopt: no Language key
  int index;
};

TEST(GetLanguageIndex, MatchesTheTableWithoutRegardToCase) {
  const LanguageCase cases[] = {
      {std::nullopt, 0}, {"English", 0}, {"german", 7}, {"GERMAN", 7}, {"Chinese_T", 3},
      {"French", 10},    {"Dutch", -1},  {"", -1},      {"Germa", -1}, {"German ", -1},
  };
  for (const auto& c : cases) {
    RecordingProfile profile;
    if (c.profileValue) profile.Put("Language", "Language", *c.profileValue);
    EXPECT_EQ(GetLanguageIndex(profile), c.index) << c.profileValue.value_or("(none)");
    EXPECT_EQ(profile.log(), std::vector<std::string>{"profile Language/Language"});
  }
}

class LocateHelp : public ::testing::Test {
 protected:
  void Kelvane(const std::string& folder) {
    registry.Put(kKelvaneKey, RegValue::String("InstallLocation", folder));
  }
  void HelpFile(const std::string& language, const std::string& file) {
    registry.Put(kHelpFileKey, RegValue::String(language, file));
  }
  std::string Locate(int language) {
    return LocateHelpFile(registry, "/opt/ostrel/kelvane/dravik/dravik", language);
  }
  MemoryRegistry registry;
};

TEST_F(LocateHelp, JoinsTheInstallFolderAndTheLanguagesFile) {
  Kelvane("/srv/kelvane");
  HelpFile("English", "Dravik_e.chm");
  HelpFile("German", "Dravik_g.chm");
  HelpFile("", "Dravik.chm");
  EXPECT_EQ(Locate(0), "/srv/kelvane/Dravik_e.chm");
  EXPECT_EQ(Locate(7), "/srv/kelvane/Dravik_g.chm");
  // No language, or one outside the table: the key's default value.
  EXPECT_EQ(Locate(-1), "/srv/kelvane/Dravik.chm");
  EXPECT_EQ(Locate(11), "/srv/kelvane/Dravik.chm");
  // A language without a file of its own gives the folder only.
  EXPECT_EQ(Locate(1), "/srv/kelvane/");
}

TEST_F(LocateHelp, WithoutKelvaneTheFolderAboveTheProgramsOwn) {
  HelpFile("English", "Dravik_e.chm");
  EXPECT_EQ(Locate(0), "/opt/ostrel/kelvane/Dravik_e.chm");
  EXPECT_EQ(LocateHelpFile(registry, "dravik", 0), "Dravik_e.chm");
}

TEST_F(LocateHelp, TheSeparatorIsAlwaysAppendedAndAnOverlongFolderIsNotRead) {
  Kelvane("/srv/kelvane/");
  EXPECT_EQ(Locate(0), "/srv/kelvane//");
  Kelvane("/" + std::string(259, 'k'));  // 261 bytes with its NUL: does not fit
  EXPECT_EQ(Locate(0), "/opt/ostrel/kelvane/");
}

TEST_F(LocateHelp, WithoutTheHelpKeyOnlyTheFolder) {
  Kelvane("/srv/kelvane");
  EXPECT_EQ(Locate(0), "/srv/kelvane/");
}

struct ViewerCase {
  OsVersionInfo os;
  std::optional<std::string> browserVersion;  // nullopt: no browser key
  bool usable;
};

TEST(IsHelpViewerUsable, NeedsABrowserOfVersionFourOnlyOnTheFirstWindows95) {
  constexpr OsVersionInfo kWin95{VER_PLATFORM_WIN32_WINDOWS, 0};
  constexpr OsVersionInfo kWin98{VER_PLATFORM_WIN32_WINDOWS, 10};
  constexpr OsVersionInfo kNt{VER_PLATFORM_WIN32_NT, 0};
  const ViewerCase cases[] = {
      {kWin95, "5.50.4134.0600", true},
      {kWin95, "3.02", false},
      {kWin95, "4", true},
      {kWin95, "", false},
      {kWin95, std::nullopt, false},
      {kWin98, std::nullopt, true},
      {kNt, std::nullopt, true},
      {CurrentOsVersion(), std::nullopt, true},
  };
  for (const auto& c : cases) {
    MemoryRegistry registry;
    if (c.browserVersion) registry.Put(kBrowserKey, RegValue::String("Version", *c.browserVersion));
    EXPECT_EQ(IsHelpViewerUsable(c.os, registry), c.usable)
        << c.os.dwPlatformId << "." << c.os.dwMinorVersion << " "
        << c.browserVersion.value_or("(none)");
  }
}

class FakeViewer final : public HelpViewer {
 public:
  bool DisplayTopic(const std::string& path) override {
    opened.push_back(path);
    return starts;
  }
  std::vector<std::string> opened;
  bool starts = true;
};

TEST(ShowHelp, OpensTheFileThenHoldsForOneSecond) {
  MemoryRegistry registry;
  FakeViewer viewer;
  VirtualClock clock;
  HelpServices help{registry, viewer, clock, CurrentOsVersion()};
  ShowHelp(help, "/srv/kelvane/Dravik_e.chm");
  EXPECT_EQ(viewer.opened, std::vector<std::string>{"/srv/kelvane/Dravik_e.chm"});
  EXPECT_EQ(clock.NowMs(), 1000u);

  viewer.starts = false;  // no opener installed: nothing to wait for
  ShowHelp(help, "/srv/kelvane/Dravik_e.chm");
  EXPECT_EQ(clock.NowMs(), 1000u);
}

TEST(ShowHelp, DoesNothingWhenTheViewerIsNotUsable) {
  MemoryRegistry registry;
  registry.Put(kBrowserKey, RegValue::String("Version", "3.02"));
  FakeViewer viewer;
  VirtualClock clock;
  HelpServices help{registry, viewer, clock, {VER_PLATFORM_WIN32_WINDOWS, 0}};
  ShowHelp(help, "/srv/kelvane/Dravik_e.chm");
  EXPECT_TRUE(viewer.opened.empty());
  EXPECT_EQ(clock.NowMs(), 0u);
}

}  // namespace
}  // namespace dravik
