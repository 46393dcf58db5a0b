#include "kernel/model/verifier.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "kernel/model/context.h"
#include "kernel/model/kernel_state.h"

namespace kmodel {
namespace {

constexpr std::string_view kMajorNames[] = {
    "IRP_MJ_CREATE",
    "IRP_MJ_CREATE_NAMED_PIPE",
    "IRP_MJ_CLOSE",
    "IRP_MJ_READ",
    "IRP_MJ_WRITE",
    "IRP_MJ_QUERY_INFORMATION",
    "IRP_MJ_SET_INFORMATION",
    "IRP_MJ_QUERY_EA",
    "IRP_MJ_SET_EA",
    "IRP_MJ_FLUSH_BUFFERS",
    "IRP_MJ_QUERY_VOLUME_INFORMATION",
    "IRP_MJ_SET_VOLUME_INFORMATION",
    "IRP_MJ_DIRECTORY_CONTROL",
    "IRP_MJ_FILE_SYSTEM_CONTROL",
    "IRP_MJ_DEVICE_CONTROL",
    "IRP_MJ_INTERNAL_DEVICE_CONTROL",
    "IRP_MJ_SHUTDOWN",
    "IRP_MJ_LOCK_CONTROL",
    "IRP_MJ_CLEANUP",
    "IRP_MJ_CREATE_MAILSLOT",
    "IRP_MJ_QUERY_SECURITY",
    "IRP_MJ_SET_SECURITY",
    "IRP_MJ_POWER",
    "IRP_MJ_SYSTEM_CONTROL",
    "IRP_MJ_DEVICE_CHANGE",
    "IRP_MJ_QUERY_QUOTA",
    "IRP_MJ_SET_QUOTA",
    "IRP_MJ_PNP",
};

const RuleInfo& Info(Rule rule) {
  for (const RuleInfo& info : kRules) {
    if (info.rule == rule) return info;
  }
  return kRules[0];
}

}  // namespace

std::string_view RuleName(Rule rule) {
  return Info(rule).name;
}
std::string_view RuleText(Rule rule) {
  return Info(rule).text;
}

std::string MajorName(UCHAR major) {
  if (major < std::size(kMajorNames)) return std::string(kMajorNames[major]);
  return "major function " + std::to_string(major);
}

std::string FormatStatus(NTSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

std::string Violation::Report() const {
  std::ostringstream out;
  out << "kernel verifier: " << RuleText(rule) << " [" << RuleName(rule) << "]\n";
  if (!irp.empty()) out << "  IRP:     " << irp << "\n";
  out << "  routine: " << routine << "\n";
  if (!detail.empty()) out << "  detail:  " << detail << "\n";
  return out.str();
}

void AbortOnViolation::OnViolation(const Violation& violation) {
  std::fputs(violation.Report().c_str(), stderr);
  std::fflush(stderr);
  std::abort();
}

void ReportViolation(Rule rule, PIRP irp, std::string detail) {
  const Frame* frame = InnermostFrame();
  ReportViolationAt(rule, irp ? DescribeIrp(irp) : std::string(),
                    frame ? DescribeFrame(*frame) : "the test (no driver routine)",
                    std::move(detail));
}

void ReportViolationAt(Rule rule, std::string irp, std::string routine, std::string detail) {
  Violation violation{rule, std::move(irp), std::move(routine), std::move(detail)};
  State().Handler().OnViolation(violation);
}

}  // namespace kmodel
