#include "tools/panel-sim/protocol.h"

#include "tools/panel-sim/number_text.h"

namespace panelsim {

std::string_view SelectorName(int selector) {
  for (const CommandName& entry : kCommandNames) {
    if (entry.selector == selector) return entry.name;
  }
  return "unknown";
}

std::optional<int> SelectorByName(std::string_view text) {
  for (const CommandName& entry : kCommandNames) {
    if (entry.name == text) return entry.selector;
  }
  const std::optional<uint8_t> code = ParseHexByte(text);
  if (!code) return std::nullopt;
  return *code;
}

}  // namespace panelsim
