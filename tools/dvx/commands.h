#pragma once
// The dvx commands. Each takes its arguments (after the command word), writes
// results to out and complaints to err, and returns the exit status.

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "downloader/transfer/package.h"

namespace dvx {

enum ExitStatus : int {
  kExitOk = 0,
  kExitInvalid = 1,  // the input is not a valid package or package source
  kExitUsage = 2,    // the command line is wrong
  kExitFile = 3,     // a file could not be read or written
};

int RunDvx(std::span<const std::string> args, std::ostream& out, std::ostream& err);

int RunBuild(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunList(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunCheck(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunSample(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// Opens path with the file checks of the downloader (header, trailer, chain); on
// failure reports why on err and returns the exit status, else kExitOk.
int OpenForInspection(const std::string& path, dravik::TransferPackage& package, std::ostream& err);

// Usage complaint: "dvx <command>: <problem>" and a pointer to the help.
int UsageError(std::ostream& err, std::string_view command, std::string_view problem);

}  // namespace dvx
