#include "downloader/ui/tty/key_decoder.h"

#include <string_view>

namespace dravik {

namespace {

struct Sequence {
  std::string_view bytes;  // after the Escape
  Key key;
};

constexpr Sequence kSequences[] = {
    {"OP", Key::Help},    {"[11~", Key::Help}, {"[[A", Key::Help}, {"OQ", Key::About},
    {"[12~", Key::About}, {"[[B", Key::About}, {"[A", Key::Up},    {"OA", Key::Up},
    {"[B", Key::Down},    {"OB", Key::Down},   {"[C", Key::Right}, {"OC", Key::Right},
    {"[D", Key::Left},    {"OD", Key::Left},   {"[H", Key::Home},  {"OH", Key::Home},
    {"[1~", Key::Home},   {"[7~", Key::Home},  {"[F", Key::End},   {"OF", Key::End},
    {"[4~", Key::End},    {"[8~", Key::End},   {"[Z", Key::Tab},
};

enum class Match { Key, Unknown, Incomplete };

// Reads the sequence after an Escape at the front of rest; length counts the bytes
// after the Escape that belong to it.
Match MatchSequence(std::string_view rest, Key& key, size_t& length) {
  for (const auto& sequence : kSequences) {
    if (rest.substr(0, sequence.bytes.size()) == sequence.bytes) {
      key = sequence.key;
      length = sequence.bytes.size();
      return Match::Key;
    }
  }
  if (rest.empty()) return Match::Incomplete;
  if (rest[0] == 'O') {
    if (rest.size() < 2) return Match::Incomplete;
    length = 2;
    return Match::Unknown;
  }
  if (rest[0] != '[') {
    length = 0;  // Escape followed by an ordinary byte: Escape, then that byte
    return Match::Unknown;
  }
  // A control sequence: parameters, then one final byte from '@' to '~'.
  for (size_t i = 1; i < rest.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rest[i]);
    if (c == '[' && i == 1) continue;  // the Linux console's F-keys: ESC [ [ letter
    if (c >= 0x40 && c <= 0x7E) {
      // A known prefix might still be arriving, as in "[1" before "1~".
      length = i + 1;
      return Match::Unknown;
    }
  }
  return Match::Incomplete;
}

}  // namespace

std::vector<KeyPress> DecodeKeys(std::string& bytes, bool final) {
  std::vector<KeyPress> keys;
  size_t at = 0;
  while (at < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[at]);
    if (c == 0x1B) {
      Key key = Key::Escape;
      size_t length = 0;
      const Match match = MatchSequence(std::string_view(bytes).substr(at + 1), key, length);
      if (match == Match::Incomplete && !final) break;
      if (match == Match::Key) {
        keys.push_back({key, 0});
      } else if (match == Match::Incomplete || length == 0) {
        keys.push_back({Key::Escape, 0});
        length = 0;
      }
      at += 1 + length;
      continue;
    }
    ++at;
    if (c == '\r' || c == '\n') {
      keys.push_back({Key::Enter, 0});
    } else if (c == '\t') {
      keys.push_back({Key::Tab, 0});
    } else if (c == 0x7F || c == 0x08) {
      keys.push_back({Key::Backspace, 0});
    } else if (c >= 0x20 && c < 0x7F) {
      keys.push_back({Key::Character, static_cast<char>(c)});
    }
  }
  bytes.erase(0, at);
  return keys;
}

}  // namespace dravik
