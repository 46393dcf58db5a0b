#include "tools/panel-sim/options.h"

#include <algorithm>

#include "tools/panel-sim/number_text.h"

namespace panelsim {

namespace {

constexpr size_t kMaxCodeLength = 8;

using Apply = bool (*)(Options&, std::string_view value);

struct OptionEntry {
  std::string_view name;
  bool takesValue;
  Apply apply;
};

bool ValidCode(std::string_view code) {
  if (code.empty() || code.size() > kMaxCodeLength) return false;
  for (char c : code) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

template <typename T>
bool SetDecimal(T& field, std::string_view value, uint32_t low, uint32_t high) {
  const std::optional<uint32_t> number = ParseDecimal(value);
  if (!number || *number < low || *number > high) return false;
  field = static_cast<T>(*number);
  return true;
}

template <typename T>
struct Named {
  std::string_view name;
  T value;
};

constexpr Named<Parity> kParities[] = {
    {"none", Parity::None}, {"odd", Parity::Odd}, {"even", Parity::Even}};
constexpr Named<StopBits> kStopBits[] = {
    {"1", StopBits::One}, {"1.5", StopBits::OneAndHalf}, {"2", StopBits::Two}};

template <typename T, size_t N>
bool SetNamed(T& field, std::string_view value, const Named<T> (&names)[N]) {
  for (const Named<T>& entry : names) {
    if (entry.name == value) {
      field = entry.value;
      return true;
    }
  }
  return false;
}

constexpr uint32_t kMaxMs = 24u * 3600 * 1000;

constexpr OptionEntry kOptions[] = {
    {"type", true,
     [](Options& o, std::string_view v) {
       const std::optional<uint8_t> type = ParseHexByte(v);
       if (type) o.panel.machineType = *type;
       return type.has_value();
     }},
    {"version", true,
     [](Options& o, std::string_view v) { return SetDecimal(o.panel.version, v, 0, 255); }},
    {"baud", true,
     [](Options& o, std::string_view v) {
       return SetDecimal(o.transport.line.baudRate, v, 50, 4000000);
     }},
    {"parity", true,
     [](Options& o, std::string_view v) {
       return SetNamed(o.transport.line.parity, v, kParities);
     }},
    {"data-bits", true,
     [](Options& o, std::string_view v) { return SetDecimal(o.transport.line.dataBits, v, 5, 8); }},
    {"stop-bits", true,
     [](Options& o, std::string_view v) {
       return SetNamed(o.transport.line.stopBits, v, kStopBits);
     }},
    {"panel-code", true,
     [](Options& o, std::string_view v) {
       o.panel.panelCode = v;
       return ValidCode(v);
     }},
    {"restart-ms", true,
     [](Options& o, std::string_view v) { return SetDecimal(o.panel.restartMs, v, 0, kMaxMs); }},
    {"reply-delay-ms", true,
     [](Options& o, std::string_view v) { return SetDecimal(o.panel.replyDelayMs, v, 0, kMaxMs); }},
    {"record", true,
     [](Options& o, std::string_view v) {
       o.recordFolder = v;
       return !v.empty();
     }},
    {"fault", true,
     [](Options& o, std::string_view v) {
       const std::optional<FaultRule> rule = ParseFaultRule(v, nullptr);
       if (rule) o.panel.faults.Add(*rule);
       return rule.has_value();
     }},
    {"pace", false, [](Options& o, std::string_view) { return o.transport.pace = true; }},
    {"path-file", true,
     [](Options& o, std::string_view v) {
       o.pathFile = v;
       return !v.empty();
     }},
    {"exit-after-download", false,
     [](Options& o, std::string_view) { return o.transport.exitAfterDownload = true; }},
    {"idle-exit", true,
     [](Options& o, std::string_view v) {
       uint32_t seconds = 0;
       if (!SetDecimal(seconds, v, 0, kMaxMs / 1000)) return false;
       o.transport.idleLimitMs = seconds * 1000;
       return true;
     }},
    {"verbose", false, [](Options& o, std::string_view) { return o.verbose = true; }},
    {"help", false, [](Options& o, std::string_view) { return o.help = true; }},
};

const OptionEntry* FindOption(std::string_view name) {
  for (const OptionEntry& entry : kOptions) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// The reason a fault rule was refused, for the message.
std::string FaultError(std::string_view rule) {
  std::string why;
  ParseFaultRule(rule, &why);
  return why;
}

}  // namespace

std::optional<Options> ParseOptions(std::span<const std::string_view> args, std::string* error) {
  Options options;
  options.transport.idleLimitMs = kDefaultIdleLimitSeconds * 1000;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    const auto fail = [&](const std::string& message) {
      if (error) *error = message;
      return std::nullopt;
    };
    if (!arg.starts_with("--")) return fail("unexpected argument '" + std::string(arg) + "'");
    arg.remove_prefix(2);
    std::optional<std::string_view> value;
    if (const size_t equals = arg.find('='); equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const OptionEntry* entry = FindOption(arg);
    const std::string name = "--" + std::string(arg);
    if (!entry) return fail("unknown option " + name);
    if (entry->takesValue && !value) {
      if (i + 1 == args.size()) return fail(name + " needs a value");
      value = args[++i];
    }
    if (!entry->takesValue && value) return fail(name + " takes no value");
    if (!entry->apply(options, value.value_or(""))) {
      std::string message = "bad value '" + std::string(*value) + "' for " + name;
      if (arg == "fault") message += ": " + FaultError(*value);
      return fail(message);
    }
  }
  // At slow speeds a paced character can take longer than the usual gap after which a
  // half-received message is dropped; keep the gap at ten characters at least.
  const LineSettings& line = options.transport.line;
  const uint32_t characterMs = HalfBitsPerCharacter(line) * 1000 / (2 * line.baudRate) + 1;
  options.panel.frameGapMs = std::max(options.panel.frameGapMs, 10 * characterMs);
  return options;
}

std::string_view UsageText() {
  return R"(usage: panel-sim [options]
Plays a panel on a new pseudo-terminal and prints the path of its slave on stdout.

  --type HH              machine type reported (hex; default 05)
  --version N            version reported (default 12; below 2: the short identification)
  --baud N               speed the panel listens at (default 9600)
  --parity none|odd|even parity it listens at (default none)
  --data-bits N          data bits, 5 to 8, for pacing (default 8)
  --stop-bits 1|1.5|2    stop bits (default 1)
  --panel-code CODE      lock update mode behind this code (1 to 8 of 0-9, A-Z)
  --restart-ms N         length of a restart (default 2000)
  --reply-delay-ms N     turnaround before each reply (default 0)
  --record DIR           write the received blocks into DIR
  --fault RULE           inject a fault, e.g. cmd=packet,at=2,times=3,status=0x11
                         (repeatable; see docs/panel-sim.md)
  --pace                 pace input and output at the line rate
  --path-file FILE       also write the slave's path into FILE
  --exit-after-download  stop after the final restart request, once the host has closed
  --idle-exit SECONDS    stop after this long without input (default 600; 0: never)
  --verbose              log every event on stderr
  --help                 this text
)";
}

}  // namespace panelsim
