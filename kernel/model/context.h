#pragma once
// What each thread is doing in the model: its IRQL, the spin locks it holds, and a
// stack of frames (the driver routines it is inside), so that the verifier can name
// the routine of a violation and tell who owns an IRP.

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/device_object.h"
#include "kernel/spin_lock.h"

namespace kmodel {

enum class FrameKind {
  DriverEntry,
  AddDevice,
  Dispatch,
  Completion,
  Cancel,
  Dpc,
  WorkItem,
  Unload
};

struct Frame {
  explicit Frame(FrameKind frameKind) : kind(frameKind) {}
  FrameKind kind;
  uintptr_t routine = 0;
  PIRP irp = nullptr;
  // Text of the device the routine serves, captured on entry (the device may be
  // deleted before the routine returns).
  std::string device;
  UCHAR major = 0;
  UCHAR minor = 0;
  // Dispatch frames: the stack location index the routine received, and whether it
  // passed the IRP on (and how many times the IRP had been reclaimed by then).
  int location = -1;
  bool passedDown = false;
  uint64_t reclaimsAtPass = 0;
  bool completed = false;
  KIRQL entryIrql = 0;
  size_t entryLocks = 0;
};

struct ThreadState {
  KIRQL irql = 0;
  std::vector<Frame*> frames;
  std::vector<PKSPIN_LOCK> held;
  // Model threads count as busy while they run work; a wait lifts the count.
  bool countedBusy = false;
  bool isModelThread = false;
};

ThreadState& Thread();

// Pushes a frame for its lifetime, recording the IRQL and locks on entry.
class FrameScope {
 public:
  explicit FrameScope(Frame& frame);
  ~FrameScope();
  FrameScope(const FrameScope&) = delete;
  FrameScope& operator=(const FrameScope&) = delete;

 private:
  Frame& frame_;
};

Frame* InnermostFrame();
// The innermost frame on this thread that works on irp (dispatch or completion).
Frame* InnermostFrameFor(PIRP irp);

template <typename F>
uintptr_t RoutineAddress(F* routine) {
  return reinterpret_cast<uintptr_t>(routine);
}
// The symbol of a routine when the executable exports it, else its address.
std::string RoutineName(uintptr_t routine);
std::string DescribeFrame(const Frame& frame);
std::string DescribeDevice(PDEVICE_OBJECT device);

// Checks after a driver routine returns that it left the IRQL and the spin locks as
// it found them; a violation is reported and, if the test goes on, repaired.
void CheckBalancedOnReturn(const Frame& frame);

// Reports a call made above the highest IRQL its documents allow.
void CheckIrqlAtMost(KIRQL highest, const char* call);
// Reports going below DISPATCH_LEVEL (what: the step that does) while this thread
// still holds a spin lock.
void CheckNoSpinLockBelowDispatch(KIRQL newIrql, const std::string& what);

}  // namespace kmodel
