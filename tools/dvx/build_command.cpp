#include <cstdint>
#include <filesystem>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "downloader/transfer/package_limits.h"
#include "tools/dvx/commands.h"
#include "tools/dvx/options.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/text_faults.h"

namespace dvx {
namespace {

constexpr OptionSpec kOptions[] = {{"model", 'm', true}, {"output", 'o', true}};
constexpr size_t kMostFaultsShown = 10;
constexpr uint64_t kMaxTextBlockBytes = std::numeric_limits<int32_t>::max();

// The blocks read so far and what went wrong on the way; every input is looked at
// before giving up, so one run shows all the faults.
struct Inputs {
  std::vector<std::vector<uint8_t>> blocks;
  bool fileError = false;
  bool invalid = false;
};

bool ReadBlockFile(const std::string& path, uint64_t limit, Inputs& inputs,
                   std::vector<uint8_t>& bytes, std::ostream& err) {
  std::string error;
  ReadResult result = ReadWholeFile(path, limit, bytes, error);
  if (result != ReadResult::Ok) {
    err << error << "\n";
    (result == ReadResult::CannotRead ? inputs.fileError : inputs.invalid) = true;
    return false;
  }
  if (bytes.empty()) {
    err << path << ": empty; a block needs at least one byte (a zero length ends the chain)\n";
    inputs.invalid = true;
    return false;
  }
  return true;
}

void AddText(const std::string& path, dravik::TextBlockKind kind, Inputs& inputs,
             std::ostream& err) {
  std::vector<uint8_t> bytes;
  if (!ReadBlockFile(path, kMaxTextBlockBytes, inputs, bytes, err)) return;
  std::vector<TextFault> faults = FindTextFaults(bytes, kind);
  for (size_t i = 0; i < faults.size() && i < kMostFaultsShown; ++i) {
    err << path << ":" << EditorLine(bytes, faults[i].offset) << ": " << faults[i].reason << "\n";
  }
  if (faults.size() > kMostFaultsShown) {
    err << path << ": " << faults.size() - kMostFaultsShown << " more faults not shown\n";
  }
  if (!faults.empty()) inputs.invalid = true;
  inputs.blocks.push_back(std::move(bytes));
}

void AddBinary(const std::string& path, Inputs& inputs, std::ostream& err) {
  std::vector<uint8_t> bytes;
  if (ReadBlockFile(path, dravik::kMaxBinaryBlockBytes, inputs, bytes, err)) {
    inputs.blocks.push_back(std::move(bytes));
  }
}

// The input that is the same file as output, if any: its bytes would be read
// first, but the file itself would be lost.
const std::string* InputAt(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(output, input, error)) return &input;
  }
  return nullptr;
}

}  // namespace

int RunBuild(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, kOptions, parsed, error)) return UsageError(err, "build", error);
  std::optional<std::string> model = parsed.Value("model");
  if (!model) return UsageError(err, "build", "the machine type (-m TYPE) is missing");
  std::optional<uint8_t> machineType = ParseMachineType(*model);
  if (!machineType) return UsageError(err, "build", "machine type " + *model + " is not 0-255");
  if (parsed.operands.size() < dravik::kTextBlockCount) {
    return UsageError(err, "build", "two text files are needed");
  }
  const std::string output = parsed.Value("output").value_or(dravik::kPackageFileName);
  if (const std::string* input = InputAt(output, parsed.operands)) {
    return UsageError(
        err, "build",
        "the output " + output + " is the input " + *input + ", which the package would replace");
  }

  Inputs inputs;
  AddText(parsed.operands[0], dravik::TextBlockKind::Block1, inputs, err);
  AddText(parsed.operands[1], dravik::TextBlockKind::Block2, inputs, err);
  for (size_t i = dravik::kTextBlockCount; i < parsed.operands.size(); ++i) {
    AddBinary(parsed.operands[i], inputs, err);
  }
  if (inputs.fileError || inputs.invalid) {
    err << "dvx build: " << output << " not written\n";
    return inputs.fileError ? kExitFile : kExitInvalid;
  }

  std::vector<uint8_t> image = PackageImage(*machineType, inputs.blocks);
  if (!WriteFileAtomically(output, image, error)) {
    err << error << "\n";
    return kExitFile;
  }
  out << "wrote " << output << ": " << image.size() << " bytes, " << inputs.blocks.size()
      << " blocks, machine type " << Hex(*machineType, 2) << "\n";
  return kExitOk;
}

}  // namespace dvx
