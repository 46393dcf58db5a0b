#include "downloader/platform/ini_reader.h"

#include <fstream>
#include <limits>
#include <sstream>

#include "downloader/platform/ascii.h"

// How lines are read:
// - Every line is trimmed of spaces, tabs and CR first; a UTF-8 byte-order mark at
//   the start of the file is skipped, and a file with a UTF-16 one is read as
//   UTF-16 (its ASCII characters; the others become '?').
// - Empty lines and lines starting with ';' or '#' are comments.
// - "[name]" starts a section; the name is trimmed, text after ']' is ignored. A
//   line starting with '[' without ']' is malformed and starts a section that no
//   name matches, so the keys below it are never taken for another section's.
// - "key=value" splits at the first '='; key and value are trimmed. A ';' or '#'
//   that starts the value or follows a blank starts a comment, which is dropped
//   with the blanks before it ("BaudRate=115200   ; fast" is 115200), so a
//   commented file reads as it looks. A value wrapped in a matching pair of double
//   or single quotes loses the quotes, and a comment sign inside them is text.
// - Lines without '=', lines with an empty key, and keys before the first section
//   are malformed and skipped.
// - A section that appears twice is searched in both places, first one first.
// How integers are read (stricter than the Win32 call, which stops at the first
// non-digit and gives 0 for text): the whole value must be an optional '+' or '-'
// followed by decimal digits whose magnitude fits in 32 bits. Anything else (empty,
// "abc", "19200bps", "0x4B00", "1e4", "19 200") gives the default, so a typing
// slip never silently turns into parity none or speed 0.

namespace dravik {

namespace {

struct IniLine {
  enum Kind { Skip, Section, MalformedSection, Entry } kind = Skip;
  std::string_view name;   // section name or key
  std::string_view value;  // entry value, quotes removed
};

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// The value without its trailing comment; a quoted part is never searched.
std::string_view WithoutComment(std::string_view value) {
  size_t from = 0;
  if (!value.empty() && IsQuote(value.front())) {
    const size_t close = value.find(value.front(), 1);
    if (close != std::string_view::npos) from = close + 1;
  }
  for (size_t i = from; i < value.size(); ++i) {
    if ((value[i] == ';' || value[i] == '#') && (i == 0 || IsBlank(value[i - 1]))) {
      return TrimBlanks(value.substr(0, i));
    }
  }
  return value;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

IniLine ClassifyLine(std::string_view raw) {
  const std::string_view line = TrimBlanks(raw);
  if (line.empty() || line.front() == ';' || line.front() == '#') return {};
  if (line.front() == '[') {
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return {IniLine::MalformedSection, {}, {}};
    return {IniLine::Section, TrimBlanks(line.substr(1, close - 1)), {}};
  }
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  const std::string_view key = TrimBlanks(line.substr(0, equals));
  if (key.empty()) return {};
  return {IniLine::Entry, key, Unquote(WithoutComment(TrimBlanks(line.substr(equals + 1))))};
}

// A profile saved as UTF-16 with its byte-order mark ("Unicode" in the editors of
// the original platform, whose profile calls read it) becomes 8-bit text: ASCII
// stays, anything else becomes '?', which no section, key or number contains.
std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto low = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    const auto high = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    text.push_back(high == 0 && low < 0x80 ? static_cast<char>(low) : '?');
  }
  return text;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  std::string text = std::move(content).str();
  if (text.starts_with("\xFF\xFE")) return FromUtf16(text, false);
  if (text.starts_with("\xFE\xFF")) return FromUtf16(text, true);
  return text;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  bool inSection = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const IniLine line = ClassifyLine(raw);
    switch (line.kind) {
      case IniLine::Section:
        inSection = EqualsIgnoreCase(line.name, section);
        break;
      case IniLine::MalformedSection:
        inSection = false;
        break;
      case IniLine::Entry:
        if (inSection && EqualsIgnoreCase(line.name, key)) return std::string(line.value);
        break;
      case IniLine::Skip:
        break;
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> ParseIniInteger(std::string_view value) {
  bool negative = false;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (magnitude > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  const auto bits = static_cast<uint32_t>(magnitude);
  return negative ? static_cast<uint32_t>(0u - bits) : bits;
}

uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t def,
                              const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return def;
  const std::optional<std::string> value = FindIniValue(*text, section, key);
  if (!value) return def;
  return ParseIniInteger(*value).value_or(def);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return std::string(def);
  return FindIniValue(*text, section, key).value_or(std::string(def));
}

uint32_t IniFileProfile::GetInt(std::string_view section, std::string_view key, uint32_t def) {
  return GetPrivateProfileInt(section, key, def, path_);
}

std::string IniFileProfile::GetString(std::string_view section, std::string_view key,
                                      std::string_view def) {
  return GetPrivateProfileString(section, key, def, path_);
}

}  // namespace dravik
