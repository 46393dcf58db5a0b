#include "tools/panel-sim/panel_core.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "downloader/link/bcc.h"
#include "tools/panel-sim/frame.h"
#include "tools/panel-sim/protocol.h"

namespace panelsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(std::string_view record) {
  Bytes bytes(record.begin(), record.end());
  bytes.push_back(0x0D);
  return bytes;
}

Bytes Packet(uint16_t number, Bytes data, bool first) {
  if (first) data.insert(data.begin(), {0x00, 0x01});
  return BuildRequest(cmd::kDataPacket, number, data);
}

Bytes Reply(uint8_t command, uint8_t status, uint16_t number = 1) {
  return BuildReply(command, status, number);
}

const Bytes kOk61 = Reply(cmd::kTextRecord, status::kAccepted);
constexpr std::string_view kRecord = "S00600004844521B";
constexpr std::string_view kRecord2 = "S1070000AABBCCDDEA";
constexpr std::string_view kEnd = "S705000000FA";

// A panel on a virtual clock; Send hands it bytes and returns what it answered.
class PanelTest : public ::testing::Test {
 protected:
  void Start(PanelConfig config = {}, RecordSink* sink = nullptr) {
    panel_ = std::make_unique<PanelCore>(std::move(config), clock_, sink);
  }
  Bytes Send(const Bytes& bytes) {
    panel_->Receive(bytes);
    return Drain();
  }
  Bytes Send(uint8_t command, Bytes data = {}) { return Send(BuildRequest(command, 1, data)); }
  Bytes Drain() {
    panel_->Poll();
    Bytes out(4096);
    out.resize(panel_->TakeOutput(out));
    return out;
  }
  dravik::VirtualClock clock_{1000};
  std::unique_ptr<PanelCore> panel_;
};

TEST_F(PanelTest, IdentificationLayoutFollowsTheVersion) {
  struct Case {
    uint8_t version;
    size_t size;  // 20 bytes (length 15) before version 2, 22 (length 17) from it
  };
  for (const Case& c : {Case{0, 20}, Case{1, 20}, Case{2, 22}, Case{12, 22}}) {
    PanelConfig config;
    config.machineType = 0x24;
    config.version = c.version;
    Start(config);
    const Bytes reply = Send(cmd::kIdentify);
    ASSERT_EQ(reply.size(), c.size) << int(c.version);
    EXPECT_EQ(reply[3], c.size - 5);
    EXPECT_EQ(
        (Bytes{reply.begin(), reply.begin() + 10}),
        (Bytes{0x7E, 0x01, 0x00, uint8_t(c.size - 5), 0x12, 0x00, 0x00, 0x01, 0x24, c.version}));
    EXPECT_EQ(dravik::ComputeBcc(reply.data(), reply.size()), 0);
  }
}

TEST_F(PanelTest, TextRecordsAreCheckedAndOnlyTakenInsideATextBlock) {
  Start();
  EXPECT_EQ(Send(Text(kRecord)), Reply(cmd::kTextRecord, status::kDataError));
  Send(cmd::kEnterUpdateMode);
  struct Case {
    std::string_view record;
    uint8_t status;
  };
  for (const Case& c : {Case{kRecord, 0x00}, Case{"S00600004844521C", status::kBccError},
                        Case{"S0060000484452 1B", status::kDataError},
                        Case{"X00600004844521B", status::kDataError}}) {
    EXPECT_EQ(Send(Text(c.record)), Reply(cmd::kTextRecord, c.status)) << c.record;
  }
  EXPECT_EQ(panel_->Received().text[0], std::vector<std::string>{std::string(kRecord)});
}

TEST_F(PanelTest, RestartKeepsThePanelSilentForItsLength) {
  Start();
  EXPECT_EQ(Send(cmd::kRequestRestart), Reply(cmd::kRequestRestart, 0));
  clock_.Advance(PanelConfig{}.restartMs - 1);
  EXPECT_TRUE(panel_->Silent());
  EXPECT_TRUE(Send(cmd::kIdentify).empty());
  clock_.Advance(1);
  EXPECT_EQ(Send(cmd::kIdentify).size(), 22u);
  EXPECT_EQ(panel_->Stats().restarts, 1u);
}

TEST_F(PanelTest, LastRecordOfBlock1RestartsThePanelConfirmedOnlyOutsideTheRestartGroup) {
  for (const uint8_t type : {uint8_t{0x05}, uint8_t{0x60}}) {
    PanelConfig config;
    config.machineType = type;
    Start(config);
    Send(cmd::kEnterUpdateMode);
    EXPECT_EQ(Send(Text(kRecord)), kOk61);
    EXPECT_EQ(Send(Text(kEnd)), type == 0x60 ? Bytes{} : kOk61) << int(type);
    EXPECT_TRUE(panel_->Silent());
    EXPECT_EQ(panel_->Received().text[0].size(), 2u);
  }
}

TEST_F(PanelTest, NothingIsHeardWhileTheLineSettingsDiffer) {
  Start();
  panel_->SetLineMatched(false);
  EXPECT_TRUE(Send(cmd::kIdentify).empty());
  panel_->SetLineMatched(true);
  EXPECT_EQ(Send(cmd::kIdentify).size(), 22u);
  EXPECT_EQ(panel_->Stats().ignoredBytes, 8u);
}

TEST_F(PanelTest, DataPacketsAreCheckedForPrefixNumberingAndBcc) {
  Start();
  EXPECT_EQ(Send(Packet(2, {0xAA}, false)), Reply(0x00, status::kDataError, 2)) << "no 00 01";
  EXPECT_EQ(Send(Packet(3, {0xAA, 0xBB}, true)), Reply(0x00, 0, 3));
  EXPECT_EQ(Send(Packet(1, {0xCC}, false)), Reply(0x00, status::kDataError, 1)) << "2 was due";
  Bytes corrupt = Packet(2, {0xCC}, false);
  corrupt.back() ^= 0x01;
  EXPECT_EQ(Send(corrupt), Reply(0x00, status::kBccError, 2));
  EXPECT_EQ(Send(Packet(2, {0xCC}, false)), Reply(0x00, 0, 2));
  EXPECT_EQ(Send(Packet(1, {0x00, 0x01}, false)), Reply(0x00, 0, 1)) << "00 01 inside is data";
  ASSERT_EQ(panel_->Received().binary.size(), 1u);
  EXPECT_EQ(panel_->Received().binary[0], (Bytes{0xAA, 0xBB, 0xCC, 0x00, 0x01}));
}

TEST_F(PanelTest, IdentificationDropsAPartialBlockSoTheHostCanSendItAgain) {
  Start();
  Send(Packet(2, {0x11}, true));
  Send(cmd::kIdentify);
  EXPECT_EQ(Send(Packet(1, {0x22}, false)), Reply(0x00, status::kDataError, 1));
  Send(Packet(2, {0x11}, true));
  Send(Packet(1, {0x22}, false));
  EXPECT_EQ(panel_->Received().binary, std::vector<Bytes>{(Bytes{0x11, 0x22})});
  EXPECT_EQ(panel_->Stats().abandonedBlocks, 1u);
}

TEST_F(PanelTest, LockedUpdateModeOpensWithTheUnlockSequence) {
  PanelConfig config;
  config.panelCode = "AB12";
  Start(config);
  EXPECT_EQ(Send(cmd::kEnterUpdateMode), Reply(cmd::kEnterUpdateMode, status::kLocked));
  EXPECT_EQ(Send(cmd::kQueryProtection, {0x00, 0xEE, 0x00, 0x00}),
            Reply(cmd::kQueryProtection, status::kDataError))
      << "unlock mode still off";
  Send(cmd::kSetUnlockMode, {0x01});
  const Bytes query = Send(cmd::kQueryProtection, {0x00, 0xEE, 0x00, 0x00});
  ASSERT_EQ(query.size(), 10u);
  EXPECT_EQ(query[8], 1);
  const Bytes code = Send(cmd::kReadPanelCode, {0x00, 0xEE, 0x00, 0x00, 0x00, 0x01});
  ASSERT_EQ(code.size(), 34u);
  std::string decoded;
  for (int j = 0; j < 8; ++j) decoded.push_back(char(code[32 - j] - code[24]));
  EXPECT_EQ(decoded, std::string("AB12\0\0\0\0", 8));
  EXPECT_EQ(Send(cmd::kEnterUpdateMode), Reply(cmd::kEnterUpdateMode, 0));
}

TEST_F(PanelTest, StatusFaultsRefuseTheChosenOccurrencesOnly) {
  PanelConfig config;
  config.faults.Add(FaultRule{cmd::kEnterUpdateMode, 2, 3, {FaultKind::Status, 0x11}});
  config.faults.Add(FaultRule{kRecordSelector, 1, 0, {FaultKind::Status, 0x50}});
  Start(config);
  EXPECT_EQ(Send(cmd::kEnterUpdateMode), Reply(cmd::kEnterUpdateMode, 0));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Send(cmd::kEnterUpdateMode), Reply(cmd::kEnterUpdateMode, 0x11));
  }
  EXPECT_EQ(Send(cmd::kEnterUpdateMode), Reply(cmd::kEnterUpdateMode, 0));
  EXPECT_EQ(Send(Text(kRecord)), Reply(cmd::kTextRecord, 0x50));
  EXPECT_EQ(Send(Text(kRecord)), Reply(cmd::kTextRecord, 0x50)) << "times=all";
  EXPECT_TRUE(panel_->Received().text[0].empty()) << "a refused record is not kept";
  EXPECT_EQ(panel_->Stats().faults, 5u);
}

TEST_F(PanelTest, ReplyFaultsChangeOnlyTheReply) {
  struct Case {
    FaultAction action;
    Bytes expected;
  };
  const Bytes good = Reply(cmd::kEndTextBlock, 0);
  Bytes badBcc = good;
  badBcc.back() ^= 0xFF;
  const Bytes stray = {0xA5, 0xA5, 0x7E, 0x01, 0x00, 0x04, 0x62, 0x00, 0x00, 0x01, 0x18};
  const Case cases[] = {
      {{FaultKind::Drop, 0}, {}},
      {{FaultKind::BadBcc, 0}, badBcc},
      {{FaultKind::WrongEcho, 0}, Reply(0x63, 0)},
      {{FaultKind::WrongNumber, 0}, Reply(cmd::kEndTextBlock, 0, 2)},
      {{FaultKind::Stray, 2}, stray},
      {{FaultKind::Trail, 1},
       [&] {
         Bytes b = good;
         b.push_back(0xA5);
         return b;
       }()},
  };
  for (const Case& c : cases) {
    PanelConfig config;
    config.faults.Add(FaultRule{cmd::kEndTextBlock, 1, 1, c.action});
    Start(config);
    EXPECT_EQ(Send(cmd::kEndTextBlock), c.expected) << DescribeFault(c.action);
    EXPECT_EQ(Send(cmd::kEndTextBlock), good) << "second occurrence untouched";
  }
}

TEST_F(PanelTest, DelayTypeAndHangFaults) {
  PanelConfig config;
  config.faults.Add(FaultRule{cmd::kIdentify, 1, 1, {FaultKind::Delay, 500}});
  config.faults.Add(FaultRule{cmd::kIdentify, 2, 1, {FaultKind::Type, 0x95}});
  config.faults.Add(FaultRule{cmd::kRequestRestart, 1, 1, {FaultKind::Hang, 0}});
  Start(config);
  EXPECT_TRUE(Send(cmd::kIdentify).empty());
  EXPECT_EQ(panel_->NextOutputMs(), clock_.NowMs() + 500);
  clock_.Advance(500);
  EXPECT_EQ(Drain().size(), 22u);
  EXPECT_EQ(Send(cmd::kIdentify)[8], 0x95);
  EXPECT_EQ(Send(cmd::kRequestRestart), Reply(cmd::kRequestRestart, 0));
  clock_.Advance(3'600'000);
  EXPECT_TRUE(Send(cmd::kIdentify).empty()) << "a restart that never ends";
  EXPECT_TRUE(panel_->Stats().hung);
}

TEST_F(PanelTest, RecordConfirmedByALostReplyIsKeptOnceWhenSentAgain) {
  PanelConfig config;
  config.faults.Add(FaultRule{kRecordSelector, 1, 1, {FaultKind::Drop, 0}});
  config.faults.Add(FaultRule{cmd::kDataPacket, 2, 1, {FaultKind::BadBcc, 0}});
  Start(config);
  Send(cmd::kEnterUpdateMode);
  EXPECT_TRUE(Send(Text(kRecord)).empty());
  EXPECT_EQ(Send(Text(kRecord)), kOk61);
  Send(Text(kRecord));  // a real repeat, its first reply intact: kept
  EXPECT_EQ(panel_->Received().text[0].size(), 2u);

  Send(Packet(1, {0x42}, true));
  Send(Packet(1, {0x42}, true));  // a new block that happens to be equal; its reply is corrupted
  Send(Packet(1, {0x42}, true));  // so the host sends that one again
  EXPECT_EQ(panel_->Received().binary.size(), 2u);
  EXPECT_EQ(panel_->Stats().retransmissions, 2u);
}

class MemorySink final : public RecordSink {
 public:
  bool TextBlock(int block, const std::vector<std::string>& records) override {
    text[block] = records;
    return true;
  }
  bool BinaryBlock(int block, std::span<const uint8_t> data) override {
    binary[block] = Bytes(data.begin(), data.end());
    return true;
  }
  void NewDownload() override { ++downloads; }
  std::map<int, std::vector<std::string>> text;
  std::map<int, Bytes> binary;
  int downloads = 0;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The host's side of one whole download, as the downloader runs it.
void RunDownload(const std::function<Bytes(const Bytes&)>& send, dravik::VirtualClock& clock,
                 const std::vector<Bytes>& blocks) {
  const auto command = [&](uint8_t code) { return send(BuildRequest(code, 1)); };
  command(cmd::kEnterUpdateMode);
  send(Text(kRecord));
  send(Text(kEnd));
  clock.Advance(6000);
  command(cmd::kIdentify);
  command(cmd::kPrepareTextBlock);
  command(cmd::kBeginTextBlock);
  send(Text(kRecord2));
  send(Text(kRecord));
  command(cmd::kEndTextBlock);
  command(cmd::kRequestRestart);
  clock.Advance(7000);
  command(cmd::kIdentify);
  for (const Bytes& block : blocks) {
    const uint16_t packets = uint16_t((block.size() + 2 + 2039) / 2040);
    size_t offset = 0;
    for (uint16_t number = packets; number >= 1; --number) {
      const size_t size = std::min<size_t>(block.size() - offset, number == packets ? 2038 : 2040);
      send(Packet(number, Bytes(block.begin() + long(offset), block.begin() + long(offset + size)),
                  number == packets));
      offset += size;
    }
  }
  command(cmd::kRequestRestart);
}

TEST_F(PanelTest, WholeDownloadIsRecordedBlockByBlockAndEndsAtTheFinalRestart) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / "panel-sim-record";
  std::filesystem::remove_all(folder);
  std::unique_ptr<FolderRecorder> recorder = FolderRecorder::Create(folder, nullptr);
  ASSERT_TRUE(recorder);
  Start({}, recorder.get());
  Bytes big(6000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
  const std::vector<Bytes> blocks = {Bytes{1, 2, 3}, big};
  RunDownload([&](const Bytes& b) { return Send(b); }, clock_, blocks);

  EXPECT_TRUE(panel_->DownloadFinished());
  EXPECT_EQ(ReadFile(folder / "block-1.srec"),
            std::string(kRecord) + "\n" + std::string(kEnd) + "\n");
  EXPECT_EQ(ReadFile(folder / "block-2.srec"),
            std::string(kRecord2) + "\n" + std::string(kRecord) + "\n");
  EXPECT_EQ(ReadFile(folder / "block-3.bin"), std::string("\1\2\3"));
  EXPECT_EQ(ReadFile(folder / "block-4.bin"), std::string(big.begin(), big.end()));
  EXPECT_FALSE(std::filesystem::exists(folder / "block-5.bin"));
  const PanelStats stats = panel_->Stats();
  EXPECT_EQ(stats.refusals, 0u);
  EXPECT_EQ(stats.restarts, 3u);
  std::filesystem::remove_all(folder);
}

TEST_F(PanelTest, UpdateModeAfterADownloadStartsANewRecord) {
  MemorySink sink;
  Start({}, &sink);
  RunDownload([&](const Bytes& b) { return Send(b); }, clock_, {Bytes{9}});
  clock_.Advance(7000);
  EXPECT_EQ(sink.downloads, 0);
  Send(cmd::kEnterUpdateMode);
  EXPECT_EQ(sink.downloads, 1);
  EXPECT_FALSE(panel_->DownloadFinished());
  EXPECT_TRUE(panel_->Received().binary.empty());
}

}  // namespace
}  // namespace panelsim
