#include <string_view>

#include "tools/dvx/commands.h"

namespace dvx {
namespace {

constexpr std::string_view kUsage =
    "usage:\n"
    "  dvx build -m TYPE [-o OUTPUT] TEXT1 TEXT2 [BINARY...]\n"
    "      make a package (default OUTPUT data.dvx) for machine type TYPE (0-255,\n"
    "      decimal or 0x hex) from two S-record text files and any binary files\n"
    "  dvx list PACKAGE\n"
    "      show the header and the blocks\n"
    "  dvx check PACKAGE\n"
    "      check it as the downloader does, and every text record\n"
    "  dvx sample DIR [-m TYPE] [--text1 N] [--text2 N] [--binary SIZES] [--seed N]\n"
    "             [--sources]\n"
    "      write a valid sample DIR/data.dvx (SIZES: comma-separated, K and M suffixes;\n"
    "      default 300,2039,7000); --sources also writes its input files\n"
    "exit status: 0 done, 1 invalid input, 2 wrong command line, 3 file not readable or\n"
    "writable\n";

struct Command {
  std::string_view name;
  int (*run)(std::span<const std::string>, std::ostream&, std::ostream&);
};

constexpr Command kCommands[] = {
    {"build", RunBuild},
    {"list", RunList},
    {"check", RunCheck},
    {"sample", RunSample},
};

// --help or -h anywhere before "--", so "dvx build --help" helps too.
bool AsksForHelp(std::span<const std::string> args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

}  // namespace

int UsageError(std::ostream& err, std::string_view command, std::string_view problem) {
  err << "dvx " << command << ": " << problem << " (dvx --help for usage)\n";
  return kExitUsage;
}

int RunDvx(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  if (args[0] == "help" || AsksForHelp(args)) {
    out << kUsage;
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run(args.subspan(1), out, err);
  }
  err << "dvx: unknown command " << args[0] << "\n" << kUsage;
  return kExitUsage;
}

}  // namespace dvx
