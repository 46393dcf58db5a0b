#include "kernel/model/context.h"

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kernel/model/device_table.h"
#include "kernel/model/kernel_state.h"
#include "kernel/model/verifier.h"

namespace kmodel {
namespace {

std::string Hex(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

constexpr std::string_view KindText(FrameKind kind) {
  switch (kind) {
    case FrameKind::DriverEntry:
      return "driver entry";
    case FrameKind::AddDevice:
      return "AddDevice routine";
    case FrameKind::Dispatch:
      return "dispatch routine";
    case FrameKind::Completion:
      return "completion routine";
    case FrameKind::Cancel:
      return "cancel routine";
    case FrameKind::Dpc:
      return "DPC routine";
    case FrameKind::WorkItem:
      return "work item";
    case FrameKind::Unload:
      return "unload";
  }
  return "routine";
}

}  // namespace

ThreadState& Thread() {
  thread_local ThreadState state;
  return state;
}

FrameScope::FrameScope(Frame& frame) : frame_(frame) {
  ThreadState& thread = Thread();
  frame.entryIrql = thread.irql;
  frame.entryLocks = thread.held.size();
  thread.frames.push_back(&frame);
}

FrameScope::~FrameScope() {
  Thread().frames.pop_back();
}

Frame* InnermostFrame() {
  auto& frames = Thread().frames;
  return frames.empty() ? nullptr : frames.back();
}

Frame* InnermostFrameFor(PIRP irp) {
  auto& frames = Thread().frames;
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if ((*it)->irp == irp &&
        ((*it)->kind == FrameKind::Dispatch || (*it)->kind == FrameKind::Completion)) {
      return *it;
    }
  }
  return nullptr;
}

std::string RoutineName(uintptr_t routine) {
  Dl_info info{};
  if (routine != 0 && dladdr(reinterpret_cast<void*>(routine), &info) != 0 && info.dli_sname) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status), &std::free);
    std::string name = status == 0 && demangled ? demangled.get() : info.dli_sname;
    return name.substr(0, name.find('('));
  }
  return Hex(routine);
}

std::string DescribeDevice(PDEVICE_OBJECT device) {
  if (!device) return "no device";
  std::string name = DeviceTable::NameOf(device);
  return name.empty() ? "unnamed device " + Hex(reinterpret_cast<uintptr_t>(device)) : name;
}

std::string DescribeFrame(const Frame& frame) {
  std::string text = std::string(KindText(frame.kind)) + " " + RoutineName(frame.routine);
  if (frame.kind == FrameKind::Dispatch) text += " for " + MajorName(frame.major);
  if (!frame.device.empty()) text += " of " + frame.device;
  return text;
}

void CheckBalancedOnReturn(const Frame& frame) {
  ThreadState& thread = Thread();
  if (thread.held.size() > frame.entryLocks) {
    ReportViolation(Rule::UnbalancedReturn, frame.irp,
                    std::to_string(thread.held.size() - frame.entryLocks) +
                        " spin lock(s) still held on return");
    while (thread.held.size() > frame.entryLocks) {
      __atomic_store_n(thread.held.back(), 0, __ATOMIC_RELEASE);
      thread.held.pop_back();
    }
  }
  if (thread.irql != frame.entryIrql) {
    ReportViolation(Rule::UnbalancedReturn, frame.irp,
                    "entered at IRQL " + std::to_string(frame.entryIrql) + ", returned at " +
                        std::to_string(thread.irql));
    thread.irql = frame.entryIrql;
  }
}

// Below DISPATCH_LEVEL the thread can be preempted while a waiter for its spin lock
// spins; reported when the IRQL drops, not at the next release.
void CheckNoSpinLockBelowDispatch(KIRQL newIrql, const std::string& what) {
  const std::vector<PKSPIN_LOCK>& held = Thread().held;
  if (newIrql < DISPATCH_LEVEL && !held.empty()) {
    ReportViolation(Rule::WrongIrql, nullptr,
                    what + " to IRQL " + std::to_string(newIrql) + " while still holding " +
                        State().locks.NameOf(held.back()));
  }
}

void CheckIrqlAtMost(KIRQL highest, const char* call) {
  KIRQL irql = Thread().irql;
  if (irql > highest) {
    ReportViolation(Rule::WrongIrql, nullptr,
                    std::string(call) + " at IRQL " + std::to_string(irql));
  }
}

}  // namespace kmodel
