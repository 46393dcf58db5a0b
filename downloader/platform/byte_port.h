#pragma once
// The byte port: the downloader's only way to a serial line. It stands in for the
// Win32 communications calls, so its operations are exactly the ones the serial
// channel needs: open by name, queue sizes, time-outs, line state, write, one-byte
// read, close (destruction). Operating-system errors are mapped here once; nothing
// above this seam sees errno.

#include <cstdint>
#include <memory>
#include <string>

namespace dravik {

// The line state, shaped like the Win32 DCB so that a get/modify/set round trip
// keeps every field the caller did not touch.
struct LineState {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;  // data bits, 5 to 8
  uint8_t StopBits = 0;  // 0 = one, 1 = one and a half, 2 = two
  uint8_t Parity = 0;    // 0 = none, 1 = odd, 2 = even, 3 = mark, 4 = space
  bool fBinary = true;
  bool fParity = false;  // parity checking on input
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  uint8_t fDtrControl = 1;  // 0 = disable, 1 = enable, 2 = handshake
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;  // XON/XOFF on output
  bool fInX = false;   // XON/XOFF on input
  bool fErrorChar = false;
  bool fNull = false;
  uint8_t fRtsControl = 1;  // 0 = disable, 1 = enable, 2 = handshake, 3 = toggle
  bool fAbortOnError = false;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  char XonChar = 0x11;
  char XoffChar = 0x13;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;

  bool operator==(const LineState&) const = default;
};

// COMMTIMEOUTS. The channel uses ReadIntervalTimeout and ReadTotalTimeoutMultiplier
// equal to its TimeOut with one-byte reads, so a read returns within that time.
struct PortTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

enum class PortError {
  None,
  NotFound,      // no such device, or a COM name with no link behind it
  InUse,         // another handle has it open (opens are exclusive)
  AccessDenied,  // no permission (on Linux: not in the dialout group)
  NotASerialPort,
  Other,
};

// One open device. Closing is destruction.
class BytePort {
 public:
  virtual ~BytePort() = default;
  // SetupComm: input and output queue sizes. May be ignored by the device.
  virtual bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) = 0;
  // SetCommTimeouts: bounds every later ReadByte/Write as the Win32 rules do.
  virtual bool SetTimeouts(const PortTimeouts& timeouts) = 0;
  // GetCommState: the device's current line state.
  virtual bool GetLineState(LineState& state) = 0;
  // SetCommState: false when the device does not keep the settings asked for.
  virtual bool SetLineState(const LineState& state) = 0;
  // WriteFile: false on failure; written may be less than count (0 included).
  virtual bool Write(const uint8_t* data, uint32_t count, uint32_t& written) = 0;
  // ReadFile of one byte: false on failure; got is 0 when the read time-out passed
  // without data, else 1. Never blocks longer than the read time-out.
  virtual bool ReadByte(uint8_t& byte, uint32_t& got) = 0;
};

// CreateFileA on a device name such as "\\.\COM3": exclusive, synchronous.
class PortOpener {
 public:
  virtual ~PortOpener() = default;
  // Null on failure, with the reason in error when given.
  virtual std::unique_ptr<BytePort> Open(const std::string& name, PortError* error) = 0;
};

}  // namespace dravik
