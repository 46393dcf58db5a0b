#pragma once
// The verifier: every rule the model checks, and how a violation is reported. The
// default reaction prints the report and aborts, so an ordinary test stops at the
// first fault; a test of the verifier installs a handler that records the violation
// and lets the model go on in a safe way.

#include <cstdint>
#include <string>
#include <string_view>

#include "kernel/irp.h"

namespace kmodel {

enum class Rule {
  IrpCompletedTwice,
  IrpCompletedPending,
  IrpCompletedWithCancelRoutine,
  IrpFreedInUse,
  IrpNotAllocated,
  IrpCompletedAndPassedOn,
  IrpPassedOnTwice,
  IrpPendingNotMarked,
  IrpMarkedNotPending,
  IrpStackTooSmall,
  IrpDriverOwnedCompletedToTop,
  IrpNeverCompleted,
  LockOrder,
  LockRecursion,
  LockNotHeld,
  WrongIrql,
  UnbalancedReturn,
  PoolLeak,
  HandleLeak,
  PoolTag,
  PoolBadFree,
  FreedWhileQueued,
  DeviceState,
  Deadlock,
};

struct RuleInfo {
  Rule rule;
  std::string_view name;
  std::string_view text;
};

inline constexpr RuleInfo kRules[] = {
    {Rule::IrpCompletedTwice, "IrpCompletedTwice", "an IRP is completed twice"},
    {Rule::IrpCompletedPending, "IrpCompletedPending", "an IRP is completed with STATUS_PENDING"},
    {Rule::IrpCompletedWithCancelRoutine, "IrpCompletedWithCancelRoutine",
     "an IRP is completed while it still has a cancel routine"},
    {Rule::IrpFreedInUse, "IrpFreedInUse", "an IRP is freed while it is still in use"},
    {Rule::IrpNotAllocated, "IrpNotAllocated",
     "an operation names an IRP that is not allocated (freed already?)"},
    {Rule::IrpCompletedAndPassedOn, "IrpCompletedAndPassedOn",
     "a routine both completes and passes on a request"},
    {Rule::IrpPassedOnTwice, "IrpPassedOnTwice",
     "a routine passes on a request that a lower driver already holds"},
    {Rule::IrpPendingNotMarked, "IrpPendingNotMarked",
     "a dispatch routine returns STATUS_PENDING without marking the IRP pending"},
    {Rule::IrpMarkedNotPending, "IrpMarkedNotPending",
     "a dispatch routine marks the IRP pending but returns another status"},
    {Rule::IrpStackTooSmall, "IrpStackTooSmall",
     "an IRP is passed to a device with no stack location left for it"},
    {Rule::IrpDriverOwnedCompletedToTop, "IrpDriverOwnedCompletedToTop",
     "an IRP the driver allocated is completed past its own completion routine"},
    {Rule::IrpNeverCompleted, "IrpNeverCompleted", "a request is never completed"},
    {Rule::LockOrder, "LockOrder", "spin locks are taken against their order"},
    {Rule::LockRecursion, "LockRecursion", "a spin lock is taken by the thread that holds it"},
    {Rule::LockNotHeld, "LockNotHeld", "a spin lock is released that this thread does not hold"},
    {Rule::WrongIrql, "WrongIrql", "a call at the wrong IRQL"},
    {Rule::UnbalancedReturn, "UnbalancedReturn",
     "a routine returns with the IRQL changed or a spin lock held"},
    {Rule::PoolLeak, "PoolLeak", "pool is left allocated"},
    {Rule::HandleLeak, "HandleLeak", "a registry handle is left open"},
    {Rule::PoolTag, "PoolTag", "a driver allocation carries a tag other than the driver's"},
    {Rule::PoolBadFree, "PoolBadFree",
     "memory is freed that is not a pool block, or with another tag"},
    {Rule::FreedWhileQueued, "FreedWhileQueued",
     "memory is freed while a timer inside it is set or a DPC inside it is queued"},
    {Rule::DeviceState, "DeviceState", "a device object is left or deleted in a wrong state"},
    {Rule::Deadlock, "Deadlock", "a wait that nothing in the model can ever satisfy"},
};

std::string_view RuleName(Rule rule);
std::string_view RuleText(Rule rule);

struct Violation {
  Rule rule;
  std::string irp;
  std::string routine;
  std::string detail;
  // Several lines: the rule, the IRP, the routine and the detail.
  std::string Report() const;
};

class ViolationHandler {
 public:
  virtual ~ViolationHandler() = default;
  // Called on the thread that broke the rule, with no model lock held. Returning
  // lets the model go on: it then skips or repairs the faulty step.
  virtual void OnViolation(const Violation& violation) = 0;
};

// Prints the report to standard error and aborts the process.
class AbortOnViolation final : public ViolationHandler {
 public:
  void OnViolation(const Violation& violation) override;
};

// Reports a violation of rule about irp (may be null) from the current routine.
void ReportViolation(Rule rule, PIRP irp, std::string detail);
// The same, naming the IRP and routine explicitly (the routine has already returned).
void ReportViolationAt(Rule rule, std::string irp, std::string routine, std::string detail);
std::string DescribeIrp(PIRP irp);
std::string FormatStatus(NTSTATUS status);
std::string MajorName(UCHAR major);

}  // namespace kmodel
