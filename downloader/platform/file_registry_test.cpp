#include "downloader/platform/file_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

constexpr std::string_view kSerial = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr std::string_view kDravik = "Software\\Ostrel Terminal\\Dravik";

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileRegistry, StartsEmptyAndCreatesThePrefixOnTheFirstWrite) {
  ScratchDir dir;
  const std::string prefix = dir.File("deep/prefix");
  FileRegistry registry(prefix);
  EXPECT_FALSE(registry.KeyExists(kSerial));
  EXPECT_EQ(registry.EnumValue(kSerial, 0), std::nullopt);
  EXPECT_EQ(registry.QueryValue(kDravik, "TransPort"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(prefix));

  ASSERT_TRUE(registry.SetValue(kDravik, RegValue::Dword("TransPort", 3)));
  EXPECT_EQ(dir.Read("deep/prefix/system.reg"),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Ostrel Terminal\\Dravik]\n"
            "\"TransPort\"=dword:00000003\n");
  EXPECT_EQ(registry.QueryValue("software\\ostrel terminal\\dravik", "transport"),
            RegValue::Dword("TransPort", 3));
  EXPECT_TRUE(registry.KeyExists("Software"));
  EXPECT_FALSE(registry.SetValue(kDravik, RegValue::String("two\nlines", "x")));
  EXPECT_FALSE(registry.SetValue("a\nb", RegValue::String("x", "x")));
  EXPECT_EQ(FilesIn(prefix), (std::vector<std::string>{".system.reg.lock", "system.reg"}));
}

TEST(FileRegistry, AWriteKeepsEveryOtherByteAndTheFileMode) {
  ScratchDir dir;
  const std::string before =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
      "\"\\\\Device\\\\Serial0\"=\"COM1\"\r\n"
      "\"Blob\"=hex(b):01,02,\\\r\n  03\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Ostrel Terminal\\Dravik]\r\n"
      "\"TransPort\"=dword:00000001\r\n"
      "\"Other\"=\"kept\"\r\n";
  const std::string path = dir.Write("system.reg", before);
  chmod(path.c_str(), 0600);
  FileRegistry registry(dir.path());

  ASSERT_TRUE(registry.SetValue(kDravik, RegValue::Dword("TransPort", 12)));
  std::string expected = before;
  expected.replace(expected.find("dword:00000001"), 14, "dword:0000000c");
  EXPECT_EQ(dir.Read("system.reg"), expected);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  EXPECT_EQ(registry.EnumValue(kSerial, 0), RegValue::String("\\Device\\Serial0", "COM1"));
  EXPECT_EQ(registry.EnumValue(kSerial, 1), (RegValue{"Blob", 0xb, {1, 2, 3}}));
  EXPECT_EQ(registry.EnumValue(kSerial, 2), std::nullopt);

  ASSERT_TRUE(registry.DeleteValue(kSerial, "\\device\\serial0"));
  EXPECT_FALSE(registry.DeleteValue(kSerial, "\\device\\serial0"));
  expected.erase(expected.find("\"\\\\Device"),
                 std::string_view("\"\\\\Device\\\\Serial0\"=\"COM1\"\r\n").size());
  EXPECT_EQ(dir.Read("system.reg"), expected);
}

TEST(FileRegistry, AFileItCannotParseIsReadAsEmptyAndNeverWritten) {
  ScratchDir dir;
  const std::string corrupt =
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
      "\"COM1\"=\"COM1\"\n"
      "this line is damaged\n";
  dir.Write("system.reg", corrupt);
  FileRegistry registry(dir.path());
  EXPECT_FALSE(registry.KeyExists(kSerial));
  EXPECT_EQ(registry.EnumValue(kSerial, 0), std::nullopt);
  EXPECT_FALSE(registry.SetValue(kDravik, RegValue::Dword("TransPort", 2)));
  EXPECT_FALSE(registry.DeleteValue(kSerial, "COM1"));
  EXPECT_EQ(dir.Read("system.reg"), corrupt);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{".system.reg.lock", "system.reg"}));
}

TEST(FileRegistry, WritersOnOnePrefixLoseNothing) {
  ScratchDir dir;
  constexpr int kWriters = 4;
  constexpr int kValuesEach = 20;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&dir, w] {
      FileRegistry registry(dir.path());  // each its own, as separate processes would be
      for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
        EXPECT_TRUE(registry.SetValue(kSerial, RegValue::String(name, name)));
      }
    });
  }
  for (std::thread& t : writers) t.join();
  FileRegistry registry(dir.path());
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
      EXPECT_EQ(registry.QueryValue(kSerial, name), RegValue::String(name, name));
    }
  }
}

}  // namespace
}  // namespace dravik
