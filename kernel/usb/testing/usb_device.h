#pragma once
// A simulated USB device on a model bus: the physical device object below the
// driver, answering IOCTL_INTERNAL_USB_SUBMIT_URB as the USB stack does, with
// verbs for tests and a log of every URB. Its bulk endpoints carry a byte stream:
// bulk-OUT bytes go to a StreamPeer (and are kept), bulk-IN transfers are served
// from what the peer sends and what the test delivers.
//
// Rules of the bus (see docs/usb-model.md):
// - URBs pend and complete from model work at DISPATCH_LEVEL (Completion::Deferred),
//   or, where nothing needs waiting for, inside the dispatch routine (Immediate).
// - A bulk-IN transfer stays pending until the device has data; each delivered piece
//   ends a transfer (a short one when it is smaller than the buffer); a pending
//   transfer can be cancelled.
// - ABORT_PIPE completes every pending transfer of the pipe with STATUS_CANCELLED
//   before the abort itself completes.
// - A halted endpoint (SET_FEATURE(ENDPOINT_HALT) or Stall) fails its pending and
//   new transfers with USBD_STATUS_STALL_PID until RESET_PIPE.
//
// The device must be destroyed before its kernel; whatever is still pending then
// completes as if the device were unplugged.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "kernel/testing/bus_driver.h"
#include "kernel/testing/kernel_model.h"
#include "kernel/usb/testing/descriptor_builder.h"
#include "kernel/usb/testing/stream_peer.h"
#include "kernel/usb/testing/urb_log.h"
#include "kernel/usb/urb.h"

namespace kmodel::usb {

// Which URBs a verb applies to; a field left empty matches any.
struct UrbMatch {
  std::optional<USHORT> function;
  std::optional<UCHAR> endpoint;
};

enum class Completion { Deferred, Immediate };

class UsbDevice {
 public:
  // Without an instance path the device gets "USB\VID_vvvv&PID_pppp\n" from its
  // descriptor, n counting the devices made so far.
  UsbDevice(Kernel& kernel, DeviceDescription description, std::u16string instancePath = {});
  ~UsbDevice();
  UsbDevice(const UsbDevice&) = delete;
  UsbDevice& operator=(const UsbDevice&) = delete;

  PDEVICE_OBJECT Pdo() const { return pdo_; }
  void SetCompletion(Completion mode);
  // The peer behind the bulk pipes; null disconnects. It must outlive the device
  // or be disconnected first.
  void Connect(StreamPeer* peer);

  // Verbs.
  // The device is gone: pending URBs and every later one fail with
  // STATUS_DEVICE_NOT_CONNECTED / USBD_STATUS_DEVICE_GONE.
  void Unplug();
  // The endpoint halts as if it had answered STALL.
  void Stall(UCHAR endpoint);
  // The next count matching URBs complete at once with these statuses and no effect
  // (STATUS_SUCCESS with a USBD error is a failure the USB status alone reports).
  void FailNext(int count, NTSTATUS status, USBD_STATUS usbdStatus, UrbMatch match = {});
  // Matching URBs stay pending (cancellable) until Release: holding aborts without
  // releasing them is a device that never completes an abort.
  void Hold(UrbMatch match);
  // Stops holding and carries out the held URBs in their order.
  void Release();
  // Bytes for the bulk-IN endpoint in pieces of the given sizes (one piece when
  // empty; a remainder is one more piece). Each piece ends a transfer.
  void DeliverIn(std::span<const uint8_t> bytes, std::span<const size_t> pieces = {});
  // The next bulk-IN transfer completes with no data.
  void DeliverZeroLength();

  // Observation.
  UrbLog& Log() { return log_; }
  // Bulk-OUT bytes in the order they arrived.
  std::vector<uint8_t> OutBytes() const;
  bool Configured() const;
  bool Halted(UCHAR endpoint) const;
  size_t PendingTransfers(UCHAR endpoint) const;
  size_t HeldUrbs() const;
  // Bytes delivered but not yet taken by a transfer.
  size_t BufferedIn() const;
  // Blocks (real time, for tests that race threads) until count URBs have arrived;
  // false after ten seconds.
  bool WaitForUrbs(size_t count);

  // Selects the configuration without an URB, every interface at alternate setting
  // 0 with the default maximum transfer size, and returns the pipes in order: for
  // tests of a driver that has not configured the device itself.
  std::vector<USBD_PIPE_INFORMATION> ConfigureDirectly();

 private:
  struct Endpoint {
    USB_ENDPOINT_DESCRIPTOR descriptor;
    ULONG maximumTransferSize;
  };
  struct ParsedInterface {
    USB_INTERFACE_DESCRIPTOR descriptor;
    std::vector<USB_ENDPOINT_DESCRIPTOR> endpoints;
  };
  struct Submitted {
    PIRP irp;
    uint64_t logId;
  };
  struct Done {
    PIRP irp;
    uint64_t logId;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
    std::optional<ULONG> transferred;
  };
  struct FailRule {
    int remaining;
    NTSTATUS status;
    USBD_STATUS usbdStatus;
    UrbMatch match;
  };
  using DoneList = std::vector<Done>;

  static void CancelRoutine(PDEVICE_OBJECT device, PIRP irp);
  static PURB UrbOf(PIRP irp);

  NTSTATUS Dispatch(PIRP irp);
  void Cancel(PIRP irp);
  LoggedUrb Describe(PURB urb) const;

  // Everything named ...Locked runs under mutex_ and completes nothing itself: it
  // adds the URBs that finish to the list, in the order they are to complete.
  bool RouteLocked(const Submitted& urb, DoneList& done, bool held);
  bool ExecuteLocked(const Submitted& urb, DoneList& done);
  void FinishLocked(const Submitted& urb, DoneList& done, NTSTATUS status, USBD_STATUS usbdStatus,
                    std::optional<ULONG> transferred = {});
  bool TransferLocked(const Submitted& urb, DoneList& done);
  void SelectConfigurationLocked(const Submitted& urb, DoneList& done);
  void GetDescriptorLocked(const Submitted& urb, DoneList& done);
  void AbortLocked(const Submitted& urb, DoneList& done);
  void SetFeatureLocked(const Submitted& urb, DoneList& done);
  // Cancels the transfers of the configuration in force, retires its endpoints and
  // makes new ones for the interfaces given; returns them in order.
  std::vector<Endpoint*> ConfigureLocked(const std::vector<const ParsedInterface*>& interfaces,
                                         DoneList& done);
  void ResetPipeLocked(const Submitted& urb, DoneList& done);
  // The URB waits in the queue, marked pending and cancellable (or, when it was
  // cancelled meanwhile, goes to done as cancelled).
  void PendLocked(const Submitted& urb, std::deque<Submitted>& queue, DoneList& done);
  // Takes the URBs of a queue that no cancel routine owns (all, or only the bulk
  // transfers to one endpoint) and fails them with the statuses given.
  void FailQueueLocked(std::deque<Submitted>& queue, std::optional<UCHAR> onlyTransfersTo,
                       NTSTATUS status, USBD_STATUS usbdStatus, DoneList& done);
  void PumpLocked(DoneList& done);
  void PollPeerLocked();
  const Endpoint* EndpointOfHandle(USBD_PIPE_HANDLE handle) const;
  std::optional<UCHAR> EndpointOfUrbLocked(PURB urb) const;
  std::deque<Submitted>& QueueOf(UCHAR endpoint);

  // Completes the URBs of the list now (on this thread) or from model work.
  void Complete(DoneList& done);
  void CompleteLater(DoneList done);
  void OnPeerWake(uint64_t token);

  // One bus for all the devices of a kernel, so that their objects' names differ.
  static std::shared_ptr<BusDriver> BusOf(Kernel& kernel);

  Kernel& kernel_;
  std::shared_ptr<BusDriver> bus_;
  PDEVICE_OBJECT pdo_ = nullptr;
  const DeviceDescription description_;
  std::vector<ParsedInterface> interfaces_;
  std::optional<UCHAR> inEndpoint_;
  UrbLog log_;

  mutable std::mutex mutex_;
  Completion completion_ = Completion::Deferred;
  StreamPeer* peer_ = nullptr;
  bool unplugged_ = false;
  bool configured_ = false;
  // Handles stay unique for the device's life: retired endpoints are kept.
  std::vector<std::unique_ptr<Endpoint>> endpoints_;
  std::vector<std::unique_ptr<Endpoint>> retired_;
  std::set<UCHAR> halted_;
  std::map<UCHAR, std::deque<Submitted>> pending_;
  std::deque<Submitted> held_;
  std::optional<UrbMatch> hold_;
  std::vector<FailRule> failRules_;
  std::deque<std::vector<uint8_t>> inPieces_;
  std::vector<uint8_t> outBytes_;
  struct Wake {
    uint64_t id;
    int64_t at;
  };
  // Model callbacks that poll the peer when its output falls due, by token.
  std::map<uint64_t, Wake> wakes_;
  uint64_t nextWake_ = 1;
  // The configuration handle is the address of this member.
  char configurationToken_ = 0;
};

}  // namespace kmodel::usb
