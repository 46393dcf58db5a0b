#include "downloader/platform/ini_reader.h"

#include <gtest/gtest.h>

#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

constexpr std::string_view kIni =
    "\xEF\xBB\xBF"
    "orphan=1\r\n"
    "; comment=2\n"
    "[TransEnvironment]\r\n"
    "  BaudRate = 115200 \r\n"
    "Parity=\n"
    "# StopBit=1\n"
    "no equals sign\n"
    "=7\n"
    "Quoted=\"  spaced  \"\n"
    "Single='x'\n"
    "Half=\"x\n"
    "Eq=a=b\n"
    "TimeOut=5000   ; ms\n"
    "Commented= ; nothing\n"
    "Hash=x\t#y\n"
    "Glued=a;b#c\n"
    "QuotedSign=\"a ; b\" ; c\n"
    "BaudRate=9600\n"
    "[ language ] trailing\n"
    "LANGUAGE=Japanese\n"
    "[Broken\n"
    "Lost=1\n"
    "[transenvironment]\n"
    "RetryCount=10\n";

TEST(IniReader, FindsValuesByTheReadingRules) {
  struct Case {
    std::string_view section, key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"TransEnvironment", "BaudRate", "115200"},  // first match wins, trimmed
      {"TRANSENVIRONMENT", "baudrate", "115200"},  // names ignore case
      {"TransEnvironment", "Parity", ""},          // present but empty
      {"TransEnvironment", "StopBit", std::nullopt},
      {"TransEnvironment", "no equals sign", std::nullopt},
      {"TransEnvironment", "", std::nullopt},
      {"TransEnvironment", "Quoted", "  spaced  "},
      {"TransEnvironment", "Single", "x"},
      {"TransEnvironment", "Half", "\"x"},
      {"TransEnvironment", "Eq", "a=b"},
      {"TransEnvironment", "TimeOut", "5000"},  // a comment after a blank is dropped
      {"TransEnvironment", "Commented", ""},
      {"TransEnvironment", "Hash", "x"},
      {"TransEnvironment", "Glued", "a;b#c"},  // a sign inside a word is text
      {"TransEnvironment", "QuotedSign", "a ; b"},
      {"TransEnvironment", "RetryCount", "10"},  // second block of the same section
      {"Language", "Language", "Japanese"},
      {"Broken", "Lost", std::nullopt},
      {"Language", "Lost", std::nullopt},  // a malformed header ends the section before it
      {"", "orphan", std::nullopt},
      {"Missing", "BaudRate", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindIniValue(kIni, c.section, c.key), c.expected) << c.section << "/" << c.key;
  }
}

TEST(IniReader, ParsesOnlyPlainDecimalIntegers) {
  struct Case {
    std::string_view text;
    std::optional<uint32_t> expected;
  };
  const Case cases[] = {
      {"19200", 19200u},
      {"+5", 5u},
      {"-1", 0xFFFFFFFFu},
      {"0", 0u},
      {"007", 7u},
      {"4294967295", 4294967295u},
      {"-4294967295", 1u},
      {"4294967296", {}},
      {"99999999999999999999", {}},
      {"", {}},
      {"-", {}},
      {"abc", {}},
      {"19200bps", {}},
      {"0x4B00", {}},
      {"1e4", {}},
      {"19 200", {}},
      {"--1", {}},
      {"1.5", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIniInteger(c.text), c.expected) << c.text;
}

TEST(IniReader, FileCallsFallBackToTheDefault) {
  ScratchDir dir;
  const std::string path =
      dir.Write("Dravik.ini",
                "[TransEnvironment]\nBaudRate=115200   ; 9600, 19200 or 115200\n"
                "Parity=odd\nDataLength=7 ; ignored anyway\n"
                "Empty=\n[Language]\nLanguage=German\n");
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "BaudRate", 19200, path), 115200u);
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "Parity", 1, path), 1u);
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "DataLength", 8, path), 7u);
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "Empty", 3, path), 3u);
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "TimeOut", 5000, path), 5000u);
  EXPECT_EQ(GetPrivateProfileString("Language", "Language", "English", path), "German");
  EXPECT_EQ(GetPrivateProfileString("TransEnvironment", "Empty", "x", path), "");
  EXPECT_EQ(GetPrivateProfileString("Other", "Language", "English", path), "English");

  const std::string missing = dir.File("absent.ini");
  EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "BaudRate", 19200, missing), 19200u);
  EXPECT_EQ(GetPrivateProfileString("Language", "Language", "English", missing), "English");
  EXPECT_EQ(GetPrivateProfileString("Language", "Language", "English", dir.path()), "English");

  // Saved as UTF-16 by an editor of the original platform, either byte order.
  const std::u16string wide =
      u"[TransEnvironment]\r\nBaudRate=9600\r\n[Language]\r\nLanguage=Fran\u00e7ais\r\n";
  for (const bool bigEndian : {false, true}) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : wide) {
      const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
      bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    const std::string unicode = dir.Write("Unicode.ini", bytes);
    EXPECT_EQ(GetPrivateProfileInt("TransEnvironment", "BaudRate", 19200, unicode), 9600u);
    EXPECT_EQ(GetPrivateProfileString("Language", "Language", "English", unicode), "Fran?ais");
  }

  IniFileProfile profile(path);
  EXPECT_EQ(profile.GetInt("transenvironment", "baudrate", 0), 115200u);
  EXPECT_EQ(profile.GetString("LANGUAGE", "language", ""), "German");
}

}  // namespace
}  // namespace dravik
