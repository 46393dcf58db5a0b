#include "downloader/platform/reg_text.h"

#include <cstdio>

#include "downloader/platform/ascii.h"

namespace dravik {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

int HexDigitValue(char c) {
  const size_t at = kHexDigits.find(AsciiLower(c));
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

bool IsPrintableText(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::string FormatHexBytes(const std::vector<uint8_t>& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += ',';
    out += kHexDigits[data[i] >> 4];
    out += kHexDigits[data[i] & 0xF];
  }
  return out;
}

std::string FormatData(const RegValue& value) {
  if (value.type == REG_DWORD && value.data.size() == 4) {
    const uint32_t number =
        static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
        static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", number);
    return text;
  }
  if (value.type == REG_SZ && !value.data.empty() && value.data.back() == 0) {
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size() - 1);
    if (IsPrintableText(text)) return QuoteRegString(text);
  }
  if (value.type == REG_BINARY) return "hex:" + FormatHexBytes(value.data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
  return prefix + FormatHexBytes(value.data);
}

// Reads a quoted string at the front of rest and removes it from rest. Only the two
// escapes of the format are known; anything else after a backslash is refused.
std::optional<std::string> TakeQuoted(std::string_view& rest) {
  if (rest.empty() || rest.front() != '"') return std::nullopt;
  std::string out;
  for (size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      rest.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"')) return std::nullopt;
      out += rest[++i];
      continue;
    }
    out += c;
  }
  return std::nullopt;  // no closing quote
}

std::optional<uint32_t> ParseHexNumber(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint32_t number = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    number = number << 4 | static_cast<uint32_t>(digit);
  }
  return number;
}

// "01,02,ff" with blanks and continuation backslashes allowed between bytes.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  text = TrimBlanks(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    std::string_view item = TrimBlanks(text.substr(0, comma));
    if (!item.empty() && item.back() == '\\') item = TrimBlanks(item.substr(0, item.size() - 1));
    const std::optional<uint32_t> byte = ParseHexNumber(item, 2);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*byte));
    if (comma == std::string_view::npos) break;
    text = TrimBlanks(text.substr(comma + 1));
    if (!text.empty() && text.front() == '\\') text = TrimBlanks(text.substr(1));
  }
  return bytes;
}

std::optional<RegValue> ParseData(std::string name, std::string_view data) {
  if (!data.empty() && data.front() == '"') {
    std::optional<std::string> text = TakeQuoted(data);
    if (!text || !TrimBlanks(data).empty()) return std::nullopt;
    return RegValue::String(std::move(name), *text);
  }
  constexpr std::string_view kDword = "dword:";
  if (EqualsIgnoreCase(data.substr(0, kDword.size()), kDword)) {
    const std::optional<uint32_t> number = ParseHexNumber(data.substr(kDword.size()), 8);
    if (!number) return std::nullopt;
    return RegValue::Dword(std::move(name), *number);
  }
  constexpr std::string_view kHex = "hex";
  if (!EqualsIgnoreCase(data.substr(0, kHex.size()), kHex)) return std::nullopt;
  data.remove_prefix(kHex.size());
  uint32_t type = REG_BINARY;
  if (!data.empty() && data.front() == '(') {
    const size_t close = data.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const std::optional<uint32_t> number = ParseHexNumber(data.substr(1, close - 1), 8);
    if (!number) return std::nullopt;
    type = *number;
    data.remove_prefix(close + 1);
  }
  if (data.empty() || data.front() != ':') return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes = ParseHexBytes(data.substr(1));
  if (!bytes) return std::nullopt;
  return RegValue{std::move(name), type, std::move(*bytes)};
}

}  // namespace

std::string QuoteRegString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string FormatRegValue(const RegValue& value) {
  const std::string name = value.name.empty() ? "@" : QuoteRegString(value.name);
  return name + "=" + FormatData(value);
}

std::optional<RegValue> ParseRegValue(std::string_view line) {
  line = TrimBlanks(line);
  std::string name;
  if (!line.empty() && line.front() == '@') {
    line.remove_prefix(1);
  } else {
    std::optional<std::string> quoted = TakeQuoted(line);
    if (!quoted) return std::nullopt;
    name = std::move(*quoted);
  }
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '=') return std::nullopt;
  return ParseData(std::move(name), TrimBlanks(line.substr(1)));
}

}  // namespace dravik
