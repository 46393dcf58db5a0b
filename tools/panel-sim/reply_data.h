#pragma once
// The data of the panel's replies that carry any: its identification and its code.

#include <cstdint>
#include <string_view>
#include <vector>

namespace panelsim {

// Type, version, one byte, a 16-bit field only from version 2 on, then 8 more bytes:
// 11 bytes before version 2, 13 from it.
std::vector<uint8_t> IdentificationData(uint8_t type, uint8_t version);

// Reply bytes 8 to 32: 16 bytes of no meaning, the offset k, then the code's
// characters plus k, last character first; a code shorter than 8 characters is
// padded with zero characters.
std::vector<uint8_t> PanelCodeData(std::string_view code, uint8_t offset);

}  // namespace panelsim
