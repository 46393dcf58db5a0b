#pragma once
// A device at the far end of a byte stream. Whatever carries the host's bytes (a
// pseudo-terminal, a model of a USB pipe) feeds them in, lets the device's time run
// and collects what it sends back. Nothing here blocks; time comes from the clock the
// device was built with.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace panelsim {

class ByteStreamPeer {
 public:
  virtual ~ByteStreamPeer() = default;
  // Bytes from the host, taken as arriving now. May make output due.
  virtual void Receive(std::span<const uint8_t> bytes) = 0;
  // Brings the device's own timeline up to now (ends pauses, releases late replies).
  virtual void Poll() = 0;
  // Moves output that is due by now into buffer, in order; returns the count moved.
  virtual size_t TakeOutput(std::span<uint8_t> buffer) = 0;
  // When output next falls due (clock milliseconds, possibly already past), or
  // nullopt while only new input can produce any.
  virtual std::optional<int64_t> NextOutputMs() const = 0;
};

}  // namespace panelsim
