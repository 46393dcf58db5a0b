#include "downloader/platform/serial_discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "downloader/platform/dos_devices.h"
#include "downloader/platform/file_registry.h"
#include "downloader/platform/scratch_dir.h"

namespace dravik {
namespace {

namespace fs = std::filesystem;

// A machine in a temporary folder: dev/ with device nodes as plain files, sys/ with
// the UART types, prefix/ as the program's prefix.
class FakeMachine : public ::testing::Test {
 protected:
  std::string Dev(std::string_view name) const { return dir_.File("dev/" + std::string(name)); }
  void AddNode(std::string_view name) const { dir_.Write("dev/" + std::string(name), ""); }
  void AddUart(std::string_view name, std::string_view type) const {
    AddNode(name);
    dir_.Write("sys/class/tty/" + std::string(name) + "/type", std::string(type) + "\n");
  }
  void AddById(std::string_view id, std::string_view node) const {
    fs::create_directories(Dev("serial/by-id"));
    fs::remove(Dev("serial/by-id/" + std::string(id)));
    fs::create_symlink("../../" + std::string(node), Dev("serial/by-id/" + std::string(id)));
  }
  void Remove(std::string_view name) const { fs::remove(Dev(name)); }

  std::vector<DiscoveredPort> Discover() {
    return DiscoverSerialPorts(prefix_, registry_, {dir_.File("dev"), dir_.File("sys") + "/"});
  }
  std::map<std::string, std::string> Listed() {
    std::map<std::string, std::string> listed;
    for (uint32_t i = 0; const std::optional<RegValue> v = registry_.EnumValue(kSerialCommKey, i);
         ++i) {
      listed[v->name] = v->Text();
    }
    return listed;
  }

  ScratchDir dir_;
  std::string prefix_ = dir_.File("prefix");
  FileRegistry registry_{prefix_};
};

const std::string kCable = "usb-Maker_Cable_A1B2-if00-port0";

TEST_F(FakeMachine, FindsSerialDevicesWithHardwareInNumberingOrder) {
  AddUart("ttyS0", "4");
  AddUart("ttyS1", "0");  // a legacy node with no chip
  AddNode("ttyS2");       // no type known
  AddUart("ttyS10", "4");
  AddUart("ttyS3", "4");
  AddNode("ttyUSB1");
  AddNode("ttyUSB0");
  AddNode("ttyACM0");
  AddNode("ttyUSB10");
  AddById(kCable, "ttyUSB1");
  for (const char* other : {"ttyUSB", "ttySx", "ttyprintk", "tty1", "ttyAMA0", "pts"}) {
    AddNode(other);
  }
  EXPECT_EQ(FindSerialDevices({Dev(""), dir_.File("sys")}),
            (std::vector<std::string>{Dev("ttyS0"), Dev("ttyS3"), Dev("ttyS10"),
                                      Dev("serial/by-id/" + kCable), Dev("ttyACM0"), Dev("ttyUSB0"),
                                      Dev("ttyUSB10")}));
}

TEST_F(FakeMachine, NumbersNewDevicesAndKeepsOthersRegistrations) {
  AddUart("ttyS0", "4");
  AddUart("ttyS10", "4");
  AddNode("ttyUSB0");
  AddNode("ttyUSB1");
  AddNode("ttyACM0");
  AddById(kCable, "ttyUSB1");
  const std::string simulator = dir_.Write("pts-of-the-simulator", "");
  ASSERT_TRUE(RegisterComPort(prefix_, registry_, 2, simulator));
  ASSERT_TRUE(registry_.SetValue(kSerialCommKey, RegValue::String("\\Device\\Other", "COM4")));

  const std::vector<DiscoveredPort> ports = Discover();
  const std::string cable = Dev("serial/by-id/" + kCable);
  std::vector<std::pair<unsigned, std::string>> numbered;
  for (const DiscoveredPort& p : ports) {
    EXPECT_TRUE(p.isNew);
    numbered.emplace_back(p.number, p.path);
  }
  EXPECT_EQ(numbered, (std::vector<std::pair<unsigned, std::string>>{{1, Dev("ttyS0")},
                                                                     {11, Dev("ttyS10")},
                                                                     {3, cable},
                                                                     {5, Dev("ttyACM0")},
                                                                     {6, Dev("ttyUSB0")}}));
  EXPECT_EQ(ReadComLinks(prefix_), (std::map<unsigned, std::string>{{1, Dev("ttyS0")},
                                                                    {2, simulator},
                                                                    {3, cable},
                                                                    {5, Dev("ttyACM0")},
                                                                    {6, Dev("ttyUSB0")},
                                                                    {11, Dev("ttyS10")}}));
  EXPECT_EQ(Listed(), (std::map<std::string, std::string>{{simulator, "COM2"},
                                                          {"\\Device\\Other", "COM4"},
                                                          {Dev("ttyS0"), "COM1"},
                                                          {Dev("ttyS10"), "COM11"},
                                                          {cable, "COM3"},
                                                          {Dev("ttyACM0"), "COM5"},
                                                          {Dev("ttyUSB0"), "COM6"}}));
}

TEST_F(FakeMachine, NumbersStayAcrossRunsAndReplugging) {
  AddNode("ttyUSB0");
  AddNode("ttyACM0");
  AddById(kCable, "ttyUSB0");
  ASSERT_EQ(Discover().size(), 2u);
  const std::string cable = Dev("serial/by-id/" + kCable);
  const std::map<std::string, std::string> first = Listed();
  ASSERT_EQ(first, (std::map<std::string, std::string>{{cable, "COM1"}, {Dev("ttyACM0"), "COM2"}}));

  // A run with nothing changed does not even rewrite the registry file.
  const auto inode = [&] {
    struct stat info {};
    stat(dir_.File("prefix/system.reg").c_str(), &info);
    return info.st_ino;
  };
  const ino_t before = inode();
  for (const DiscoveredPort& p : Discover()) EXPECT_FALSE(p.isNew) << p.path;
  EXPECT_EQ(inode(), before);

  // Unplugged: the cable and the modem leave the list but keep their links.
  Remove("ttyUSB0");
  Remove("ttyACM0");
  fs::remove(Dev("serial/by-id/" + kCable));
  EXPECT_TRUE(Discover().empty());
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(ReadComLinks(prefix_).size(), 2u);

  // A newcomer does not take their numbers; replugged, the cable comes back as
  // COM1 under another kernel name, and the modem as COM2.
  AddNode("ttyUSB0");
  EXPECT_EQ(Discover().front().number, 3u);
  AddNode("ttyUSB1");
  AddById(kCable, "ttyUSB1");
  AddNode("ttyACM0");
  Discover();
  EXPECT_EQ(Listed(), (std::map<std::string, std::string>{
                          {cable, "COM1"}, {Dev("ttyACM0"), "COM2"}, {Dev("ttyUSB0"), "COM3"}}));
}

TEST_F(FakeMachine, TheKernelsConsoleIsNotOffered) {
  AddUart("ttyS0", "4");
  AddUart("ttyS1", "4");
  AddNode("ttyUSB0");
  AddById(kCable, "ttyUSB0");
  ASSERT_TRUE(SetComLink(prefix_, 1, Dev("ttyS0")));  // registered before it became the console
  ASSERT_TRUE(registry_.SetValue(kSerialCommKey, RegValue::String(Dev("ttyS0"), "COM1")));
  dir_.Write("sys/class/tty/console/active", "tty0 ttyS0 ttyUSB0\n");
  EXPECT_EQ(FindSerialDevices({Dev(""), dir_.File("sys")}),
            (std::vector<std::string>{Dev("ttyS1")}));
  Discover();
  EXPECT_EQ(Listed(), (std::map<std::string, std::string>{{Dev("ttyS1"), "COM2"}}));
  EXPECT_EQ(ReadComLinks(prefix_).count(1), 1u) << "its link keeps the number";
}

TEST_F(FakeMachine, ALinkSomeoneMadeToTheKernelNameKeepsItsNumber) {
  AddNode("ttyUSB0");
  AddById(kCable, "ttyUSB0");
  ASSERT_TRUE(SetComLink(prefix_, 7, Dev("ttyUSB0")));
  const std::vector<DiscoveredPort> ports = Discover();
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].number, 7u);
  EXPECT_FALSE(ports[0].isNew);
  EXPECT_EQ(Listed(), (std::map<std::string, std::string>{{Dev("ttyUSB0"), "COM7"}}));
}

TEST_F(FakeMachine, RegisteringAPortMakesItTheOnlyOneOfItsNumber) {
  AddNode("ttyUSB0");
  Discover();
  ASSERT_EQ(Listed(), (std::map<std::string, std::string>{{Dev("ttyUSB0"), "COM1"}}));
  const std::string pty = dir_.Write("pty", "");
  ASSERT_TRUE(RegisterComPort(prefix_, registry_, 1, pty));
  EXPECT_EQ(ReadComLinks(prefix_), (std::map<unsigned, std::string>{{1, pty}}));
  EXPECT_EQ(Listed(), (std::map<std::string, std::string>{{pty, "COM1"}}));
  EXPECT_FALSE(RegisterComPort(prefix_, registry_, 0, pty));
  EXPECT_FALSE(RegisterComPort(prefix_, registry_, 257, pty));

  // The displaced adapter gets a number of its own at the next start.
  Discover();
  EXPECT_EQ(Listed(),
            (std::map<std::string, std::string>{{pty, "COM1"}, {Dev("ttyUSB0"), "COM2"}}));
}

}  // namespace
}  // namespace dravik
