#pragma once
// Byte strings for tests, written the way frames are written in a protocol trace:
// Hex("7E 01 00 03 12 00 01 6F").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dravik {

using Bytes = std::vector<uint8_t>;

// Pairs of hexadecimal digits; blanks between them are ignored. A stray digit or
// any other character is a mistake in the test, so it aborts loudly.
Bytes Hex(std::string_view text);

// "7E 01 00 03" for failure messages.
std::string ToHex(const uint8_t* data, size_t count);
inline std::string ToHex(const Bytes& bytes) {
  return ToHex(bytes.data(), bytes.size());
}

}  // namespace dravik
