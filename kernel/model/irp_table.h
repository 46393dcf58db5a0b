#pragma once
// The model's record of every live IRP: where it came from, who holds it, how far
// its completion has gone, and what each stack location's dispatch routine promised
// about the pending mark.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/irp.h"

namespace kmodel {

enum class IrpOrigin {
  // IoAllocateIrp: the driver frees it after its completion routine reclaims it.
  Driver,
  // IoBuildDeviceIoControlRequest: the I/O manager fills the status block, sets the
  // event and frees it at the end of completion.
  Threaded,
  // Sent by a test acting as the I/O manager, the Plug and Play or the power manager.
  System,
};

struct LocationState {
  bool popped = false;
  bool markedAtPop = false;
  // The dispatch routine at this location returned STATUS_PENDING before completion
  // reached it, so the location must carry the pending mark when it does.
  bool expectMark = false;
  std::string expectedBy;
};

struct IrpRecord {
  IRP irp{};
  // The stack locations, after one spare (see IrpTable::Create).
  std::vector<IO_STACK_LOCATION> stack;
  PIO_STACK_LOCATION Locations() { return stack.data() + 1; }
  std::vector<LocationState> locations;
  uint64_t serial = 0;
  IrpOrigin origin = IrpOrigin::Driver;
  UCHAR major = 0;
  UCHAR minor = 0;
  CCHAR boost = 0;
  // Guarded by the table's mutex.
  bool completed = false;
  bool inFlight = false;
  bool walking = false;
  std::thread::id walker;
  uint64_t reclaims = 0;
  int frameRefs = 0;
  bool freePending = false;
  bool freedDuringWalk = false;
  // Threaded IRPs: the system buffer and the caller's output buffer.
  std::vector<UCHAR> systemBuffer;
  PVOID userOutput = nullptr;
  ULONG userOutputLength = 0;
  // System IRPs: called once completion reaches the top, with no lock held.
  std::function<void(IrpRecord&)> onFinished;
};

class IrpTable {
 public:
  ~IrpTable();
  IrpRecord* Create(CCHAR stackSize, IrpOrigin origin);
  // The record of a live IRP, or null. Call with the mutex held.
  IrpRecord* FindLocked(PIRP irp);
  // Frees the record now, or when the last dispatch frame that refers to it returns.
  void DestroyLocked(IrpRecord* record);
  void WaitWalkDoneLocked(std::unique_lock<std::mutex>& lock, IrpRecord* record);
  std::vector<IrpRecord*> LiveLocked();
  std::mutex& Mutex() { return mutex_; }
  std::condition_variable& Changed() { return changed_; }
  // Frees every record, for the end of a kernel.
  void ReleaseAll();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<PIRP, std::unique_ptr<IrpRecord>> live_;
  uint64_t serial_ = 0;
};

// Index of a stack location in its IRP (0 is the lowest driver's).
int LocationIndex(PIRP irp, PIO_STACK_LOCATION location);

}  // namespace kmodel
