#pragma once
// The far end of a simulated device's bulk pipes: a byte stream in each direction.
// The device hands the peer what the host sent on bulk-OUT and offers what the peer
// sends on bulk-IN. Nothing here blocks. Times are milliseconds of the model's
// clock (kmodel::Kernel::Now() / 10'000), so a peer whose clock reads the model's
// time keeps pace with its timers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kmodel::usb {

class StreamPeer {
 public:
  virtual ~StreamPeer() = default;
  // Bytes of one bulk-OUT transfer, arriving now. May make output due.
  virtual void Receive(std::span<const uint8_t> bytes) = 0;
  // Brings the peer's own timeline up to now.
  virtual void Poll() = 0;
  // Moves output due by now into buffer, in order; returns the count moved.
  virtual size_t TakeOutput(std::span<uint8_t> buffer) = 0;
  // When output next falls due (possibly already past), or nullopt while only new
  // input can produce any.
  virtual std::optional<int64_t> NextOutputMs() const = 0;
};

// Milliseconds of the model's clock, as peers count them.
int64_t ModelMilliseconds();

}  // namespace kmodel::usb
