#include "tools/panel-sim/number_text.h"

#include <charconv>

namespace panelsim {

namespace {

std::optional<uint32_t> ParseWhole(std::string_view text, int base) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<uint8_t> ParseHexByte(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  const std::optional<uint32_t> value = ParseWhole(text, 16);
  if (!value || *value > 0xFF) return std::nullopt;
  return static_cast<uint8_t>(*value);
}

std::optional<uint32_t> ParseDecimal(std::string_view text) {
  return ParseWhole(text, 10);
}

}  // namespace panelsim
