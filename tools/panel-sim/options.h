#pragma once
// The command line of the panel-sim program.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/panel-sim/panel_config.h"
#include "tools/panel-sim/pty_transport.h"

namespace panelsim {

struct Options {
  PanelConfig panel;
  TransportOptions transport;
  std::string recordFolder;  // empty: nothing is written
  std::string pathFile;      // empty: the slave's path goes to stdout only
  bool verbose = false;
  bool help = false;
};

inline constexpr uint32_t kDefaultIdleLimitSeconds = 600;

// args without the program name; nullopt with a message naming the bad option.
std::optional<Options> ParseOptions(std::span<const std::string_view> args, std::string* error);

std::string_view UsageText();

}  // namespace panelsim
