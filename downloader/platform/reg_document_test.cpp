#include "downloader/platform/reg_document.h"

#include <gtest/gtest.h>

#include <functional>

namespace dravik {
namespace {

constexpr std::string_view kFile =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; kept as written\r\n"
    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
    "\"\\\\Device\\\\Serial0\"=\"COM1\"\r\n"
    "\"Odd\"=hex(b):01,02,\\\r\n"
    "  03,04\r\n"
    "\"/dev/ttyUSB0\"=\"com10\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Ostrel Terminal\\Dravik]\r\n"
    "\"TransPort\"=dword:00000009\r\n"
    "\r\n"
    "[hkey_local_machine\\software\\ostrel terminal\\dravik]\r\n"
    "\"TransPort\"=dword:00000003\r\n"
    "@=\"x\"\r\n"
    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
    "\"Later\"=\"COM3\"\r\n"
    "\"odd\"=\"shadowed by the first Odd\"";  // no line end at the end of the file

RegDocument Parsed(std::string_view text) {
  std::optional<RegDocument> doc = ParseRegDocument(text);
  EXPECT_TRUE(doc.has_value()) << text;
  return doc.value_or(RegDocument{});
}

std::vector<std::string> Names(const std::vector<RegValue>& values) {
  std::vector<std::string> names;
  for (const RegValue& v : values) names.push_back(v.name);
  return names;
}

TEST(RegDocument, ReadsMachineKeysInFileOrder) {
  const RegDocument doc = Parsed(kFile);
  EXPECT_EQ(SerializeRegDocument(doc), kFile);
  EXPECT_EQ(Names(RegValuesOf(doc, "HARDWARE\\DEVICEMAP\\SERIALCOMM")),
            (std::vector<std::string>{"\\Device\\Serial0", "Odd", "/dev/ttyUSB0", "Later"}));
  const std::vector<RegValue> serial = RegValuesOf(doc, "hardware\\devicemap\\serialcomm\\");
  ASSERT_EQ(serial.size(), 4u);
  EXPECT_EQ(serial[1], (RegValue{"Odd", 0xb, {1, 2, 3, 4}}));
  EXPECT_EQ(serial[2].Text(), "com10");

  const std::vector<RegValue> dravik = RegValuesOf(doc, "Software\\Ostrel Terminal\\Dravik");
  EXPECT_EQ(dravik,
            (std::vector<RegValue>{RegValue::Dword("TransPort", 3), RegValue::String("", "x")}));

  struct Case {
    std::string_view key;
    bool exists;
  };
  const Case keys[] = {{"HARDWARE", true},          {"hardware\\DEVICEMAP", true},
                       {"HARDWARE\\DEVICE", false}, {"Software\\Ostrel Terminal", true},
                       {"Software\\Other", false},  {"", true}};
  for (const Case& c : keys) EXPECT_EQ(RegKeyExists(doc, c.key), c.exists) << c.key;
}

TEST(RegDocument, RefusesTextThatIsNotAnExportFile) {
  const std::string_view texts[] = {
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n",
      "Windows Registry Editor Version 5.00\n\"A\"=\"value before any key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\ngarbage\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"A\"=\"open\n",
      "\xFF\xFEW\0i\0n\0",  // UTF-16
  };
  for (const std::string_view text : texts) EXPECT_FALSE(ParseRegDocument(text)) << text;
  EXPECT_TRUE(Parsed("").lines.empty());
  EXPECT_TRUE(Parsed("\n\n").lines.empty());
}

TEST(RegDocument, EditsTouchOnlyTheirOwnLines) {
  struct Case {
    std::string_view name;
    std::function<void(RegDocument&)> edit;
    std::string_view before, after;
  };
  constexpr std::string_view kBase =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\n"
      "; end\n";
  const Case cases[] = {
      {"replace in place, keeping the stored name",
       [](RegDocument& d) { SetRegValue(d, "k", RegValue::Dword("a", 2)); }, kBase,
       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=dword:00000002\n\n"
       "; end\n"},
      {"add after the key's last value",
       [](RegDocument& d) { SetRegValue(d, "K", RegValue::String("B", "2")); }, kBase,
       "Windows Registry Editor Version "
       "5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\"B\"=\"2\"\n\n"
       "; end\n"},
      {"add a key at the end",
       [](RegDocument& d) { SetRegValue(d, "New\\Key", RegValue::Dword("T", 1)); }, kBase,
       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n\n"
       "; end\n\n[HKEY_LOCAL_MACHINE\\New\\Key]\n\"T\"=dword:00000001\n"},
      {"start an empty file", [](RegDocument& d) { SetRegValue(d, "K", RegValue::Dword("T", 1)); },
       "",
       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"T\"=dword:00000001\n"},
      {"add to a key without values, in its line ending",
       [](RegDocument& d) { SetRegValue(d, "K", RegValue::Dword("T", 1)); },
       "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]",
       "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
       "\"T\"=dword:00000001\r\n"},
      {"replace a value spread over lines",
       [](RegDocument& d) { SetRegValue(d, "K", RegValue::String("H", "x")); },
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"H\"=hex:01,\\\n  02\n"
       "\"Z\"=\"z\"\n",
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"H\"=\"x\"\n\"Z\"=\"z\"\n"},
      {"values of another hive are not ours",
       [](RegDocument& d) { SetRegValue(d, "K", RegValue::String("A", "2")); },
       "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n",
       "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n\n"
       "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"2\"\n"},
      {"delete", [](RegDocument& d) { EXPECT_TRUE(DeleteRegValue(d, "K", "a")); }, kBase,
       "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\n; end\n"},
      {"delete what is not there",
       [](RegDocument& d) { EXPECT_FALSE(DeleteRegValue(d, "K", "B")); }, kBase, kBase},
  };
  for (const Case& c : cases) {
    RegDocument doc = Parsed(c.before);
    c.edit(doc);
    EXPECT_EQ(SerializeRegDocument(doc), c.after) << c.name;
    EXPECT_TRUE(ParseRegDocument(SerializeRegDocument(doc))) << c.name;
  }
}

}  // namespace
}  // namespace dravik
