#include "tools/panel-sim/fault_plan.h"

#include <gtest/gtest.h>

namespace panelsim {
namespace {

TEST(FaultPlan, ParsesRules) {
  struct Case {
    std::string_view text;
    FaultRule rule;
  };
  const Case cases[] = {
      {"cmd=packet,at=2,drop", {0x00, 2, 1, {FaultKind::Drop, 0}}},
      {"cmd=update-mode,times=3,status=0x11", {0x63, 1, 3, {FaultKind::Status, 0x11}}},
      {"status=17,cmd=0x20", {0x20, 1, 1, {FaultKind::Status, 0x17}}},
      {"cmd=record,at=5,times=all,stray=3", {kRecordSelector, 5, 0, {FaultKind::Stray, 3}}},
      {"cmd=identify,type=95", {0x12, 1, 1, {FaultKind::Type, 0x95}}},
      {"cmd=restart,at=2,hang", {0x20, 2, 1, {FaultKind::Hang, 0}}},
      {"cmd=prepare,delay=25000", {0x09, 1, 1, {FaultKind::Delay, 25000}}},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ParseFaultRule(c.text, &error), c.rule) << c.text << ": " << error;
  }
}

TEST(FaultPlan, RefusesBadRulesWithAReason) {
  struct Case {
    std::string_view text;
    std::string_view reason;
  };
  const Case cases[] = {
      {"drop", "no 'cmd='"},
      {"cmd=packet", "no action"},
      {"cmd=frobnicate,drop", "unknown command 'frobnicate'"},
      {"cmd=packet,drop,bad-bcc", "more than one action"},
      {"cmd=packet,status", "'status' needs a value"},
      {"cmd=packet,drop=1", "'drop' takes no value"},
      {"cmd=packet,status=0x100", "bad value for 'status'"},
      {"cmd=packet,at=0,drop", "'at' needs a count from 1"},
      {"cmd=packet,sometimes", "unknown item 'sometimes'"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseFaultRule(c.text, &error)) << c.text;
    EXPECT_EQ(error, c.reason) << c.text;
  }
}

TEST(FaultPlan, CountsOccurrencesPerCommandAndTheFirstRuleWins) {
  FaultPlan plan;
  plan.Add({0x00, 2, 2, {FaultKind::Drop, 0}});
  plan.Add({0x00, 1, 0, {FaultKind::Status, 0x40}});
  plan.Add({0x12, 1, 1, {FaultKind::BadBcc, 0}});
  std::vector<std::string> seen;
  for (int i = 0; i < 5; ++i) {
    const std::optional<FaultAction> action = plan.Next(0x00);
    seen.push_back(action ? DescribeFault(*action) : "-");
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"status=0x40", "drop", "drop", "status=0x40",
                                            "status=0x40"}));
  EXPECT_EQ(plan.Next(0x12), (FaultAction{FaultKind::BadBcc, 0}));
  EXPECT_EQ(plan.Next(0x12), std::nullopt);
  EXPECT_EQ(plan.Next(kRecordSelector), std::nullopt);
}

}  // namespace
}  // namespace panelsim
