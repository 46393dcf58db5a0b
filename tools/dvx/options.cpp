#include "tools/dvx/options.h"

#include <charconv>
#include <limits>

namespace dvx {
namespace {

const OptionSpec* FindLong(std::span<const OptionSpec> specs, std::string_view name) {
  for (const OptionSpec& spec : specs) {
    if (spec.longName == name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindShort(std::span<const OptionSpec> specs, char name) {
  for (const OptionSpec& spec : specs) {
    if (spec.shortName != 0 && spec.shortName == name) return &spec;
  }
  return nullptr;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text, int base) {
  T value{};
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs,
               ParsedArgs& parsed, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* spec = nullptr;
    std::optional<std::string> inlineValue;
    if (arg.starts_with("--")) {
      std::string_view name = arg.substr(2);
      if (size_t equals = name.find('='); equals != std::string_view::npos) {
        inlineValue = std::string(name.substr(equals + 1));
        name = name.substr(0, equals);
      }
      spec = FindLong(specs, name);
    } else if (arg.size() == 2) {
      spec = FindShort(specs, arg[1]);
    }
    if (spec == nullptr) {
      error = "unknown option " + std::string(arg);
      return false;
    }
    std::string value;
    if (spec->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = "option " + std::string(arg) + " needs a value";
        return false;
      }
    } else if (inlineValue) {
      error = "option --" + std::string(spec->longName) + " takes no value";
      return false;
    }
    parsed.values[std::string(spec->longName)] = value;
  }
  return true;
}

std::optional<uint8_t> ParseMachineType(std::string_view text) {
  std::optional<unsigned> value;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    value = ParseNumber<unsigned>(text.substr(2), 16);
  } else {
    value = ParseNumber<unsigned>(text, 10);
  }
  if (!value || *value > 0xFF) return std::nullopt;
  return static_cast<uint8_t>(*value);
}

std::optional<uint64_t> ParseSize(std::string_view text) {
  uint64_t unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
  if (unit != 1) text.remove_suffix(1);
  std::optional<uint64_t> value = ParseNumber<uint64_t>(text, 10);
  if (!value || *value > std::numeric_limits<uint64_t>::max() / unit) return std::nullopt;
  return *value * unit;
}

std::optional<std::vector<uint64_t>> ParseSizeList(std::string_view text) {
  std::vector<uint64_t> sizes;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::optional<uint64_t> size = ParseSize(text.substr(0, comma));
    if (!size) return std::nullopt;
    sizes.push_back(*size);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return std::nullopt;  // a trailing comma
  }
  return sizes;
}

}  // namespace dvx
