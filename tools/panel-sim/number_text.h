#pragma once
// Numbers in option and fault-rule text: machine types, statuses and command codes
// are hexadecimal (with or without 0x), counts and times decimal.

#include <cstdint>
#include <optional>
#include <string_view>

namespace panelsim {

std::optional<uint8_t> ParseHexByte(std::string_view text);
std::optional<uint32_t> ParseDecimal(std::string_view text);

}  // namespace panelsim
