#pragma once
// The panel's code: eight bytes, padded with zeros when shorter. The panel sends it
// disguised (each byte raised by an offset, last character first); the user types it
// into the code prompt, where it is checked before it is compared.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik {

inline constexpr int kPanelCodeLength = 8;
using PanelCode = std::array<uint8_t, kPanelCodeLength>;

// The code from a reply to the code request that holds at least kMinPanelCodeReply
// bytes: with k = byte 24, character j is byte 32 - j minus k, modulo 256.
PanelCode DecodePanelCode(const uint8_t* reply);

// The entry as the prompt compares it: ASCII letters in upper case.
std::string UpperCaseEntry(std::string_view text);

// What the code prompt's OK does with an entry: 0 when it matches the code, else the
// string id of the message to show (25020 for a character other than 0-9 and A-Z,
// 25021 for more than 8 characters, 25019 for a wrong code), tested in that order.
uint16_t CheckCodeEntry(std::string_view text, const PanelCode& expected);

}  // namespace dravik
