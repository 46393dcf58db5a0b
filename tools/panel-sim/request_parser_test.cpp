#include "tools/panel-sim/request_parser.h"

#include <gtest/gtest.h>

#include "tools/panel-sim/frame.h"

namespace panelsim {
namespace {

using Bytes = std::vector<uint8_t>;

// Each message as text: "F:" and the frame's command in hex, or "R:" and the record.
std::vector<std::string> Describe(const std::vector<HostMessage>& messages) {
  std::vector<std::string> out;
  for (const HostMessage& m : messages) {
    if (m.kind == HostMessage::Kind::Frame) {
      char text[8];
      std::snprintf(text, sizeof text, "F:%02X", m.frame[4]);
      out.emplace_back(text);
    } else {
      out.push_back("R:" + m.record + (m.overlong ? "+" : ""));
    }
  }
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Chars(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(RequestParser, CutsTheStreamIntoFramesAndRecords) {
  const Bytes identify = BuildRequest(0x12, 1);
  const Bytes packet = BuildRequest(0x00, 3, Bytes{0x00, 0x01, 0x7E, 0x0D, 0x7E});
  struct Case {
    const char* what;
    Bytes stream;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"frame, record, frame",
       Join({identify, Chars("S00600004844521B\r"), identify}),
       {"F:12", "R:S00600004844521B", "F:12"}},
      {"start byte and CR inside a frame are data", packet, {"F:00"}},
      {"noise before a frame", Join({Bytes{0x00, 0xFF, 0x0D, 0x0A}, identify}), {"F:12"}},
      {"start byte not followed by 01", Join({Bytes{0x7E, 0x7E}, identify}), {"F:12"}},
      {"control character ends a would-be record", Join({Chars("S1\nS2"), Bytes{0x0D}}), {"R:S2"}},
      {"start byte ends a would-be record", Join({Chars("S00"), identify}), {"F:12"}},
      {"length below 3 drops the rest until the line rests",
       Join({Bytes{0x7E, 0x01, 0x00, 0x02}, identify}),
       {}},
      {"length above 2043", Join({Bytes{0x7E, 0x01, 0x07, 0xFC}, identify}), {}},
      {"overlong record",
       Join({Chars("S" + std::string(1100, '0')), Bytes{0x0D}}),
       {"R:S" + std::string(RequestParser::kMaxRecordLength - 1, '0') + "+"}},
  };
  for (const Case& c : cases) {
    RequestParser parser(200);
    std::vector<HostMessage> messages;
    // Byte by byte: a message never depends on how the stream was split.
    for (uint8_t byte : c.stream) parser.Feed(Bytes{byte}, 0, messages);
    EXPECT_EQ(Describe(messages), c.expected) << c.what;
  }
}

TEST(RequestParser, HalfAMessageIsDroppedAfterTheGapAndDiscardEndsWithIt) {
  const Bytes identify = BuildRequest(0x12, 1);
  RequestParser parser(200);
  std::vector<HostMessage> messages;
  parser.Feed(Bytes(identify.begin(), identify.begin() + 5), 0, messages);
  parser.Feed(identify, 201, messages);
  EXPECT_EQ(Describe(messages), std::vector<std::string>{"F:12"});
  messages.clear();
  parser.Feed(Bytes{0x7E, 0x01, 0x00, 0x00}, 1000, messages);  // bad length: discard
  parser.Feed(identify, 1200, messages);                       // the line has not rested
  EXPECT_TRUE(messages.empty());
  parser.Feed(identify, 1401, messages);
  EXPECT_EQ(Describe(messages), std::vector<std::string>{"F:12"});
  EXPECT_GT(parser.NoiseBytes(), 0u);
}

}  // namespace
}  // namespace panelsim
