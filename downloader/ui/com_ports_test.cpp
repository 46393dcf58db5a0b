#include "downloader/ui/com_ports.h"

#include <gtest/gtest.h>

#include "downloader/platform/file_registry.h"
#include "downloader/platform/scratch_dir.h"
#include "downloader/ui/testing/reg_file.h"

namespace dravik {
namespace {

struct EnumerateCase {
  const char* what;
  std::vector<std::string> registered;
  std::vector<std::string> listed;
};

void PrintTo(const EnumerateCase& c, std::ostream* os) {
  *os << c.what;
}

class EnumerateComPortsTest : public ::testing::TestWithParam<EnumerateCase> {};

TEST_P(EnumerateComPortsTest, ListsRegisteredPortsInNumberOrder) {
  const EnumerateCase& c = GetParam();
  ScratchDir prefix;
  RegFile file;
  file.Key(kSerialCommKey);
  for (size_t i = 0; i < c.registered.size(); ++i) {
    file.Text("\\Device\\Serial" + std::to_string(i), c.registered[i]);
  }
  prefix.Write("system.reg", file.text());
  FileRegistry registry(prefix.path());

  std::vector<std::string> ports{"stale"};
  EXPECT_EQ(EnumerateComPorts(registry, ports), static_cast<int>(c.registered.size()));
  EXPECT_EQ(ports, c.listed);
}

INSTANTIATE_TEST_SUITE_P(Cases, EnumerateComPortsTest,
                         ::testing::Values(EnumerateCase{"ascending, canonical case",
                                                         {"COM10", "COM3", "com1"},
                                                         {"COM1", "COM3", "COM10"}},
                                           EnumerateCase{"a port registered twice is listed twice",
                                                         {"COM2", "Com2"},
                                                         {"COM2", "COM2"}},
                                           EnumerateCase{"out of range and other forms left out",
                                                         {"COM300", "COM0", "LPT1", "COM03",
                                                          "COM256", "COM 4"},
                                                         {"COM256"}},
                                           EnumerateCase{"empty key", {}, {}}),
                         [](const auto& param) {
                           std::string name;
                           for (const char c : std::string(param.param.what)) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

TEST(EnumerateComPorts, WithoutTheKeyReturnsMinusOneAndKeepsTheList) {
  ScratchDir prefix;
  FileRegistry registry(prefix.path());
  std::vector<std::string> ports{"kept"};
  EXPECT_EQ(EnumerateComPorts(registry, ports), -1);
  EXPECT_EQ(ports, std::vector<std::string>{"kept"});
}

TEST(EnumerateComPorts, SkipsValuesOfOtherTypesAndStopsAtAValueThatDoesNotFit) {
  ScratchDir prefix;
  prefix.Write("system.reg", RegFile()
                                 .Key(kSerialCommKey)
                                 .Text("a", "COM5")
                                 .Dword("b", 7)
                                 .Text("c", "COM4")
                                 .Text("d", std::string(256, 'x'))  // 257 bytes with its NUL
                                 .Text("e", "COM1")
                                 .text());
  FileRegistry registry(prefix.path());
  std::vector<std::string> ports;
  EXPECT_EQ(EnumerateComPorts(registry, ports), 2);
  EXPECT_EQ(ports, (std::vector<std::string>{"COM4", "COM5"}));
}

}  // namespace
}  // namespace dravik
