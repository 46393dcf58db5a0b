#include "kernel/irql.h"

#include <string>

#include "kernel/model/context.h"
#include "kernel/model/verifier.h"

using kmodel::Rule;
using kmodel::Thread;

KIRQL KeGetCurrentIrql() {
  return Thread().irql;
}

void KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql) {
  kmodel::ThreadState& thread = Thread();
  if (newIrql < thread.irql) {
    kmodel::ReportViolation(Rule::WrongIrql, nullptr,
                            "KeRaiseIrql to " + std::to_string(newIrql) + " from the higher " +
                                std::to_string(thread.irql));
  }
  *oldIrql = thread.irql;
  thread.irql = newIrql;
}

KIRQL KeRaiseIrqlToDpcLevel() {
  KIRQL old;
  KeRaiseIrql(DISPATCH_LEVEL, &old);
  return old;
}

void KeLowerIrql(KIRQL newIrql) {
  kmodel::ThreadState& thread = Thread();
  if (newIrql > thread.irql) {
    kmodel::ReportViolation(Rule::WrongIrql, nullptr,
                            "KeLowerIrql to " + std::to_string(newIrql) + " from the lower " +
                                std::to_string(thread.irql));
  }
  kmodel::CheckNoSpinLockBelowDispatch(newIrql, "KeLowerIrql");
  thread.irql = newIrql;
}
