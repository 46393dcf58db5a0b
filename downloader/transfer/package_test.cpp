#include "downloader/transfer/package.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/transfer/package_limits.h"

namespace dravik {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le32(int64_t value) {
  auto v = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Header(uint32_t machineField = 5, int32_t version = 2, int32_t magic = -1) {
  return Cat({Le32(magic), Le32(version), Le32(machineField), Le32(0)});
}

Bytes Filled(size_t count, uint8_t seed) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

// A well-formed package: header, each block with its length, the closing zero.
Bytes Package(const std::vector<Bytes>& blocks, uint32_t machineField = 5) {
  Bytes all = Header(machineField);
  for (const Bytes& block : blocks)
    all = Cat({all, Le32(static_cast<int64_t>(block.size())), block});
  return Cat({all, Le32(0)});
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "package_test.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const Bytes& bytes, const std::string& name = "data.dvx") const {
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return File(name);
  }

 private:
  std::filesystem::path path_;
};

struct OpenCase {
  const char* name;
  Bytes bytes;
  PackageFault openFault;  // of Open, the file checks alone
  uint64_t faultOffset;
  uint8_t model;
  uint32_t blocks;
  PackageFault packageFault;  // of OpenPackage, the dialog's whole check
};

void PrintTo(const OpenCase& c, std::ostream* os) {
  *os << c.name;
}

class PackageOpenTest : public testing::TestWithParam<OpenCase> {};

TEST_P(PackageOpenTest, ChecksHeaderTrailerAndChain) {
  const OpenCase& c = GetParam();
  TempDir dir;
  std::string path = dir.Write(c.bytes);
  TransferPackage package;

  PackageStatus status = package.Open(path);
  EXPECT_EQ(status.fault, c.openFault);
  EXPECT_EQ(package.IsOpen(), status.ok());
  if (status.ok()) {
    EXPECT_EQ(package.PackageModel(), c.model);
    EXPECT_EQ(package.BlockCount(), c.blocks);
  } else {
    EXPECT_EQ(status.offset, c.faultOffset);
  }

  PackageStatus whole = package.OpenPackage(path);
  EXPECT_EQ(whole.fault, c.packageFault);
  EXPECT_EQ(package.IsOpen(), whole.ok());
  uint16_t expected = c.packageFault == PackageFault::None           ? 0
                      : c.packageFault == PackageFault::TooFewBlocks ? IDS_PACKAGE_BROKEN
                                                                     : IDS_PACKAGE_OPEN_FAILED;
  EXPECT_EQ(whole.MessageId(), expected);
}

using F = PackageFault;
const Bytes kFour = {'a', 'b', 'c', 'd'};

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageOpenTest,
    testing::Values(
        // One block is a well-formed file, but the download needs both text blocks.
        OpenCase{"OneBlock", Package({kFour}), F::None, 0, 0x05, 1, F::TooFewBlocks},
        OpenCase{"NoBlocks", Package({}), F::None, 0, 0x05, 0, F::TooFewBlocks},
        OpenCase{"TwoBlocks", Package({kFour, kFour}), F::None, 0, 0x05, 2, F::None},
        OpenCase{"FourBlocks",
                 Package({Filled(300, 1), Filled(200, 2), Filled(5000, 3), Filled(7000, 4)}),
                 F::None, 0, 0x05, 4, F::None},
        OpenCase{"ModelIsLowByte", Package({kFour, kFour}, 0x12345660), F::None, 0, 0x60, 2,
                 F::None},
        OpenCase{"VersionThree", Cat({Header(5, 3), Le32(4), kFour, Le32(0)}), F::BadVersion, 4, 0,
                 0, F::BadVersion},
        OpenCase{"BadMagic", Cat({Header(5, 2, -2), Le32(4), kFour, Le32(0)}), F::BadMagic, 0, 0, 0,
                 F::BadMagic},
        OpenCase{"NoFinalZero", Cat({Header(), Le32(4), kFour}), F::BadTrailer, 20, 0, 0,
                 F::BadTrailer},
        OpenCase{"Empty", {}, F::TooShort, 0, 0, 0, F::TooShort},
        OpenCase{"MagicOnly", Le32(-1), F::TooShort, 4, 0, 0, F::TooShort},
        // The unused header value is 0, so the last 4 bytes pass; the chain has no room.
        OpenCase{"HeaderOnly", Header(), F::TooShort, 8, 0, 0, F::TooShort},
        OpenCase{"LengthPastEnd", Cat({Header(), Le32(100), kFour, Le32(0)}), F::LengthPastEnd, 16,
                 0, 0, F::LengthPastEnd},
        // A block that swallows the closing zero leaves no room for the next length.
        OpenCase{"LengthOverTrailer", Cat({Header(), Le32(8), kFour, Le32(0)}), F::LengthPastEnd,
                 16, 0, 0, F::LengthPastEnd},
        OpenCase{"NegativeLength", Cat({Header(), Le32(4), kFour, Le32(-4), kFour, Le32(0)}),
                 F::NegativeLength, 24, 0, 0, F::NegativeLength},
        OpenCase{"MostNegativeLength", Cat({Header(), Le32(INT32_MIN), kFour, Le32(0)}),
                 F::NegativeLength, 16, 0, 0, F::NegativeLength},
        // A zero before the end would silently drop the blocks after it.
        OpenCase{"ZeroBeforeEnd", Cat({Header(), Le32(4), kFour, Le32(0), Le32(4), kFour, Le32(0)}),
                 F::ChainEndsEarly, 24, 0, 0, F::ChainEndsEarly}),
    [](const testing::TestParamInfo<OpenCase>& param) { return param.param.name; });

TEST(PackageOpen, MissingFileDirectoryAndPipe) {
  TempDir dir;
  TransferPackage package;
  PackageStatus missing = package.OpenPackage(dir.File("data.dvx"));
  EXPECT_EQ(missing.fault, PackageFault::NotFound);
  EXPECT_EQ(missing.MessageId(), IDS_PACKAGE_NOT_FOUND);

  std::filesystem::create_directory(dir.File("dir"));
  PackageStatus directory = package.OpenPackage(dir.File("dir"));
  EXPECT_EQ(directory.fault, PackageFault::CannotOpen);
  EXPECT_EQ(directory.MessageId(), IDS_PACKAGE_OPEN_FAILED);

  // A pipe would block a plain open until someone writes; it is refused at once.
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  PackageStatus pipe = package.OpenPackage(dir.File("fifo"));
  EXPECT_EQ(pipe.fault, PackageFault::CannotOpen);
  EXPECT_FALSE(package.IsOpen());
}

TEST(PackageOpen, UnreadableFileCannotBeOpened) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  TempDir dir;
  std::string path = dir.Write(Package({kFour, kFour}));
  ::chmod(path.c_str(), 0);
  TransferPackage package;
  EXPECT_EQ(package.OpenPackage(path).fault, PackageFault::CannotOpen);
}

// Writes the lengths of a package whose blocks are holes, so that a block of
// 130 MB costs no disk and no time: only the chain is ever read by Open.
std::string WriteSparsePackage(const TempDir& dir, const std::vector<int64_t>& lengths) {
  std::string path = dir.File("data.dvx");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  auto writeAt = [fd](const Bytes& bytes, uint64_t offset) {
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
  };
  writeAt(Header(), 0);
  uint64_t offset = kPackageHeaderBytes;
  for (int64_t length : lengths) {
    writeAt(Le32(length), offset);
    offset += 4 + static_cast<uint64_t>(length);
  }
  writeAt(Le32(0), offset);
  ::close(fd);
  return path;
}

TEST(PackageOpen, BinaryBlocksAreBoundedByTheirPacketNumbers) {
  struct Case {
    std::vector<int64_t> lengths;
    PackageFault fault;
    uint32_t block;
  };
  const auto max = static_cast<int64_t>(kMaxBinaryBlockBytes);
  const Case cases[] = {
      {{40, 40, max}, PackageFault::None, 0},
      {{40, 40, 100, max + 1, max + 1}, PackageFault::BlockTooLarge, 4},
      // Text blocks are sent record by record, so no packet limit applies.
      {{max + 1, 40, 100}, PackageFault::None, 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    TransferPackage package;
    PackageStatus status = package.OpenPackage(WriteSparsePackage(dir, c.lengths));
    EXPECT_EQ(status.fault, c.fault);
    EXPECT_EQ(status.block, c.block);
    if (!status.ok()) {
      EXPECT_EQ(status.value, max + 1);
      EXPECT_EQ(status.MessageId(), IDS_PACKAGE_BROKEN);
    }
  }
}

TEST(PackageRead, BlocksComeInOrderThenTheChainEnds) {
  TempDir dir;
  const std::vector<Bytes> blocks = {Filled(300, 1), Filled(200, 2), Filled(6001, 3)};
  TransferPackage package;
  ASSERT_TRUE(package.OpenPackage(dir.Write(Package(blocks))).ok());

  Bytes data;
  uint32_t length = 99;
  uint64_t offset = kPackageHeaderBytes;
  for (const Bytes& expected : blocks) {
    EXPECT_EQ(package.NextBlockOffset(), offset);
    ASSERT_TRUE(package.ReadNextBlock(data, length).ok());
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(data, expected);
    offset += 4 + expected.size();
  }
  for (int again = 0; again < 2; ++again) {
    ASSERT_TRUE(package.ReadNextBlock(data, length).ok());
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(data.empty());
  }
  EXPECT_EQ(package.BlocksRead(), 3u);
}

TEST(PackageRead, HeldOpenAfterTheFileIsRemoved) {
  TempDir dir;
  TransferPackage package;
  std::string path = dir.Write(Package({kFour, Filled(10, 9)}));
  ASSERT_TRUE(package.OpenPackage(path).ok());
  std::filesystem::remove(path);
  Bytes data;
  uint32_t length = 0;
  EXPECT_TRUE(package.ReadNextBlock(data, length).ok());
  EXPECT_TRUE(package.ReadNextBlock(data, length).ok());
  EXPECT_EQ(data, Filled(10, 9));
}

// A file changed after its check must not be sent as if it were the one checked,
// nor end the chain early as if the transfer were complete.
TEST(PackageRead, ChangedFileIsRefusedNotEndedSilently) {
  struct Case {
    const char* name;
    Bytes replacement;  // written over the file in place after the check
  };
  const Case cases[] = {
      {"Truncated", Cat({Header(), Le32(4), kFour})},
      {"ChainCutShort", Cat({Header(), Le32(4), kFour, Le32(0), Le32(0), Le32(0)})},
      {"LengthGrown", Cat({Header(), Le32(4), kFour, Le32(9), kFour, Le32(0)})},
      {"BlockAdded", Cat({Header(), Le32(4), kFour, Le32(4), kFour, Le32(4)})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.Write(Package({kFour, kFour}));
    TransferPackage package;
    ASSERT_TRUE(package.OpenPackage(path).ok());
    Bytes data;
    uint32_t length = 0;
    ASSERT_TRUE(package.ReadNextBlock(data, length).ok());
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    dir.Write(c.replacement);

    PackageStatus status = package.ReadNextBlock(data, length);
    if (status.ok()) status = package.ReadNextBlock(data, length);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.MessageId(), IDS_PACKAGE_OPEN_FAILED);
    EXPECT_EQ(length, 0u);
  }
}

TEST(PackageRead, NothingOpen) {
  TransferPackage package;
  Bytes data;
  uint32_t length = 0;
  PackageStatus status = package.ReadNextBlock(data, length);
  EXPECT_EQ(status.fault, PackageFault::NotOpen);
  EXPECT_EQ(status.MessageId(), IDS_PACKAGE_OPEN_FAILED);
  EXPECT_EQ(package.CheckSendable().fault, PackageFault::NotOpen);
}

TEST(PackagePath, BesideTheProgram) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/dravik/Dravik", "/opt/dravik/data.dvx"},
      {"/Dravik", "/data.dvx"},
      {"/opt/dravik/", "/opt/dravik/data.dvx"},
      {"Dravik", "data.dvx"},
  };
  for (const auto& [module, expected] : cases) EXPECT_EQ(PackagePathBeside(module), expected);
}

}  // namespace
}  // namespace dravik
