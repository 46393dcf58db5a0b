#include "downloader/ui/port_select_dlg.h"

#include <gtest/gtest.h>

#include "downloader/platform/file_registry.h"
#include "downloader/platform/scratch_dir.h"
#include "downloader/ui/com_ports.h"
#include "downloader/ui/testing/fake_front_end.h"
#include "downloader/ui/testing/reg_file.h"

namespace dravik {
namespace {

struct ListSeen {
  std::vector<std::string> texts;
  std::vector<intptr_t> data;
  std::string selected;
  std::string question;
};

ListSeen See(DialogState& dialog) {
  ListSeen seen;
  const ControlState* list = dialog.Find(IDC_PORT_LIST);
  for (const auto& item : list->items) {
    seen.texts.push_back(item.text);
    seen.data.push_back(item.data);
  }
  if (list->selection >= 0) seen.selected = list->items[static_cast<size_t>(list->selection)].text;
  seen.question = dialog.Text(IDC_QUESTION);
  return seen;
}

class PortDialog : public ::testing::Test {
 protected:
  static RegFile Ports(const std::vector<std::string>& ports) {
    RegFile file;
    file.Key(kSerialCommKey);
    for (size_t i = 0; i < ports.size(); ++i) file.Text("Serial" + std::to_string(i), ports[i]);
    return file;
  }
  void Write(const RegFile& file) { prefix.Write("system.reg", file.text()); }
  void Register(const std::vector<std::string>& ports, std::optional<uint32_t> transPort) {
    RegFile file = Ports(ports);
    if (transPort) file.Key(kDravikKey).Dword("TransPort", *transPort);
    Write(file);
  }
  // Runs the dialog; the user looks at it, then does what the actions say.
  int Run(std::vector<FakeFrontEnd::Action> actions) {
    front.QueueInput([this](DialogState& shown) {
      seen = See(shown);
      return InputEvent::Command(0);  // a command nobody handles: the user only looks
    });
    for (auto& action : actions) front.QueueInput(std::move(action));
    return dialog.DoModal();
  }
  std::optional<RegValue> TransPort() { return registry.QueryValue(kDravikKey, "TransPort"); }

  ScratchDir prefix;
  FileRegistry registry{prefix.path()};
  FakeFrontEnd front;
  CPortSelectDlg dialog{front, registry};
  ListSeen seen;
};

FakeFrontEnd::Action Press(int id) {
  return [id](DialogState&) { return InputEvent::Command(static_cast<uint32_t>(id)); };
}

FakeFrontEnd::Action Select(int index) {
  return [index](DialogState& dialog) {
    dialog.ComboSetSelection(IDC_PORT_LIST, index);
    return InputEvent::Command(IDC_PORT_LIST, CBN_SELCHANGE);
  };
}

TEST_F(PortDialog, ListsInNumberOrderWithPortNumbersAsItemData) {
  Register({"COM10", "COM3", "com1"}, std::nullopt);
  EXPECT_EQ(Run({Press(IDCANCEL)}), IDCANCEL);
  EXPECT_EQ(seen.texts, (std::vector<std::string>{"COM1", "COM3", "COM10"}));
  EXPECT_EQ(seen.data, (std::vector<intptr_t>{1, 3, 10}));
  EXPECT_EQ(seen.question, "Execute Download?");
}

struct PreselectCase {
  const char* what;
  std::optional<uint32_t> transPort;
  const char* selected;
};

void PrintTo(const PreselectCase& c, std::ostream* os) {
  *os << c.what;
}

class Preselection : public PortDialog, public ::testing::WithParamInterface<PreselectCase> {};

TEST_P(Preselection, SelectsTheRememberedPortOrTheFirst) {
  Register({"COM1", "COM3"}, GetParam().transPort);
  Run({Press(IDCANCEL)});
  EXPECT_EQ(seen.selected, GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(Table, Preselection,
                         ::testing::Values(PreselectCase{"remembered", 3, "COM3"},
                                           PreselectCase{"unregistered", 7, "COM1"},
                                           PreselectCase{"missing", std::nullopt, "COM1"},
                                           // Only the low 16 bits count: 0x10003 is port 3.
                                           PreselectCase{"high_bits", 0x10003, "COM3"}),
                         [](const auto& param) { return std::string(param.param.what); });

TEST_F(PortDialog, ATextValueIsReadAsItsBytesAndALongOneIsIgnored) {
  // "3" with its NUL is the bytes 33 00: port 51.
  Write(Ports({"COM1", "COM51"}).Key(kDravikKey).Text("TransPort", "3"));
  Run({Press(IDCANCEL)});
  EXPECT_EQ(seen.selected, "COM51");

  Write(Ports({"COM1", "COM51"}).Key(kDravikKey).Text("TransPort", "3333"));
  Run({Press(IDCANCEL)});
  EXPECT_EQ(seen.selected, "COM1");
}

TEST_F(PortDialog, OkWritesTheSelectedPortEvenWhenItWasPreselected) {
  Register({"COM1", "COM3"}, 3);
  EXPECT_EQ(Run({Press(IDOK)}), IDOK);
  EXPECT_EQ(dialog.m_nPort, 3);
  EXPECT_EQ(TransPort(), RegValue::Dword("TransPort", 3));
}

TEST_F(PortDialog, OkAfterChangingTheSelectionWritesTheNewPort) {
  Register({"COM1", "COM3", "COM10"}, 3);
  EXPECT_EQ(Run({Select(2), Press(IDOK)}), IDOK);
  EXPECT_EQ(dialog.m_nPort, 10);
  EXPECT_EQ(TransPort(), RegValue::Dword("TransPort", 10));
}

TEST_F(PortDialog, CancelWritesNothingEvenAfterANewSelection) {
  Register({"COM1", "COM3"}, 3);
  const std::string before = prefix.Read("system.reg");
  EXPECT_EQ(Run({Select(0), Press(IDCANCEL)}), IDCANCEL);
  EXPECT_EQ(prefix.Read("system.reg"), before);
}

TEST_F(PortDialog, AnEmptyListGivesPort65535) {
  Register({}, 3);
  EXPECT_EQ(Run({Press(IDOK)}), IDOK);
  EXPECT_TRUE(seen.texts.empty());
  EXPECT_EQ(dialog.m_nPort, 65535);
  EXPECT_EQ(TransPort(), RegValue::Dword("TransPort", 65535));
}

TEST_F(PortDialog, WithoutASerialPortKeyTheListIsEmptyToo) {
  EXPECT_EQ(Run({Press(IDOK)}), IDOK);
  EXPECT_TRUE(seen.texts.empty());
  EXPECT_EQ(dialog.m_nPort, 65535);
}

TEST_F(PortDialog, OkChangesOnlyTheTransPortLineOfTheFile) {
  const std::string head = RegFile().Key(kSerialCommKey).Text("Serial0", "COM1").text();
  const std::string tail =
      "\"Other\"=\"kept\"\n\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\n@=\"x\"\n";
  prefix.Write("system.reg", head + "\n[HKEY_LOCAL_MACHINE\\" + kDravikKey +
                                 "]\n\"TransPort\"=dword:00000007\n" + tail);
  Run({Press(IDOK)});
  EXPECT_EQ(prefix.Read("system.reg"), head + "\n[HKEY_LOCAL_MACHINE\\" + kDravikKey +
                                           "]\n\"TransPort\"=dword:00000001\n" + tail);
}

TEST_F(PortDialog, ARefusedWriteIsIgnored) {
  // A registry file that does not parse is read as empty and never written.
  prefix.Write("system.reg", "not a registry file\n");
  EXPECT_EQ(Run({Press(IDOK)}), IDOK);
  EXPECT_EQ(prefix.Read("system.reg"), "not a registry file\n");
}

}  // namespace
}  // namespace dravik
