// Runs the dvx program as a user would, in a folder of its own.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/dvx/package_image.h"
#include "tools/dvx/sample.h"

namespace dvx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

// A temporary folder with the few file operations the cases need.
class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "dvx_tool_test.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  void Write(const std::string& name, const std::string& text) const {
    Write(name, Bytes(text.begin(), text.end()));
  }
  Bytes Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  std::string Text(const std::string& name) const {
    Bytes bytes = Read(name);
    return std::string(bytes.begin(), bytes.end());
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

// Runs dvx in folder, so messages name files as given.
RunResult Dvx(const Folder& folder, const std::vector<std::string>& args) {
  std::string command = "cd '" + folder.path().string() + "' && '" DVX_EXECUTABLE "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >.out 2>.err";
  int raw = std::system(command.c_str());
  RunResult run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, folder.Text(".out"), folder.Text(".err")};
  fs::remove(folder.path() / ".out");
  fs::remove(folder.path() / ".err");
  return run;
}

class DvxTool : public testing::Test {
 protected:
  RunResult Dvx(const std::vector<std::string>& args) { return dvx::Dvx(folder_, args); }
  Folder folder_;
};

TEST_F(DvxTool, SampleBuildCheckListRoundTrip) {
  RunResult sample = Dvx({"sample", ".", "--sources", "-m", "0x60"});
  ASSERT_EQ(sample.status, 0) << sample.err;

  RunResult build = Dvx({"build", "-m", "0x60", "-o", "built.dvx", "text1.s19", "text2.s19",
                         "binary1.bin", "binary2.bin", "binary3.bin"});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(folder_.Read("built.dvx"), folder_.Read("data.dvx"));

  RunResult check = Dvx({"check", "built.dvx"});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_NE(check.out.find("built.dvx: OK: machine type 0x60, 5 blocks"), std::string::npos)
      << check.out;

  RunResult list = Dvx({"list", "built.dvx"});
  ASSERT_EQ(list.status, 0) << list.err;
  SampleOptions options;
  for (const std::string& row :
       {std::string("machine type 0x60, 5 blocks"), std::string("    1  text"),
        std::to_string(options.text2Records + 2) + " records, end marker on line",
        std::string("    5  binary"), std::string("7000  4 packets"),
        std::string("end of chain at offset")}) {
    EXPECT_NE(list.out.find(row), std::string::npos) << row << "\n" << list.out;
  }
}

TEST_F(DvxTool, SampleSizesForABenchmark) {
  RunResult sample = Dvx({"sample", "bench", "--binary", "128K,128K", "--text1", "4"});
  ASSERT_EQ(sample.status, 0) << sample.err;
  EXPECT_GT(fs::file_size(folder_.path() / "bench" / "data.dvx"), 256u * 1024);
  EXPECT_EQ(Dvx({"check", "bench/data.dvx"}).status, 0);
}

std::string GoodText1() {
  return SampleText1({});
}
std::string GoodText2() {
  return SampleText2({});
}

std::string WithLine3Broken(std::string text) {
  size_t third = text.find("\r\n", text.find("\r\n") + 2) + 2;
  size_t end = text.find("\r\n", third);
  text[end - 1] = text[end - 1] == '0' ? '1' : '0';
  return text;
}

Bytes Image(const std::vector<std::string>& texts, const std::vector<Bytes>& binaries = {}) {
  std::vector<Bytes> blocks;
  for (const std::string& text : texts) blocks.emplace_back(text.begin(), text.end());
  blocks.insert(blocks.end(), binaries.begin(), binaries.end());
  return PackageImage(5, blocks);
}

Bytes WithBlock1LengthOf(Bytes image, uint8_t high) {
  image[19] = high;  // the high byte of block 1's length at offset 16
  return image;
}

// Each case: the files it starts from, the command, and what the user sees. None may
// leave a file behind, finished or not.
struct BadCase {
  const char* name;
  std::function<void(const Folder&)> setup;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> messages;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

class DvxBadInput : public DvxTool, public testing::WithParamInterface<BadCase> {};

TEST_P(DvxBadInput, RefusedWithAMessageAndNoOutput) {
  const BadCase& c = GetParam();
  c.setup(folder_);
  std::set<std::string> before = folder_.Files();
  RunResult run = Dvx(c.args);
  EXPECT_EQ(run.status, c.status) << run.err;
  for (const std::string& message : c.messages) {
    EXPECT_NE(run.err.find(message), std::string::npos) << "missing: " << message << "\n"
                                                        << run.err;
  }
  EXPECT_EQ(folder_.Files(), before);
}

void Sources(const Folder& folder) {
  folder.Write("t1.s19", GoodText1());
  folder.Write("t2.s19", GoodText2());
}

const std::vector<std::string> kBuild = {"build", "-m", "5", "-o", "out.dvx"};
std::vector<std::string> Build(std::vector<std::string> files) {
  std::vector<std::string> args = kBuild;
  args.insert(args.end(), files.begin(), files.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DvxBadInput,
    testing::Values(
        BadCase{"BadChecksum",
                [](const Folder& folder) {
                  Sources(folder);
                  folder.Write("t1.s19", WithLine3Broken(GoodText1()));
                },
                Build({"t1.s19", "t2.s19"}),
                1,
                {"t1.s19:3: checksum should be", "out.dvx not written"}},
        BadCase{"EmptyRecordInBlock2",
                [](const Folder& folder) {
                  Sources(folder);
                  folder.Write("t2.s19", std::string("S00600004844521B\r\n\r\n*****\r\n"));
                },
                Build({"t1.s19", "t2.s19"}),
                1,
                {"t2.s19:2: empty line"}},
        BadCase{"EmptyBinary",
                [](const Folder& folder) {
                  Sources(folder);
                  folder.Write("b.bin", Bytes{});
                },
                Build({"t1.s19", "t2.s19", "b.bin"}),
                1,
                {"b.bin: empty"}},
        BadCase{"MissingInput",
                Sources,
                Build({"t1.s19", "missing.s19"}),
                3,
                {"missing.s19: cannot read"}},
        BadCase{"MachineTypeTooLarge",
                Sources,
                {"build", "-m", "256", "t1.s19", "t2.s19"},
                2,
                {"machine type 256 is not 0-255"}},
        BadCase{"NoMachineType", Sources, {"build", "t1.s19", "t2.s19"}, 2, {"-m TYPE"}},
        BadCase{"OneTextFile", Sources, Build({"t1.s19"}), 2, {"two text files"}},
        BadCase{"OutputFolderMissing",
                Sources,
                {"build", "-m", "5", "-o", "nowhere/out.dvx", "t1.s19", "t2.s19"},
                3,
                {"folder nowhere does not exist"}},
        BadCase{"OutputIsAnInput",
                [](const Folder& folder) {
                  Sources(folder);
                  folder.Write("b.bin", std::string("binary"));
                },
                {"build", "-m", "5", "-o", "./b.bin", "t1.s19", "t2.s19", "b.bin"},
                2,
                {"the output ./b.bin is the input b.bin"}},
        BadCase{"UnknownCommand", [](const Folder&) {}, {"pack"}, 2, {"unknown command pack"}},
        BadCase{
            "CheckLengthPastEnd",
            [](const Folder& folder) {
              folder.Write("p.dvx", WithBlock1LengthOf(Image({GoodText1(), GoodText2()}), 0x40));
            },
            {"check", "p.dvx"},
            1,
            {"p.dvx: offset 0x10, block 1: block length", "57346"}},
        BadCase{"CheckBadRecordInBlock2",
                [](const Folder& folder) {
                  folder.Write("p.dvx", Image({GoodText1(), "; c\nS00600004844521C\n*****"}));
                },
                {"check", "p.dvx"},
                1,
                {"p.dvx: block 2, line 2 (offset 0x", "checksum should be 1B", "57347"}},
        BadCase{"CheckOneBlock",
                [](const Folder& folder) { folder.Write("p.dvx", Image({GoodText1()})); },
                {"check", "p.dvx"},
                1,
                {"1 block(s)", "57347"}},
        BadCase{
            "CheckMissing", [](const Folder&) {}, {"check", "p.dvx"}, 3, {"no such file", "57345"}},
        BadCase{"ListBadVersion",
                [](const Folder& folder) {
                  Bytes image = Image({GoodText1(), GoodText2()});
                  image[4] = 3;
                  folder.Write("p.dvx", image);
                },
                {"list", "p.dvx"},
                1,
                {"second header value is 3, must be 2"}},
        BadCase{"SampleZeroSize",
                [](const Folder&) {},
                {"sample", ".", "--binary", "100,0"},
                2,
                {"--binary takes sizes of 1 to"}}),
    [](const testing::TestParamInfo<BadCase>& param) { return param.param.name; });

TEST_F(DvxTool, HelpIsAskedAnywhereBeforeTheEndOfOptions) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"help"},
                                               {"-h"},
                                               {"build", "--help"},
                                               {"check", "p.dvx", "-h"},
                                               {"sample", "--help", "dir"}}) {
    RunResult run = Dvx(args);
    EXPECT_EQ(run.status, 0) << args.front() << " " << args.back() << "\n" << run.err;
    EXPECT_EQ(run.out.rfind("usage:\n", 0), 0u) << run.out;
  }
  EXPECT_EQ(folder_.Files(), std::set<std::string>{});
  EXPECT_EQ(Dvx({"check", "--", "--help"}).status, 3) << "after --, a file name";
}

TEST_F(DvxTool, OneOfAThingIsSingular) {
  folder_.Write("p.dvx", Image({"S00600004844521B\r\n", GoodText2()}, {Bytes{1, 2, 3}}));
  RunResult list = Dvx({"list", "p.dvx"});
  EXPECT_NE(list.out.find("1 record\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("1 packet\n"), std::string::npos) << list.out;
  RunResult check = Dvx({"check", "p.dvx"});
  EXPECT_NE(check.out.find("1 binary block of 3 bytes"), std::string::npos) << check.out;
}

TEST_F(DvxTool, FailedBuildLeavesTheOldPackageAsItWas) {
  Sources(folder_);
  folder_.Write("out.dvx", std::string("old package"));
  folder_.Write("t2.s19", std::string("S00600004844521C\r\n"));
  RunResult run = Dvx(Build({"t1.s19", "t2.s19"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(folder_.Text("out.dvx"), "old package");
  EXPECT_EQ(folder_.Files(), (std::set<std::string>{"out.dvx", "t1.s19", "t2.s19"}));
}

}  // namespace
}  // namespace dvx
