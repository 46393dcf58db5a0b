#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/link/download_link.h"
#include "downloader/link/last_outcome.h"
#include "downloader/link/result_codes.h"
#include "downloader/link/testing/link_rig.h"

namespace dravik {
namespace {

constexpr uint8_t kCommand = 0x20;
const Bytes kRequest = RequestBytes(kCommand);
// TimeOut 5000 and the same read time-out: a silent try costs two empty reads.
constexpr uint64_t kSilentTryMs = 10000;

// What the panel does with one try of the request.
struct Answer {
  enum Kind { Silent, Good, BadBcc, FailWrite, FailRead, Status } kind;
  uint8_t status = 0;
  int times = 1;
};

Answer Silent(int times = 1) {
  return {Answer::Silent, 0, times};
}
Answer Good() {
  return {Answer::Good};
}
Answer BadBcc() {
  return {Answer::BadBcc};
}
Answer WriteFails(int times = 1) {
  return {Answer::FailWrite, 0, times};
}
Answer ReadFails() {
  return {Answer::FailRead};
}
Answer Status(uint8_t status, int times = 1) {
  return {Answer::Status, status, times};
}

void Script(ScriptedPort& port, const Bytes& request, uint8_t command,
            const std::vector<Answer>& answers) {
  for (const Answer& a : answers) {
    ScriptStep& step = port.Expect(request);
    step.Times(a.times);
    Bytes bad = ReplyBytes(command);
    switch (a.kind) {
      case Answer::Silent:
        break;
      case Answer::Good:
        step.Reply(ReplyBytes(command));
        break;
      case Answer::BadBcc:
        bad.back() ^= 0x01;
        step.Reply(bad);
        break;
      case Answer::FailWrite:
        step.FailWrite();
        break;
      case Answer::FailRead:
        step.FailRead();
        break;
      case Answer::Status:
        step.Reply(ReplyBytes(command, a.status));
        break;
    }
  }
}

int Transact(LinkRig<>& rig, uint32_t& status) {
  uint8_t reply[22];
  return rig.link.Transact(kRequest.data(), static_cast<int16_t>(kRequest.size()), reply,
                           sizeof reply, kCommand, kSinglePacket, status);
}

std::vector<uint64_t> Gaps(const std::vector<uint64_t>& times) {
  std::vector<uint64_t> gaps;
  for (size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
  return gaps;
}

std::vector<uint64_t> Repeat(uint64_t gap, int count) {
  return std::vector<uint64_t>(static_cast<size_t>(count), gap);
}

// The busy pauses attempt x 100 ms for the attempts first..last.
std::vector<uint64_t> BusyPauses(int first, int last) {
  std::vector<uint64_t> gaps;
  for (int attempt = first; attempt <= last; ++attempt) gaps.push_back(attempt * 100u);
  return gaps;
}

std::vector<uint64_t> Join(std::vector<uint64_t> a, const std::vector<uint64_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct RetryCase {
  const char* name;
  uint8_t retryCount;
  uint8_t machineType;
  std::vector<Answer> answers;
  size_t tries;
  int result;
  uint32_t status;
  std::vector<std::string> boxes;
  std::vector<uint64_t> gaps;  // between the tries
  uint64_t tail;               // from the last try to the return
};

const RetryCase kRetryCases[] = {
    {"a panel that never answers",
     3,
     kMachineTypeUnknown,
     {Silent(4)},
     4,
     RESULT_TIMEOUT,
     0,
     {},
     Repeat(kSilentTryMs, 3),
     kSilentTryMs},
    {"probing: RetryCount 0 tries once",
     0,
     kMachineTypeUnknown,
     {Silent()},
     1,
     RESULT_TIMEOUT,
     0,
     {},
     {},
     kSilentTryMs},
    {"bad BCC, then good", 3, kMachineTypeUnknown, {BadBcc(), Good()}, 2, 0, 0, {}, {0}, 0},
    {"read fails, then good", 3, kMachineTypeUnknown, {ReadFails(), Good()}, 2, 0, 0, {}, {0}, 0},
    {"write fails every time",
     3,
     kMachineTypeUnknown,
     {WriteFails(4)},
     4,
     RESULT_WRITE_FAILED,
     0,
     {"Communication Error"},
     Repeat(0, 3),
     0},
    {"status 0x01 every time",
     3,
     kMachineTypeUnknown,
     {Status(0x01, 4)},
     4,
     RESULT_PANEL_STATUS,
     0x01,
     {"BCC Error"},
     Repeat(0, 3),
     0},
    {"status 0x02 every time",
     3,
     kMachineTypeUnknown,
     {Status(0x02, 4)},
     4,
     RESULT_PANEL_STATUS,
     0x02,
     {"Parity Error"},
     Repeat(0, 3),
     0},
    {"status 0x40 every time",
     3,
     kMachineTypeUnknown,
     {Status(0x40, 4)},
     4,
     RESULT_PANEL_STATUS,
     0x40,
     {"Data Error"},
     Repeat(0, 3),
     0},
    {"status 0x17 gives up at once",
     3,
     kMachineTypeUnknown,
     {Status(0x17)},
     1,
     RESULT_PANEL_STATUS,
     0x17,
     {"Full of memory"},
     {},
     0},
    {"status 0x20 gives up at once",
     3,
     kMachineTypeUnknown,
     {Status(0x20)},
     1,
     RESULT_PANEL_STATUS,
     0x20,
     {"Writing Error of Flash ROM"},
     {},
     0},
    {"status 0x30 gives up at once",
     3,
     kMachineTypeUnknown,
     {Status(0x30)},
     1,
     RESULT_PANEL_STATUS,
     0x30,
     {"Update request of firmware from VQ."},
     {},
     0},
    {"status 0x42 is not known",
     3,
     kMachineTypeUnknown,
     {Status(0x42)},
     1,
     RESULT_PANEL_STATUS,
     0x42,
     {"Communication Error"},
     {},
     0},
    {"status 0x11 every time: 31 tries, 43.5 s of pauses",
     3,
     kMachineTypeUnknown,
     {Status(0x11, 31)},
     31,
     RESULT_PANEL_STATUS,
     0x11,
     {"Busy Error"},
     BusyPauses(0, 29),
     0},
    {"status 0x11 twice, then good",
     3,
     kMachineTypeUnknown,
     {Status(0x11, 2), Good()},
     3,
     0,
     0,
     {},
     {0, 100},
     0},
    {"earlier retries count against the busy limit",
     3,
     kMachineTypeUnknown,
     {Silent(2), Status(0x11, 29)},
     31,
     RESULT_PANEL_STATUS,
     0x11,
     {"Busy Error"},
     Join(Repeat(kSilentTryMs, 2), BusyPauses(2, 29)),
     0},
    // Status 0x50 pauses P at once and P again before each retry; at the limit it
    // gives up after the first pause and says so in words of its own.
    {"status 0x50 to the limit, series 0",
     3,
     0x05,
     {Status(0x50, 4)},
     4,
     RESULT_PANEL_STATUS,
     0x50,
     {"Communication Error"},
     Repeat(40000, 3),
     20000},
    {"status 0x50 to the limit, type not yet known",
     3,
     kMachineTypeUnknown,
     {Status(0x50, 4)},
     4,
     RESULT_PANEL_STATUS,
     0x50,
     {"Communication Error"},
     Repeat(60000, 3),
     30000},
};

TEST(Transact, RetriesPausesAndReportsByTheTable) {
  for (const RetryCase& c : kRetryCases) {
    SCOPED_TRACE(c.name);
    LinkRig<> rig;
    rig.link.m_env.RetryCount = c.retryCount;
    rig.link.m_nMachineType = c.machineType;
    rig.link.m_strError = "stale text";
    ASSERT_EQ(rig.Open(), 0);
    Script(rig.port, kRequest, kCommand, c.answers);

    uint32_t status = 0;
    EXPECT_EQ(Transact(rig, status), c.result);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(rig.port.RequestCount(), c.tries);
    EXPECT_EQ(rig.window.PumpCount(), static_cast<int>(c.tries));  // one pump per try
    EXPECT_EQ(rig.window.BoxTexts(), c.boxes);
    for (const BoxRecord& box : rig.window.Boxes()) {
      EXPECT_EQ(box.buttons, BoxButtons::Ok);
      EXPECT_EQ(box.icon, BoxIcon::Exclamation);
    }
    EXPECT_EQ(Gaps(rig.port.RequestTimes()), c.gaps);
    ASSERT_FALSE(rig.port.RequestTimes().empty());
    EXPECT_EQ(rig.clock.NowMs() - rig.port.RequestTimes().back(), c.tail);
    EXPECT_TRUE(rig.port.ScriptDone());
    EXPECT_TRUE(rig.port.Problems().empty());
  }
}

// After a status 0x50 the time-outs are retried at once, beyond RetryCount, until
// the panel answers.
TEST(PanelWait, TimeoutsAfterItAreRetriedAtOnceWithoutCounting) {
  struct Case {
    uint8_t machineType;
    uint64_t pauseMs;
  };
  for (const Case& c : {Case{kMachineTypeUnknown, 30000}, Case{0x05, 20000}, Case{0x8F, 20000},
                        Case{0x10, 30000}}) {
    SCOPED_TRACE(int{c.machineType});
    LinkRig<> rig;
    rig.link.m_nMachineType = c.machineType;
    ASSERT_EQ(rig.Open(), 0);
    Script(rig.port, kRequest, kCommand, {Status(0x50), Silent(6), Good()});

    uint32_t status = 0;
    EXPECT_EQ(Transact(rig, status), 0);
    EXPECT_EQ(rig.port.RequestCount(), 8u);
    EXPECT_EQ(Gaps(rig.port.RequestTimes()), Join({2 * c.pauseMs}, Repeat(kSilentTryMs, 6)));
    EXPECT_TRUE(rig.window.Boxes().empty());
    EXPECT_EQ(LastOutcome.result, 0);
  }
}

TEST(PanelWait, UncountedTimeoutsEndWithinTheirTimeBound) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  Script(rig.port, kRequest, kCommand, {Status(0x50), Silent(ScriptStep::kForever)});

  uint32_t status = 0;
  EXPECT_EQ(Transact(rig, status), RESULT_TIMEOUT);
  EXPECT_TRUE(rig.window.Boxes().empty());  // time-outs are the caller's to report
  const uint64_t retryBegan = rig.port.RequestTimes()[1];
  const uint64_t waited = rig.clock.NowMs() - retryBegan;
  EXPECT_GT(waited, kUncountedTimeoutWindowMs);
  EXPECT_LE(waited, kUncountedTimeoutWindowMs + kSilentTryMs);
  EXPECT_EQ(rig.port.RequestCount(), 2 + kUncountedTimeoutWindowMs / kSilentTryMs);
}

TEST(PanelWait, CancelMakesTheTimeoutsCountAgain) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  Script(rig.port, kRequest, kCommand, {Status(0x50), Silent(ScriptStep::kForever)});
  rig.window.OnPump([&](int pump) {
    if (pump == 5) rig.link.m_bAbort = true;
  });

  uint32_t status = 0;
  EXPECT_EQ(Transact(rig, status), RESULT_TIMEOUT);
  // Attempt 4 is the first time-out seen with the abort set, and 4 > RetryCount.
  EXPECT_EQ(rig.port.RequestCount(), 5u);
  EXPECT_TRUE(rig.window.Boxes().empty());
}

TEST(PanelWait, TheStateCarriesOverToTheNextCommand) {
  LinkRig<> rig;
  rig.link.m_env.RetryCount = 1;
  ASSERT_EQ(rig.Open(), 0);
  Script(rig.port, kRequest, kCommand, {Status(0x50, 2)});
  const Bytes endBlock = RequestBytes(0x62);
  Script(rig.port, endBlock, 0x62, {Silent(5), Good()});

  uint32_t status = 0;
  EXPECT_EQ(Transact(rig, status), RESULT_PANEL_STATUS);
  EXPECT_EQ(rig.link.EndTextBlock(), 0);
  EXPECT_EQ(rig.port.RequestCount(), 2u + 6u);
  EXPECT_EQ(rig.window.BoxTexts(), std::vector<std::string>{"Communication Error"});
}

TEST(PanelWait, AnyOtherOutcomeEndsTheState) {
  LinkRig<> rig;
  ASSERT_EQ(rig.Open(), 0);
  Script(rig.port, kRequest, kCommand, {Status(0x50), BadBcc(), Silent(2)});

  uint32_t status = 0;
  EXPECT_EQ(Transact(rig, status), RESULT_TIMEOUT);
  EXPECT_EQ(rig.port.RequestCount(), 4u);  // attempts 0 to 3, all counted
  EXPECT_EQ(LastOutcome.result, RESULT_TIMEOUT);
}

// A clock whose sleeps end early, as real sleeps may.
class EarlyWakeClock final : public Clock {
 public:
  uint32_t TickCount() override { return static_cast<uint32_t>(now_); }
  int64_t ProcessClock() override { return now_; }
  void Sleep(uint32_t ms) override {
    ++sleeps_;
    now_ += ms / 2 + 1;
  }
  int64_t now_ = 0;
  int sleeps_ = 0;
};

TEST(Pause, WaitsOnTheProcessClockWithoutPumping) {
  VirtualClock clock;
  ScriptedPort port(clock);
  RecorderWindow window;
  DownloadLink link(port, clock, window);
  link.Pause(30000);
  EXPECT_EQ(clock.NowMs(), 30000u);
  link.Pause(0);
  link.Pause(-5);
  EXPECT_EQ(clock.NowMs(), 30000u);
  EXPECT_EQ(window.PumpCount(), 0);

  EarlyWakeClock early;
  DownloadLink restless(port, early, window);
  restless.Pause(1000);
  EXPECT_GE(early.now_, 1000);
  EXPECT_GT(early.sleeps_, 1);
}

}  // namespace
}  // namespace dravik
