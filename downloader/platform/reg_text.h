#pragma once
// Translators between registry values and the text of a registry-export file:
//   "name"="text"            REG_SZ (backslash and double quote escaped)
//   "name"=dword:0000000a    REG_DWORD
//   "name"=hex:01,02         REG_BINARY
//   "name"=hex(7):41,00,00   any other type, by number
//   @=...                    the key's default value (the empty name)
// hex data are the value's bytes as the program sees them, unconverted.

#include <optional>
#include <string>
#include <string_view>

#include "downloader/platform/registry.h"

namespace dravik {

// The quoted, escaped form of a name or text.
std::string QuoteRegString(std::string_view text);

// One value as one line of text, without a line ending. A REG_SZ whose bytes are
// not plain printable text with one terminating NUL is written as hex(1), so that
// nothing it holds is lost or breaks the line structure.
std::string FormatRegValue(const RegValue& value);

// One value line (continuation lines already joined, line endings removed); nullopt
// when it is not a value line this format knows.
std::optional<RegValue> ParseRegValue(std::string_view line);

}  // namespace dravik
