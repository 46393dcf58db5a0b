#pragma once
// Command-line parsing for dvx: options before, after or between the operands,
// "--name value", "--name=value", "-n value", and "--" to end the options.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dvx {

struct OptionSpec {
  std::string_view longName;  // without the leading "--"
  char shortName;             // 0 for none
  bool takesValue;
};

struct ParsedArgs {
  std::vector<std::string> operands;
  std::map<std::string, std::string, std::less<>> values;  // by long name; flags map to ""

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> Value(std::string_view name) const;
};

// False with a message in error for an unknown option or a missing value.
bool ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs,
               ParsedArgs& parsed, std::string& error);

// A machine type: decimal, or hexadecimal after "0x"; 0 to 255.
std::optional<uint8_t> ParseMachineType(std::string_view text);
// A count or size: decimal digits with an optional K (1024) or M (1024 * 1024).
std::optional<uint64_t> ParseSize(std::string_view text);
// Sizes separated by commas; the empty text is the empty list.
std::optional<std::vector<uint64_t>> ParseSizeList(std::string_view text);

}  // namespace dvx
