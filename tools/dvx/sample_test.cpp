#include "tools/dvx/sample.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "downloader/transfer/package.h"
#include "downloader/transfer/package_text.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/text_faults.h"

namespace dvx {
namespace {

using dravik::TextBlockKind;

TEST(MakeSRecord, CountAddressDataChecksum) {
  EXPECT_EQ(MakeSRecord(0, 0, 2, {'H', 'D', 'R'}), "S00600004844521B");
  EXPECT_EQ(MakeSRecord(7, 0x00010000, 4, {}), "S70500010000F9");
}

TEST(Sample, TextsPassAndEndAsTheDownloaderExpects) {
  SampleOptions options;
  std::vector<std::vector<uint8_t>> blocks = SampleBlocks(options);
  ASSERT_EQ(blocks.size(), 5u);
  EXPECT_TRUE(FindTextFaults(blocks[0], TextBlockKind::Block1).empty());
  EXPECT_TRUE(FindTextFaults(blocks[1], TextBlockKind::Block2).empty());

  auto records1 = dravik::SplitTextBlock(blocks[0], TextBlockKind::Block1).Records();
  ASSERT_EQ(records1.size(), options.text1Records + 2);
  EXPECT_EQ(dravik::TextRecordType(records1.back()), 7);

  dravik::TextBlockPlan plan2 = dravik::SplitTextBlock(blocks[1], TextBlockKind::Block2);
  EXPECT_EQ(plan2.Records().size(), options.text2Records + 2);
  EXPECT_EQ(plan2.lines.back().action, dravik::LineAction::End);

  bool over6000 = false;
  for (size_t i = 2; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].size(), options.binarySizes[i - 2]);
    over6000 = over6000 || blocks[i].size() > 6000;
  }
  EXPECT_TRUE(over6000);
}

TEST(Sample, SameOptionsSameBytesAndSizesConfigurable) {
  SampleOptions options;
  options.binarySizes = {128 * 1024, 128 * 1024};
  EXPECT_EQ(SampleBlocks(options), SampleBlocks(options));
  std::vector<std::vector<uint8_t>> blocks = SampleBlocks(options);
  EXPECT_GE(blocks[2].size() + blocks[3].size(), 256u * 1024);
  EXPECT_NE(blocks[2], blocks[3]);

  SampleOptions other = options;
  other.seed = 2;
  EXPECT_NE(SampleBlocks(other)[2], blocks[2]);
}

TEST(Sample, ImageIsAPackageTheDownloaderAccepts) {
  SampleOptions options;
  options.machineType = 0x60;
  std::filesystem::path path = std::filesystem::temp_directory_path() / "sample_test_data.dvx";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path.string(),
                                  PackageImage(options.machineType, SampleBlocks(options)), error))
      << error;
  dravik::TransferPackage package;
  EXPECT_TRUE(package.OpenPackage(path.string()).ok());
  EXPECT_EQ(package.PackageModel(), 0x60);
  EXPECT_EQ(package.BlockCount(), 5u);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace dvx
