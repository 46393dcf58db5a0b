#include "kernel/usb/testing/urb_log.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace kmodel::usb {
namespace {

template <typename T>
struct Named {
  T value;
  std::string_view name;
};

constexpr Named<USHORT> kFunctions[] = {
    {URB_FUNCTION_SELECT_CONFIGURATION, "SELECT_CONFIGURATION"},
    {URB_FUNCTION_SELECT_INTERFACE, "SELECT_INTERFACE"},
    {URB_FUNCTION_ABORT_PIPE, "ABORT_PIPE"},
    {URB_FUNCTION_CONTROL_TRANSFER, "CONTROL_TRANSFER"},
    {URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, "BULK_OR_INTERRUPT_TRANSFER"},
    {URB_FUNCTION_ISOCH_TRANSFER, "ISOCH_TRANSFER"},
    {URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, "GET_DESCRIPTOR_FROM_DEVICE"},
    {URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE, "SET_DESCRIPTOR_TO_DEVICE"},
    {URB_FUNCTION_SET_FEATURE_TO_DEVICE, "SET_FEATURE_TO_DEVICE"},
    {URB_FUNCTION_SET_FEATURE_TO_INTERFACE, "SET_FEATURE_TO_INTERFACE"},
    {URB_FUNCTION_SET_FEATURE_TO_ENDPOINT, "SET_FEATURE_TO_ENDPOINT"},
    {URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE, "CLEAR_FEATURE_TO_DEVICE"},
    {URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE, "CLEAR_FEATURE_TO_INTERFACE"},
    {URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT, "CLEAR_FEATURE_TO_ENDPOINT"},
    {URB_FUNCTION_GET_STATUS_FROM_DEVICE, "GET_STATUS_FROM_DEVICE"},
    {URB_FUNCTION_VENDOR_DEVICE, "VENDOR_DEVICE"},
    {URB_FUNCTION_CLASS_DEVICE, "CLASS_DEVICE"},
    {URB_FUNCTION_RESET_PIPE, "RESET_PIPE"},
};

constexpr Named<NTSTATUS> kStatuses[] = {
    {STATUS_SUCCESS, "STATUS_SUCCESS"},
    {STATUS_PENDING, "STATUS_PENDING"},
    {STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
    {STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
    {STATUS_INVALID_DEVICE_REQUEST, "STATUS_INVALID_DEVICE_REQUEST"},
    {STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
    {STATUS_DEVICE_DATA_ERROR, "STATUS_DEVICE_DATA_ERROR"},
    {STATUS_DEVICE_NOT_CONNECTED, "STATUS_DEVICE_NOT_CONNECTED"},
    {STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
    {STATUS_CANCELLED, "STATUS_CANCELLED"},
    {STATUS_IO_DEVICE_ERROR, "STATUS_IO_DEVICE_ERROR"},
};

constexpr Named<USBD_STATUS> kUsbdStatuses[] = {
    {USBD_STATUS_SUCCESS, "USBD_STATUS_SUCCESS"},
    {USBD_STATUS_PENDING, "USBD_STATUS_PENDING"},
    {USBD_STATUS_CRC, "USBD_STATUS_CRC"},
    {USBD_STATUS_STALL_PID, "USBD_STATUS_STALL_PID"},
    {USBD_STATUS_DEV_NOT_RESPONDING, "USBD_STATUS_DEV_NOT_RESPONDING"},
    {USBD_STATUS_DATA_OVERRUN, "USBD_STATUS_DATA_OVERRUN"},
    {USBD_STATUS_BUFFER_OVERRUN, "USBD_STATUS_BUFFER_OVERRUN"},
    {USBD_STATUS_ENDPOINT_HALTED, "USBD_STATUS_ENDPOINT_HALTED"},
    {USBD_STATUS_NO_MEMORY, "USBD_STATUS_NO_MEMORY"},
    {USBD_STATUS_INVALID_URB_FUNCTION, "USBD_STATUS_INVALID_URB_FUNCTION"},
    {USBD_STATUS_INVALID_PARAMETER, "USBD_STATUS_INVALID_PARAMETER"},
    {USBD_STATUS_ERROR_BUSY, "USBD_STATUS_ERROR_BUSY"},
    {USBD_STATUS_REQUEST_FAILED, "USBD_STATUS_REQUEST_FAILED"},
    {USBD_STATUS_INVALID_PIPE_HANDLE, "USBD_STATUS_INVALID_PIPE_HANDLE"},
    {USBD_STATUS_NO_BANDWIDTH, "USBD_STATUS_NO_BANDWIDTH"},
    {USBD_STATUS_INTERNAL_HC_ERROR, "USBD_STATUS_INTERNAL_HC_ERROR"},
    {USBD_STATUS_ERROR_SHORT_TRANSFER, "USBD_STATUS_ERROR_SHORT_TRANSFER"},
    {USBD_STATUS_DEVICE_GONE, "USBD_STATUS_DEVICE_GONE"},
    {USBD_STATUS_CANCELED, "USBD_STATUS_CANCELED"},
};

template <typename T, size_t N>
std::string NameOf(const Named<T> (&table)[N], T value, int digits) {
  for (const Named<T>& entry : table) {
    if (entry.value == value) return std::string(entry.name);
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string Listing(const std::vector<LoggedUrb>& entries) {
  std::string text = "the log:";
  if (entries.empty()) text += " (empty)";
  for (size_t i = 0; i < entries.size(); ++i) {
    text += "\n  " + std::to_string(i + 1) + ". " + entries[i].Line();
  }
  return text;
}

}  // namespace

std::string FunctionName(USHORT function) {
  return NameOf(kFunctions, function, 4);
}
std::string StatusName(NTSTATUS status) {
  return NameOf(kStatuses, status, 8);
}
std::string UsbdStatusName(USBD_STATUS status) {
  return NameOf(kUsbdStatuses, status, 8);
}

std::string LoggedUrb::Result() const {
  if (!completed) return "pending";
  std::string text = StatusName(status);
  if (usbdStatus != USBD_STATUS_SUCCESS) text += " " + UsbdStatusName(usbdStatus);
  if (transferred) text += " " + std::to_string(*transferred) + " bytes";
  return text;
}

std::string LoggedUrb::Line() const {
  return request + " -> " + Result();
}

uint64_t UrbLog::Add(LoggedUrb entry) {
  uint64_t id;
  {
    std::lock_guard guard(mutex_);
    id = nextId_++;
    entries_.push_back(std::move(entry));
    ids_.push_back(id);
  }
  changed_.notify_all();
  return id;
}

void UrbLog::Complete(uint64_t id, NTSTATUS status, USBD_STATUS usbdStatus,
                      std::optional<ULONG> transferred) {
  std::lock_guard guard(mutex_);
  auto it = std::find(ids_.rbegin(), ids_.rend(), id);
  // Cleared meanwhile: nothing to record.
  if (it == ids_.rend()) return;
  LoggedUrb& entry = entries_[static_cast<size_t>(ids_.rend() - it - 1)];
  entry.completed = true;
  entry.status = status;
  entry.usbdStatus = usbdStatus;
  entry.transferred = transferred;
  entry.completionOrder = ++completions_;
}

std::vector<LoggedUrb> UrbLog::Entries() const {
  std::lock_guard guard(mutex_);
  return entries_;
}

std::vector<std::string> UrbLog::Requests() const {
  std::lock_guard guard(mutex_);
  std::vector<std::string> requests;
  for (const LoggedUrb& entry : entries_) requests.push_back(entry.request);
  return requests;
}

std::vector<std::string> UrbLog::Lines() const {
  std::lock_guard guard(mutex_);
  std::vector<std::string> lines;
  for (const LoggedUrb& entry : entries_) lines.push_back(entry.Line());
  return lines;
}

size_t UrbLog::Size() const {
  std::lock_guard guard(mutex_);
  return entries_.size();
}

size_t UrbLog::Count(USHORT function) const {
  std::lock_guard guard(mutex_);
  return static_cast<size_t>(
      std::count_if(entries_.begin(), entries_.end(),
                    [&](const LoggedUrb& e) { return e.function == function; }));
}

std::string UrbLog::Compare(std::initializer_list<ExpectedUrb> table) const {
  return Compare(std::vector<ExpectedUrb>(table));
}

std::string UrbLog::Compare(const std::vector<ExpectedUrb>& table) const {
  std::vector<LoggedUrb> entries = Entries();
  for (size_t i = 0; i < table.size(); ++i) {
    std::string row = "URB " + std::to_string(i + 1) + ": ";
    if (i >= entries.size()) {
      return row + "expected " + table[i].request + ", but the driver sent nothing more; " +
             Listing(entries);
    }
    if (entries[i].request != table[i].request) {
      return row + "expected " + table[i].request + ", got " + entries[i].request + "; " +
             Listing(entries);
    }
    if (!table[i].result.empty() && entries[i].Result() != table[i].result) {
      return row + entries[i].request + " expected to end " + table[i].result + ", ended " +
             entries[i].Result() + "; " + Listing(entries);
    }
  }
  if (entries.size() > table.size()) {
    return "URB " + std::to_string(table.size() + 1) + ": not expected, got " +
           entries[table.size()].request + "; " + Listing(entries);
  }
  return "";
}

bool UrbLog::WaitForSize(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return entries_.size() >= count; });
}

void UrbLog::Clear() {
  std::lock_guard guard(mutex_);
  entries_.clear();
  ids_.clear();
  completions_ = 0;
}

}  // namespace kmodel::usb
