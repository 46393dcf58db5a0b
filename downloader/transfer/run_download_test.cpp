#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "downloader/link/result_codes.h"
#include "downloader/transfer/testing/engine_rig.h"

namespace dravik {
namespace {

constexpr uint8_t kType = 0x05;

std::vector<std::string> DataRecords(int count, uint16_t base) {
  std::vector<std::string> records;
  for (int i = 0; i < count; ++i) {
    records.push_back(SRecord(1, static_cast<uint16_t>(base + 16 * i), PatternBytes(16, i)));
  }
  return records;
}

Bytes Block1() {
  std::vector<std::string> lines = DataRecords(3, 0x1000);
  lines.push_back("S70500000000FA");
  return TextBlock(lines);
}

Bytes Block2() {
  std::vector<std::string> lines = {"; settings"};
  for (const std::string& r : DataRecords(2, 0x2000)) lines.push_back(r);
  lines.push_back("*****");
  return TextBlock(lines);
}

// The two text blocks and binary blocks of these sizes.
std::vector<Bytes> Blocks(const std::vector<size_t>& binarySizes) {
  std::vector<Bytes> blocks = {Block1(), Block2()};
  uint8_t seed = 3;
  for (size_t size : binarySizes) blocks.push_back(PatternBytes(size, seed++));
  return blocks;
}

BoxRecord Warn(const char* text) {
  return {text, BoxButtons::Ok, BoxIcon::Exclamation};
}
BoxRecord Info(const char* text) {
  return {text, BoxButtons::Ok, BoxIcon::Information};
}

const BoxRecord kComplete = Info("Transfer complete.");
const BoxRecord kInterrupted = Info("Transfer is interrupted");
const BoxRecord kNoPanel = Warn("Cannot communicate with VQ.");
const BoxRecord kCommunication = Warn("Communication Error");

// The checks every run ends with: the script played out as written, the dialog
// ended once, the port and the package closed, the hourglass gone.
void ExpectEnded(EngineRig& rig, int result, const std::vector<BoxRecord>& boxes) {
  EXPECT_TRUE(rig.port.ScriptDone()) << rig.port.RequestCount() << " requests";
  EXPECT_EQ(rig.FirstProblem(), "");
  EXPECT_EQ(rig.window.Boxes(), boxes);
  EXPECT_EQ(rig.EndResults(), std::vector<int>{result});
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.link.BlockCount(), 0u);
  int cursor = 0;
  for (const WindowEvent& e : rig.window.Events()) {
    if (e.kind == WindowEvent::Kind::WaitCursor) cursor += e.flag ? 1 : -1;
  }
  EXPECT_EQ(cursor, 0);
}

TEST(RunDownload, WholeDownloadWithProgress) {
  struct Case {
    std::vector<size_t> binaries;
    std::vector<std::string> overall;  // control 1006, in order
  };
  const Case cases[] = {
      {{}, {"", "  0%", " 25%", " 50%", "100%"}},
      {{300, 7000}, {"", "  0%", " 16%", " 33%", " 50%", " 66%", "100%"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.binaries.size());
    EngineRig rig;
    const std::vector<Bytes> blocks = Blocks(c.binaries);
    rig.WritePackage(kType, blocks);
    rig.panel.WholeDownload(kType, blocks);
    rig.link.RunDownload();
    ExpectEnded(rig, IDOK, {kComplete});
    EXPECT_EQ(rig.TextsOf(IDC_OVERALL_PERCENT), c.overall);
    EXPECT_EQ(rig.window.Progress(IDC_OVERALL_BAR).Position(), 100);
    EXPECT_EQ(rig.window.Progress(IDC_STEP_BAR).Position(), 100);
    EXPECT_EQ(rig.TextsOf(IDC_STEP_PERCENT).back(), "100%");
    EXPECT_EQ(rig.TextsOf(IDC_STATUS),
              (std::vector<std::string>{"Connecting", "Transferring", "Transferring"}));
    EXPECT_EQ(rig.TextsOf(IDC_WARNING),
              std::vector<std::string>{"Warning: Don't cut off the power supply."});
  }
}

TEST(RunDownload, BarsArePreparedForConnectingThenForTransferring) {
  EngineRig rig;
  rig.WritePackage(kType, Blocks({}));
  rig.panel.Silent(0x12).Times(ScriptStep::kForever);
  rig.link.RunDownload();
  // The first identification and the eight probes in steps of 11 stop at 99.
  EXPECT_EQ(rig.window.Progress(IDC_OVERALL_BAR).Position(), 99);
  EXPECT_EQ(rig.window.Progress(IDC_STEP_BAR).Position(), 0);
  ExpectEnded(rig, IDCANCEL, {kNoPanel});

  // Then steps of 1: phase 1 starts from 0, and phase 2's connection steps the
  // bar once past phase 1's 25.
  EngineRig ok;
  const std::vector<Bytes> blocks = Blocks({});
  ok.WritePackage(kType, blocks);
  ok.panel.WholeDownload(kType, blocks);
  const size_t phase2Identified = 2 + 4 + 1;
  std::vector<std::pair<size_t, int>> seen;
  ok.window.OnPump([&](int) {
    const size_t requests = ok.port.RequestCount();
    if (requests == 1 || requests == phase2Identified) {
      seen.emplace_back(requests, ok.window.Progress(IDC_OVERALL_BAR).Position());
    }
  });
  ok.link.RunDownload();
  ExpectEnded(ok, IDOK, {kComplete});
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), std::make_pair(size_t{1}, 0));
  EXPECT_EQ(seen.back(), std::make_pair(phase2Identified, 26));
}

struct FailureCase {
  const char* name;
  std::vector<size_t> binaries;
  std::function<void(EngineRig&, const std::vector<Bytes>&)> script;
  int result;
  std::vector<BoxRecord> boxes;
};

// Phase 1 to plan; the next connection is the caller's.
void Phase1(EngineRig& rig, const std::vector<Bytes>& blocks) {
  rig.panel.Identify(kType);
  rig.panel.Command(0x63);
  rig.panel.Records(blocks[0], TextBlockKind::Block1);
}

// Phases 1 and 2 and the connection of phase 3, to plan.
void UpToBinaryBlocks(EngineRig& rig, const std::vector<Bytes>& blocks) {
  Phase1(rig, blocks);
  rig.panel.Identify(kType);
  rig.panel.TextPhase2(blocks[1]);
  rig.panel.Command(0x20);
  rig.panel.Identify(kType);
}

// Phase 3 and the completion, to plan.
void FromPhase3(EngineRig& rig, const std::vector<Bytes>& blocks) {
  rig.panel.Identify(kType);
  for (size_t i = 2; i < blocks.size(); ++i) rig.panel.Packets(blocks[i]);
  rig.panel.Command(0x20);
}

std::string FirstRecord(const Bytes& block, TextBlockKind kind) {
  return std::string(SplitTextBlock(block, kind).Records().front());
}

const FailureCase kFailureCases[] = {
    {"no panel",
     {},
     [](EngineRig& rig, auto&) { rig.panel.Silent(0x12).Times(9); },
     IDCANCEL,
     {kNoPanel}},
    {"panel of another family",
     {},
     [](EngineRig& rig, auto&) { rig.panel.Identify(0x15, 12); },
     IDCANCEL,
     {Warn("Format of the selected file is not for this machine."), kNoPanel}},
    {"update mode refused: phase 2 all the same",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       rig.panel.Identify(kType);
       rig.panel.Command(0x63, 0x17);
       rig.panel.Identify(kType);
       rig.panel.TextPhase2(blocks[1]);
       rig.panel.Command(0x20);
       FromPhase3(rig, blocks);
     },
     IDOK,
     {Warn("Full of memory"), Warn("Cannot switch to firmware update mode."), kComplete}},
    {"update mode silent: no transaction text",
     {},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       rig.panel.Identify(kType);
       rig.panel.Silent(0x63).Times(4);
       rig.panel.Identify(kType);
       rig.panel.TextPhase2(blocks[1]);
       rig.panel.Command(0x20);
       FromPhase3(rig, blocks);
     },
     IDOK,
     {Warn("Cannot switch to firmware update mode."), kComplete}},
    {"block 1 refused: text block ended",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       rig.panel.Identify(kType);
       rig.panel.Command(0x63);
       rig.panel.Record(FirstRecord(blocks[0], TextBlockKind::Block1), false)
           .Reply(ReplyBytes(0x61, 0x20));
       rig.panel.Command(0x62);
     },
     IDCANCEL,
     {Warn("Writing Error of Flash ROM"), kCommunication}},
    {"phase 2 connection fails",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       Phase1(rig, blocks);
       rig.panel.Silent(0x12).Times(9);
     },
     IDCANCEL,
     {kNoPanel}},
    {"block 2 refused: text block ended twice, restart requested",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       Phase1(rig, blocks);
       rig.panel.Identify(kType);
       rig.panel.Command(0x09);
       rig.panel.Command(0x60);
       rig.panel.Record(FirstRecord(blocks[1], TextBlockKind::Block2), false)
           .Reply(ReplyBytes(0x61, 0x42));
       rig.panel.Command(0x62);
       rig.panel.Command(0x62);
       rig.panel.Command(0x20);
     },
     IDCANCEL,
     {kCommunication, kCommunication}},
    {"binary block refused: restart requested",
     {300, 7000},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       UpToBinaryBlocks(rig, blocks);
       rig.panel.Packets(blocks[2]);
       rig.panel.Packet(4, true, std::span<const uint8_t>(blocks[3]).first(2038), 0x17);
       rig.panel.Command(0x20);
     },
     IDCANCEL,
     {kCommunication}},
    {"final restart answered with a status",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       UpToBinaryBlocks(rig, blocks);
       rig.panel.Packets(blocks[2]);
       rig.panel.Command(0x20, 0x30);
     },
     IDOK,
     {Warn("Update request of firmware from VQ.")}},
    {"final restart unanswered",
     {300},
     [](EngineRig& rig, const std::vector<Bytes>& blocks) {
       UpToBinaryBlocks(rig, blocks);
       rig.panel.Packets(blocks[2]);
       rig.panel.Silent(0x20).Times(4);
     },
     IDOK,
     {kComplete}},
};

TEST(RunDownload, FailuresShowTheirBoxesInOrderAndLeaveThePanelAsExpected) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.name);
    EngineRig rig;
    const std::vector<Bytes> blocks = Blocks(c.binaries);
    rig.WritePackage(kType, blocks);
    c.script(rig, blocks);
    rig.link.RunDownload();
    ExpectEnded(rig, c.result, c.boxes);
  }
}

TEST(RunDownload, PackageFaultsEndBeforeAnythingIsSent) {
  struct Case {
    const char* name;
    std::function<void(EngineRig&)> setUp;
    std::vector<BoxRecord> boxes;
  };
  const Case cases[] = {
      {"missing", [](EngineRig&) {}, {Warn("Cannot find transfered data (data.dvx)")}},
      {"no trailer",
       [](EngineRig& rig) {
         Bytes bytes = PackageBytes(kType, Blocks({}));
         bytes.resize(bytes.size() - 4);
         rig.dir.Write("data.dvx", std::string(bytes.begin(), bytes.end()));
       },
       {Warn("Cannot open transfered data (data.dvx)")}},
      {"one text block only",
       [](EngineRig& rig) { rig.WritePackage(kType, {Block1()}); },
       {Warn("Transfered data (data.dvx) is broken")}},
      {"no program folder", [](EngineRig& rig) { rig.link.SetPackageFolder(""); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineRig rig;
    c.setUp(rig);
    rig.link.RunDownload();
    ExpectEnded(rig, IDCANCEL, c.boxes);
    EXPECT_TRUE(rig.port.OpenedNames().empty());
  }
}

TEST(RunDownload, PackageThatChangesDuringTheDownloadIsNotSentOn) {
  EngineRig rig;
  const std::vector<Bytes> blocks = Blocks({300});
  rig.WritePackage(kType, blocks);
  Phase1(rig, blocks);
  rig.panel.Identify(kType);
  rig.panel.Command(0x20);  // block 2 cannot be read: the panel is asked to restart
  const size_t phase2Start = 2 + SplitTextBlock(blocks[0], TextBlockKind::Block1).Records().size();
  rig.window.OnPump([&](int) {
    if (rig.port.RequestCount() == phase2Start) rig.dir.Write("data.dvx", "");
  });
  rig.link.RunDownload();
  ExpectEnded(rig, IDCANCEL, {Warn("Cannot open transfered data (data.dvx)")});
}

TEST(RunDownload, CodeEnteredForUpdateModeSendsItAgain) {
  EngineRig rig;
  const std::vector<Bytes> blocks = Blocks({});
  rig.WritePackage(kType, blocks);
  rig.panel.Identify(kType);
  rig.panel.Command(0x63, 0x60);
  rig.panel.UnlockWithCode('A');
  rig.window.QueueCodePrompt({"a"});
  rig.panel.Command(0x63);
  rig.panel.Records(blocks[0], TextBlockKind::Block1);
  rig.panel.Identify(kType);
  rig.panel.TextPhase2(blocks[1]);
  rig.panel.Command(0x20);
  FromPhase3(rig, blocks);
  rig.link.RunDownload();
  ExpectEnded(rig, IDOK, {kComplete});
}

// Sets m_bAbort, as a confirmed Cancel does, at the first pump after this many
// requests have been answered.
void CancelAfterRequests(EngineRig& rig, size_t requests) {
  rig.window.OnPump([&rig, requests](int) {
    if (rig.port.RequestCount() >= requests) rig.link.m_bAbort = true;
  });
}

TEST(RunDownload, AbortIsHonouredOnlyAtItsCheckpoints) {
  const std::vector<Bytes> blocks = Blocks({300, 2039, 7000});
  const size_t block1Records = SplitTextBlock(blocks[0], TextBlockKind::Block1).Records().size();
  const size_t block2Records = SplitTextBlock(blocks[1], TextBlockKind::Block2).Records().size();
  // Requests answered when each phase begins: identification, update mode and the
  // records; identification, preparation, opening, records, closing and restart.
  const size_t phase2Start = 2 + block1Records;
  const size_t phase3Start = phase2Start + 1 + 2 + block2Records + 2;
  const size_t thirdBinaryStart = phase3Start + 1 + 1 + 2;
  struct Case {
    const char* name;
    size_t cancelAt;  // requests answered when Cancel is confirmed
    std::function<void(EngineRig&)> script;
  };
  const Case cases[] = {
      {"during block 1: it finishes, the panel restarts, nothing more is sent", 3,
       [&](EngineRig& rig) {
         rig.panel.Identify(kType);
         rig.panel.Command(0x63);
         rig.panel.Records(blocks[0], TextBlockKind::Block1);
       }},
      {"during block 2: it finishes and the restart it asks for is all", phase2Start + 4,
       [&](EngineRig& rig) {
         Phase1(rig, blocks);
         rig.panel.Identify(kType);
         rig.panel.TextPhase2(blocks[1]);
         rig.panel.Command(0x20);
       }},
      {"during the third binary block: it finishes, then a restart is requested",
       thirdBinaryStart + 1,
       [&](EngineRig& rig) {
         UpToBinaryBlocks(rig, blocks);
         rig.panel.Packets(blocks[2]);
         rig.panel.Packets(blocks[3]);
         rig.panel.Packets(blocks[4]);
         rig.panel.Command(0x20);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineRig rig;
    rig.WritePackage(kType, blocks);
    c.script(rig);
    CancelAfterRequests(rig, c.cancelAt);
    rig.link.RunDownload();
    ExpectEnded(rig, IDCANCEL, {kInterrupted});
  }
}

TEST(RunDownload, AbortDuringBlock1WaitsForTheRestartBeforeClosing) {
  EngineRig rig;
  const std::vector<Bytes> blocks = Blocks({});
  rig.WritePackage(kType, blocks);
  Phase1(rig, blocks);
  size_t closesAtLastRecord = 0;
  rig.window.OnPump([&](int) {
    rig.link.m_bAbort = rig.port.RequestCount() >= 3;
    closesAtLastRecord = static_cast<size_t>(rig.port.CloseCount());
  });
  rig.link.RunDownload();
  ExpectEnded(rig, IDCANCEL, {kInterrupted});
  EXPECT_GE(rig.clock.NowMs() - rig.port.RequestTimes().back(), 6000u);
  EXPECT_EQ(rig.port.CloseCount(), static_cast<int>(closesAtLastRecord) + 1);
}

}  // namespace
}  // namespace dravik
