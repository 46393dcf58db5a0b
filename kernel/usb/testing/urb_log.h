#pragma once
// What a simulated device saw of its driver: every URB in the order it arrived,
// described in one line, with its result once it completed. A test states the
// conversation it expects as a table and compares; the comparison names the first
// URB that differs, in the manner of a USB analyser's log.
//
//   EXPECT_EQ(device.Log().Compare({{"ABORT_PIPE 0x81", "STATUS_SUCCESS"},
//                                   {"SET_FEATURE_TO_ENDPOINT feature 0 index 0x81"}}),
//             "");

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/usb/urb.h"

namespace kmodel::usb {

struct LoggedUrb {
  USHORT function = 0;
  // For instance "BULK_OR_INTERRUPT_TRANSFER 0x81 in length 2048 flags 0x3".
  std::string request;
  // The endpoint of a pipe request or transfer whose pipe handle was valid.
  std::optional<UCHAR> endpoint;
  // Bulk-OUT: the bytes sent.
  std::vector<uint8_t> data;
  bool completed = false;
  NTSTATUS status = STATUS_PENDING;
  USBD_STATUS usbdStatus = USBD_STATUS_PENDING;
  // Transfers and descriptor requests: the bytes moved.
  std::optional<ULONG> transferred;
  // 1 for the URB that completed first, and so on; 0 while pending.
  size_t completionOrder = 0;

  // "STATUS_SUCCESS", "STATUS_CANCELLED USBD_STATUS_CANCELED 0 bytes", or "pending".
  std::string Result() const;
  std::string Line() const;
};

// One row of an expected conversation. An empty result accepts any.
struct ExpectedUrb {
  std::string request;
  std::string result;
};

class UrbLog {
 public:
  // Returns the entry's id for Complete (ids outlive Clear).
  uint64_t Add(LoggedUrb entry);
  void Complete(uint64_t id, NTSTATUS status, USBD_STATUS usbdStatus,
                std::optional<ULONG> transferred);

  std::vector<LoggedUrb> Entries() const;
  std::vector<std::string> Requests() const;
  std::vector<std::string> Lines() const;
  size_t Size() const;
  size_t Count(USHORT function) const;
  // Empty when the log holds exactly the table's URBs, in order; otherwise a text
  // naming the first difference and listing the log.
  std::string Compare(std::initializer_list<ExpectedUrb> table) const;
  std::string Compare(const std::vector<ExpectedUrb>& table) const;
  // Blocks until at least count URBs have arrived (another thread sends them);
  // false after the limit.
  bool WaitForSize(size_t count, std::chrono::milliseconds limit);
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LoggedUrb> entries_;
  std::vector<uint64_t> ids_;
  uint64_t nextId_ = 1;
  size_t completions_ = 0;
};

// Names for the log: "ABORT_PIPE", "STATUS_CANCELLED", "USBD_STATUS_STALL_PID";
// values without a name in hexadecimal.
std::string FunctionName(USHORT function);
std::string StatusName(NTSTATUS status);
std::string UsbdStatusName(USBD_STATUS status);

}  // namespace kmodel::usb
