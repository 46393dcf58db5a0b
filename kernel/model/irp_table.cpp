#include "kernel/model/irp_table.h"

#include <cstdio>

#include "kernel/model/kernel_state.h"
#include "kernel/model/verifier.h"

namespace kmodel {

IrpTable::~IrpTable() {
  ReleaseAll();
}

IrpRecord* IrpTable::Create(CCHAR stackSize, IrpOrigin origin) {
  auto record = std::make_unique<IrpRecord>();
  int count = stackSize < 1 ? 1 : stackSize;
  // One spare location below the lowest: a driver that fills the next location with
  // none left writes there, and IoCallDriver then reports the fault.
  record->stack.resize(static_cast<size_t>(count) + 1);
  record->locations.resize(static_cast<size_t>(count));
  record->origin = origin;
  IRP& irp = record->irp;
  irp.Type = 6;
  irp.Size = static_cast<USHORT>(sizeof(IRP) + count * sizeof(IO_STACK_LOCATION));
  irp.StackCount = static_cast<CHAR>(count);
  irp.CurrentLocation = static_cast<CHAR>(count + 1);
  irp.Tail.Overlay.CurrentStackLocation = record->Locations() + count;
  irp.ModelRecord = record.get();
  InitializeListHead(&irp.Tail.Overlay.ListEntry);
  IrpRecord* raw = record.get();
  std::lock_guard guard(mutex_);
  raw->serial = ++serial_;
  live_[&raw->irp] = std::move(record);
  return raw;
}

IrpRecord* IrpTable::FindLocked(PIRP irp) {
  auto it = live_.find(irp);
  return it == live_.end() || it->second->freePending ? nullptr : it->second.get();
}

void IrpTable::DestroyLocked(IrpRecord* record) {
  if (record->frameRefs > 0) {
    record->freePending = true;
    return;
  }
  live_.erase(&record->irp);
}

void IrpTable::WaitWalkDoneLocked(std::unique_lock<std::mutex>& lock, IrpRecord* record) {
  PIRP irp = &record->irp;
  changed_.wait(lock, [&] {
    auto it = live_.find(irp);
    return it == live_.end() || !it->second->walking;
  });
}

std::vector<IrpRecord*> IrpTable::LiveLocked() {
  std::vector<IrpRecord*> list;
  for (auto& [irp, record] : live_) {
    if (!record->freePending) list.push_back(record.get());
  }
  return list;
}

void IrpTable::ReleaseAll() {
  std::lock_guard guard(mutex_);
  live_.clear();
}

int LocationIndex(PIRP irp, PIO_STACK_LOCATION location) {
  return static_cast<int>(location - irp->ModelRecord->Locations());
}

std::string DescribeIrp(PIRP irp) {
  char address[32];
  std::snprintf(address, sizeof address, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(irp)));
  IrpTable& table = State().irps;
  std::lock_guard guard(table.Mutex());
  IrpRecord* record = table.FindLocked(irp);
  if (!record) return std::string(address) + " (not a live IRP)";
  std::string text = "#" + std::to_string(record->serial) + " " + MajorName(record->major);
  if (record->major == IRP_MJ_PNP || record->major == IRP_MJ_POWER) {
    text += " minor " + std::to_string(record->minor);
  }
  return text + " (" + address + ")";
}

}  // namespace kmodel
