#include "downloader/ui/tty/key_decoder.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

struct DecodeCase {
  std::string bytes;
  std::vector<KeyPress> keys;
  std::string left;  // without final
};

TEST(DecodeKeys, ReadsTheSequencesOfTheCommonTerminals) {
  const KeyPress f1{Key::Help}, f2{Key::About}, esc{Key::Escape}, enter{Key::Enter};
  const DecodeCase cases[] = {
      {"\x1bOP\x1b[11~\x1b[[A", {f1, f1, f1}, ""},
      {"\x1bOQ\x1b[12~\x1b[[B", {f2, f2, f2}, ""},
      {"\x1b[A\x1bOB\x1b[H\x1b[4~\x1b[C\x1b[D",
       {{Key::Up}, {Key::Down}, {Key::Home}, {Key::End}, {Key::Right}, {Key::Left}},
       ""},
      {"a1?\r\n\t\x7f\x08",
       {{Key::Character, 'a'},
        {Key::Character, '1'},
        {Key::Character, '?'},
        enter,
        enter,
        {Key::Tab},
        {Key::Backspace},
        {Key::Backspace}},
       ""},
      // Unknown sequences and control bytes are dropped whole.
      {"\x1b[15~\x01x\x1b[2;5R", {{Key::Character, 'x'}}, ""},
      // Escape before an ordinary byte is the Escape key.
      {"\x1bx", {esc, {Key::Character, 'x'}}, ""},
      // A sequence still arriving waits for its rest.
      {"y\x1b[1", {{Key::Character, 'y'}}, "\x1b[1"},
      {"\x1b", {}, "\x1b"},
      {"\x1bO", {}, "\x1bO"},
  };
  for (const auto& c : cases) {
    std::string bytes = c.bytes;
    EXPECT_EQ(DecodeKeys(bytes, false), c.keys) << testing::PrintToString(c.bytes);
    EXPECT_EQ(bytes, c.left) << testing::PrintToString(c.bytes);
  }
}

TEST(DecodeKeys, AtTheEndALoneEscapeIsTheEscapeKey) {
  std::string bytes = "\x1b";
  EXPECT_EQ(DecodeKeys(bytes, true), std::vector<KeyPress>{{Key::Escape}});
  EXPECT_EQ(bytes, "");
  bytes = "\x1b[1";
  EXPECT_EQ(DecodeKeys(bytes, true),
            (std::vector<KeyPress>{{Key::Escape}, {Key::Character, '['}, {Key::Character, '1'}}));
}

}  // namespace
}  // namespace dravik
