#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "downloader/transfer/package_limits.h"
#include "tools/dvx/commands.h"
#include "tools/dvx/options.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/sample.h"

namespace dvx {
namespace {

constexpr OptionSpec kOptions[] = {
    {"model", 'm', true}, {"text1", 0, true}, {"text2", 0, true},
    {"binary", 0, true},  {"seed", 0, true},  {"sources", 0, false},
};
// Enough for any test or benchmark, few enough to keep the text in memory cheap.
constexpr uint64_t kMostRecords = 1'000'000;

bool Complain(std::ostream& err, const std::string& problem) {
  UsageError(err, "sample", problem);
  return false;
}

// The sample's options from the command line; false after a usage complaint.
bool SampleOptionsFrom(const ParsedArgs& parsed, SampleOptions& options, std::ostream& err) {
  if (auto model = parsed.Value("model")) {
    std::optional<uint8_t> type = ParseMachineType(*model);
    if (!type) return Complain(err, "machine type " + *model + " is not 0-255");
    options.machineType = *type;
  }
  for (auto [name, count] :
       {std::pair{"text1", &options.text1Records}, std::pair{"text2", &options.text2Records}}) {
    auto text = parsed.Value(name);
    if (!text) continue;
    std::optional<uint64_t> value = ParseSize(*text);
    if (!value || *value > kMostRecords) {
      return Complain(err, std::string("--") + name + " takes 0 to 1000000");
    }
    *count = static_cast<uint32_t>(*value);
  }
  if (auto seed = parsed.Value("seed")) {
    std::optional<uint64_t> value = ParseSize(*seed);
    if (!value || *value > UINT32_MAX) return Complain(err, "--seed takes 0 to 4294967295");
    options.seed = static_cast<uint32_t>(*value);
  }
  if (auto list = parsed.Value("binary")) {
    std::optional<std::vector<uint64_t>> sizes = ParseSizeList(*list);
    bool fit = sizes.has_value();
    for (uint64_t size : sizes.value_or(std::vector<uint64_t>{})) {
      fit = fit && size > 0 && size <= dravik::kMaxBinaryBlockBytes;
    }
    if (!fit) {
      return Complain(err, "--binary takes sizes of 1 to " +
                               std::to_string(dravik::kMaxBinaryBlockBytes) + " bytes");
    }
    options.binarySizes = *sizes;
  }
  return true;
}

bool WriteSources(const std::filesystem::path& folder,
                  const std::vector<std::vector<uint8_t>>& blocks, std::ostream& out,
                  std::ostream& err) {
  for (size_t i = 0; i < blocks.size(); ++i) {
    std::string name = i < dravik::kTextBlockCount
                           ? "text" + std::to_string(i + 1) + ".s19"
                           : "binary" + std::to_string(i + 1 - dravik::kTextBlockCount) + ".bin";
    std::string path = (folder / name).string();
    std::string error;
    if (!WriteFileAtomically(path, blocks[i], error)) {
      err << error << "\n";
      return false;
    }
    out << "wrote " << path << "\n";
  }
  return true;
}

}  // namespace

int RunSample(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, kOptions, parsed, error)) return UsageError(err, "sample", error);
  if (parsed.operands.size() != 1) return UsageError(err, "sample", "one folder is needed");
  SampleOptions options;
  if (!SampleOptionsFrom(parsed, options, err)) return kExitUsage;

  std::filesystem::path folder = parsed.operands[0];
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code) {
    err << folder.string() << ": cannot create the folder: " << code.message() << "\n";
    return kExitFile;
  }
  std::vector<std::vector<uint8_t>> blocks = SampleBlocks(options);
  std::vector<uint8_t> image = PackageImage(options.machineType, blocks);
  std::string path = (folder / dravik::kPackageFileName).string();
  if (!WriteFileAtomically(path, image, error)) {
    err << error << "\n";
    return kExitFile;
  }
  out << "wrote " << path << ": " << image.size() << " bytes, " << blocks.size()
      << " blocks, machine type " << Hex(options.machineType, 2) << "\n";
  if (parsed.Has("sources") && !WriteSources(folder, blocks, out, err)) return kExitFile;
  return kExitOk;
}

}  // namespace dvx
