#include "downloader/platform/testing/hex_bytes.h"

#include <cstdio>
#include <cstdlib>

namespace dravik {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void BadHex(std::string_view text) {
  std::fprintf(stderr, "Hex(): malformed byte string \"%.*s\"\n", static_cast<int>(text.size()),
               text.data());
  std::abort();
}

}  // namespace

Bytes Hex(std::string_view text) {
  Bytes bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t') {
      if (high >= 0) BadHex(text);
      continue;
    }
    const int value = DigitValue(c);
    if (value < 0) BadHex(text);
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + value));
      high = -1;
    }
  }
  if (high >= 0) BadHex(text);
  return bytes;
}

std::string ToHex(const uint8_t* data, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

}  // namespace dravik
