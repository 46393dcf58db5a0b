#include "tools/panel-sim/fault_plan.h"

#include <cstdio>

#include "tools/panel-sim/number_text.h"

namespace panelsim {

namespace {

enum class Value { None, Hex, Decimal };

struct ActionName {
  std::string_view name;
  FaultKind kind;
  Value value;
};

constexpr ActionName kActions[] = {
    {"status", FaultKind::Status, Value::Hex},
    {"drop", FaultKind::Drop, Value::None},
    {"bad-bcc", FaultKind::BadBcc, Value::None},
    {"wrong-echo", FaultKind::WrongEcho, Value::None},
    {"wrong-number", FaultKind::WrongNumber, Value::None},
    {"stray", FaultKind::Stray, Value::Decimal},
    {"trail", FaultKind::Trail, Value::Decimal},
    {"type", FaultKind::Type, Value::Hex},
    {"delay", FaultKind::Delay, Value::Decimal},
    {"hang", FaultKind::Hang, Value::None},
};

const ActionName* FindAction(std::string_view name) {
  for (const ActionName& action : kActions) {
    if (action.name == name) return &action;
  }
  return nullptr;
}

const ActionName& ActionOf(FaultKind kind) {
  for (const ActionName& action : kActions) {
    if (action.kind == kind) return action;
  }
  return kActions[0];
}

std::optional<uint32_t> ParseValue(Value kind, std::string_view text) {
  if (kind == Value::Decimal) return ParseDecimal(text);
  const std::optional<uint8_t> byte = ParseHexByte(text);
  if (!byte) return std::nullopt;
  return *byte;
}

bool Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

// One "key" or "key=value" item of a rule.
bool ApplyItem(std::string_view key, std::optional<std::string_view> value, FaultRule& rule,
               bool& haveCommand, bool& haveAction, std::string* error) {
  const std::string item(key);
  if (key == "cmd" || key == "at" || key == "times") {
    if (!value) return Fail(error, "'" + item + "' needs a value");
    if (key == "cmd") {
      const std::optional<int> selector = SelectorByName(*value);
      if (!selector) return Fail(error, "unknown command '" + std::string(*value) + "'");
      rule.selector = *selector;
      haveCommand = true;
      return true;
    }
    if (key == "times" && *value == "all") {
      rule.times = 0;
      return true;
    }
    const std::optional<uint32_t> number = ParseDecimal(*value);
    if (!number || *number == 0) return Fail(error, "'" + item + "' needs a count from 1");
    (key == "at" ? rule.first : rule.times) = *number;
    return true;
  }
  const ActionName* action = FindAction(key);
  if (!action) return Fail(error, "unknown item '" + item + "'");
  if (haveAction) return Fail(error, "more than one action");
  if ((action->value == Value::None) != !value) {
    return Fail(error, action->value == Value::None ? "'" + item + "' takes no value"
                                                    : "'" + item + "' needs a value");
  }
  rule.action.kind = action->kind;
  if (value) {
    const std::optional<uint32_t> parsed = ParseValue(action->value, *value);
    if (!parsed) return Fail(error, "bad value for '" + item + "'");
    rule.action.value = *parsed;
  }
  haveAction = true;
  return true;
}

}  // namespace

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error) {
  FaultRule rule;
  bool haveCommand = false;
  bool haveAction = false;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    const size_t equals = item.find('=');
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) value = item.substr(equals + 1);
    if (!ApplyItem(item.substr(0, equals), value, rule, haveCommand, haveAction, error)) {
      return std::nullopt;
    }
  }
  if (!haveCommand || !haveAction) {
    Fail(error, haveCommand ? "no action" : "no 'cmd='");
    return std::nullopt;
  }
  return rule;
}

std::string DescribeFault(const FaultAction& action) {
  const ActionName& name = ActionOf(action.kind);
  std::string text(name.name);
  if (name.value == Value::Hex) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "=0x%02X", static_cast<unsigned>(action.value));
    text += hex;
  } else if (name.value == Value::Decimal) {
    text += "=" + std::to_string(action.value);
  }
  return text;
}

std::optional<FaultAction> FaultPlan::Next(int selector) {
  const uint32_t occurrence = ++counts_[static_cast<size_t>(selector)];
  for (const FaultRule& rule : rules_) {
    if (rule.selector != selector || occurrence < rule.first) continue;
    if (rule.times == 0 || occurrence - rule.first < rule.times) return rule.action;
  }
  return std::nullopt;
}

}  // namespace panelsim
