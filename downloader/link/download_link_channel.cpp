// The serial channel: open, set up, write a request, read one reply frame, close.
//
// Waits compare the time elapsed since the last byte moved with TimeOut, in
// unsigned 32-bit arithmetic, so the wrap of the millisecond counter after 49.7
// days neither ends a wait early nor makes it endless.

#include "downloader/link/download_link.h"
#include "downloader/link/frame.h"
#include "downloader/link/port_name.h"
#include "downloader/link/result_codes.h"

namespace dravik {

namespace {
constexpr uint32_t kQueueBytes = 4096;
// After a write that took nothing: a short rest instead of spinning on the port.
constexpr uint32_t kStalledWriteRestMs = 1;
}  // namespace

DownloadLink::DownloadLink(PortOpener& opener, Clock& clock, Window& window)
    : m_opener(opener), m_clock(clock), m_window(window) {}

int DownloadLink::OpenPort() {
  // At most one port is open; a handle left open would hold the device.
  m_hComm.reset();
  m_hComm = m_opener.Open(PortDeviceName(m_env.PortNumber), nullptr);
  if (!m_hComm) return RESULT_PORT_FAILED;
  m_hComm->SetQueueSizes(kQueueBytes, kQueueBytes);
  PortTimeouts timeouts;
  timeouts.ReadIntervalTimeout = m_env.TimeOut;
  timeouts.ReadTotalTimeoutMultiplier = m_env.TimeOut;
  m_hComm->SetTimeouts(timeouts);
  return 0;
}

int DownloadLink::ConfigurePort(int32_t baudRate, uint8_t byteSize, uint8_t stopBits,
                                uint8_t parity) {
  if (!m_hComm || baudRate <= 0) return RESULT_PORT_FAILED;
  LineState state;
  m_hComm->GetLineState(state);
  state.BaudRate = static_cast<uint32_t>(baudRate);
  state.ByteSize = byteSize;
  state.StopBits = stopBits;
  state.Parity = parity;
  state.fParity = true;
  return m_hComm->SetLineState(state) ? 0 : RESULT_PORT_FAILED;
}

int DownloadLink::ClosePort() {
  m_hComm.reset();
  return 0;
}

int DownloadLink::WriteBytes(const uint8_t* data, int16_t length) {
  if (!m_hComm || length < 0 || (data == nullptr && length > 0)) return RESULT_WRITE_FAILED;
  const uint32_t timeOut = m_env.TimeOut;
  uint32_t lastProgress = m_clock.TickCount();
  uint32_t offset = 0;
  uint32_t remaining = static_cast<uint32_t>(length);
  while (remaining > 0) {
    uint32_t written = 0;
    if (!m_hComm->Write(data + offset, remaining, written)) return RESULT_WRITE_FAILED;
    if (written >= remaining) break;
    if (written > 0) {
      remaining -= written;
      offset += written;
      lastProgress = m_clock.TickCount();
      continue;
    }
    if (m_clock.TickCount() - lastProgress > timeOut) return RESULT_TIMEOUT;
    m_clock.Sleep(kStalledWriteRestMs);
  }
  return 0;
}

int DownloadLink::ReadFrame(uint8_t* buffer, int16_t capacity) {
  if (!m_hComm) return RESULT_READ_FAILED;
  const uint32_t timeOut = m_env.TimeOut;
  const int stored = buffer == nullptr || capacity < 0 ? 0 : capacity;
  uint32_t lastByte = m_clock.TickCount();
  uint8_t header[kCommandOffset] = {};
  int count = 0;
  for (;;) {
    uint8_t byte = 0;
    uint32_t got = 0;
    if (!m_hComm->ReadByte(byte, got)) return RESULT_READ_FAILED;
    if (got == 0) {
      if (m_clock.TickCount() - lastByte > timeOut) return RESULT_TIMEOUT;
      continue;
    }
    lastByte = m_clock.TickCount();
    // Past the capacity the bytes are counted but not stored: the frame is read to
    // its announced end so that its rest does not become the next reply.
    if (count < stored) buffer[count] = byte;
    if (count < kCommandOffset) header[count] = byte;
    ++count;
    if (count <= kLengthFieldExcess) continue;
    if (count >= FrameLength(header)) return count <= stored ? count : RESULT_BAD_REPLY;
  }
}

}  // namespace dravik
