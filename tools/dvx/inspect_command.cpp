// The two commands that read a package: list shows it, check judges it.

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "downloader/resources/string_table.h"
#include "downloader/transfer/package_limits.h"
#include "tools/dvx/commands.h"
#include "tools/dvx/options.h"
#include "tools/dvx/package_image.h"
#include "tools/dvx/text_faults.h"

namespace dvx {
namespace {

using dravik::PackageStatus;
using dravik::TextBlockKind;
using dravik::TransferPackage;

constexpr size_t kMostFaultsShown = 10;

// The one operand of list and check.
bool PackageOperand(std::span<const std::string> args, std::string_view command, std::string& path,
                    std::ostream& err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {}, parsed, error)) {
    UsageError(err, command, error);
    return false;
  }
  if (parsed.operands.size() != 1) {
    UsageError(err, command, "one package file is needed");
    return false;
  }
  path = parsed.operands[0];
  return true;
}

TextBlockKind KindOf(uint32_t block) {
  return block == 1 ? TextBlockKind::Block1 : TextBlockKind::Block2;
}

// Calls visit(block, offset of its length, data) for each block in order; a read
// failure is reported and gives the exit status.
template <typename Visit>
int ForEachBlock(const std::string& path, TransferPackage& package, Visit visit,
                 std::ostream& err) {
  std::vector<uint8_t> data;
  for (uint32_t block = 1;; ++block) {
    const uint64_t offset = package.NextBlockOffset();
    uint32_t length = 0;
    PackageStatus status = package.ReadNextBlock(data, length);
    if (!status.ok()) {
      err << path << ": " << DescribePackageStatus(status) << "\n";
      return kExitFile;
    }
    if (length == 0) return kExitOk;
    visit(block, offset, data);
  }
}

std::string TextContents(uint32_t block, const std::vector<uint8_t>& data) {
  dravik::TextBlockPlan plan = dravik::SplitTextBlock(data, KindOf(block));
  std::string text = Counted(plan.Records().size(), "record");
  if (block == 1) return text;
  bool marked = !plan.lines.empty() && plan.lines.back().action == dravik::LineAction::End;
  if (!marked) return text + ", no end marker";
  return text + ", end marker on line " +
         std::to_string(EditorLine(data, plan.lines.back().offset));
}

std::string BinaryContents(uint64_t length) {
  return Counted(dravik::BinaryPacketCount(length), "packet");
}

// Reports the faults of one text block; returns whether it had any.
bool ReportTextFaults(const std::string& path, uint32_t block, uint64_t offset,
                      const std::vector<uint8_t>& data, std::ostream& err) {
  std::vector<TextFault> faults = FindTextFaults(data, KindOf(block));
  bool recordFault = false;
  for (size_t i = 0; i < faults.size(); ++i) {
    recordFault = recordFault || faults[i].kind == TextFault::Record;
    if (i >= kMostFaultsShown) continue;
    err << path << ": block " << block << ", line " << EditorLine(data, faults[i].offset)
        << " (offset " << Hex(offset + 4 + faults[i].offset) << "): " << faults[i].reason << "\n";
  }
  if (faults.size() > kMostFaultsShown) {
    err << path << ": block " << block << ": " << faults.size() - kMostFaultsShown
        << " more faults not shown\n";
  }
  if (recordFault) {
    uint16_t id = block == 1 ? dravik::IDS_PROGRAMMED_FILE_BROKEN : dravik::IDS_PACKAGE_BROKEN;
    err << path << ": block " << block << ": the downloader stops at its first faulty record with "
        << DownloaderMessage(id) << ", after sending the records before it\n";
  }
  return !faults.empty();
}

}  // namespace

int OpenForInspection(const std::string& path, TransferPackage& package, std::ostream& err) {
  PackageStatus status = package.Open(path);
  if (status.ok()) return kExitOk;
  err << path << ": " << DescribePackageStatus(status) << "\n";
  bool unreadable = status.fault == dravik::PackageFault::NotFound ||
                    status.fault == dravik::PackageFault::CannotOpen ||
                    status.fault == dravik::PackageFault::ReadFailed;
  return unreadable ? kExitFile : kExitInvalid;
}

int RunList(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  std::string path;
  if (!PackageOperand(args, "list", path, err)) return kExitUsage;
  TransferPackage package;
  if (int status = OpenForInspection(path, package, err); status != kExitOk) return status;

  const dravik::PackageHeader& header = package.Header();
  out << path << ": " << package.FileSize() << " bytes, machine type "
      << Hex(package.PackageModel(), 2) << ", " << Counted(package.BlockCount(), "block") << "\n"
      << "header: " << header.magic << ", " << header.version << ", machine type field "
      << Hex(header.machineField, 8) << ", unused " << Hex(header.unused, 8) << "\n";
  char row[160];
  std::snprintf(row, sizeof row, "%5s  %-6s  %10s  %10s  %s\n", "block", "kind", "offset", "length",
                "contents");
  out << row;
  int status = ForEachBlock(
      path, package,
      [&](uint32_t block, uint64_t offset, const std::vector<uint8_t>& data) {
        bool text = block <= dravik::kTextBlockCount;
        std::string contents = text ? TextContents(block, data) : BinaryContents(data.size());
        std::snprintf(row, sizeof row, "%5u  %-6s  %10s  %10zu  %s\n", block,
                      text ? "text" : "binary", Hex(offset).c_str(), data.size(), contents.c_str());
        out << row;
      },
      err);
  if (status != kExitOk) return status;
  out << "end of chain at offset " << Hex(package.NextBlockOffset()) << "\n";
  if (PackageStatus sendable = package.CheckSendable(); !sendable.ok()) {
    err << path << ": note: " << DescribePackageStatus(sendable) << "\n";
  }
  return kExitOk;
}

int RunCheck(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  std::string path;
  if (!PackageOperand(args, "check", path, err)) return kExitUsage;
  TransferPackage package;
  if (int status = OpenForInspection(path, package, err); status != kExitOk) return status;
  if (PackageStatus sendable = package.CheckSendable(); !sendable.ok()) {
    err << path << ": " << DescribePackageStatus(sendable) << "\n";
    return kExitInvalid;
  }

  bool faulty = false;
  size_t records = 0;
  uint64_t binaryBytes = 0;
  int status = ForEachBlock(
      path, package,
      [&](uint32_t block, uint64_t offset, const std::vector<uint8_t>& data) {
        if (block > dravik::kTextBlockCount) {
          binaryBytes += data.size();
          return;
        }
        faulty = ReportTextFaults(path, block, offset, data, err) || faulty;
        records += dravik::SplitTextBlock(data, KindOf(block)).Records().size();
      },
      err);
  if (status != kExitOk) return status;
  if (faulty) return kExitInvalid;
  out << path << ": OK: machine type " << Hex(package.PackageModel(), 2) << ", "
      << Counted(package.BlockCount(), "block") << ", " << Counted(records, "text record") << ", "
      << Counted(package.BlockCount() - dravik::kTextBlockCount, "binary block") << " of "
      << Counted(binaryBytes, "byte") << "\n";
  return kExitOk;
}

}  // namespace dvx
