#include "downloader/platform/termios_line.h"

namespace dravik {

namespace {

struct SpeedEntry {
  uint32_t rate;
  speed_t constant;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};

enum : uint8_t { kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2 };
enum : uint8_t { kNoParity = 0, kOdd = 1, kEven = 2, kMark = 3, kSpace = 4 };
enum : uint8_t { kControlHandshake = 2, kRtsToggle = 3 };

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kComparedControl = CSIZE | CSTOPB | kParityBits | CRTSCTS;
constexpr tcflag_t kComparedInput = INPCK | IXON | IXOFF;

bool Supported(const LineState& s) {
  if (!s.fBinary || s.fOutxDsrFlow || s.fDsrSensitivity || s.fErrorChar || s.fNull) return false;
  if (s.fDtrControl > 1 || s.fRtsControl >= kRtsToggle) return false;
  if (s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > kSpace || s.StopBits > kTwoStopBits) {
    return false;
  }
  // The UART sends 1.5 stop bits for "two" with 5-bit characters; Win32 allows 1.5
  // only with 5 data bits and 2 only with more.
  if (s.StopBits == kOne5StopBits && s.ByteSize != 5) return false;
  if (s.StopBits == kTwoStopBits && s.ByteSize == 5) return false;
  return s.XonChar != s.XoffChar;
}

tcflag_t ParityBits(uint8_t parity) {
  constexpr tcflag_t kBits[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                PARENB | CMSPAR};
  return kBits[parity];
}

uint8_t ParityCode(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return kNoParity;
  const bool odd = (cflag & PARODD) != 0;
  if ((cflag & CMSPAR) != 0) return odd ? kMark : kSpace;
  return odd ? kOdd : kEven;
}

void SetFlag(tcflag_t& flags, tcflag_t bit, bool on) {
  flags = on ? (flags | bit) : (flags & ~bit);
}

}  // namespace

std::optional<speed_t> SpeedConstant(uint32_t baudRate) {
  for (const SpeedEntry& e : kSpeeds) {
    if (e.rate == baudRate) return e.constant;
  }
  return std::nullopt;
}

uint32_t BaudRateOf(speed_t speed) {
  for (const SpeedEntry& e : kSpeeds) {
    if (e.constant == speed) return e.rate;
  }
  return 0;
}

bool ApplyLineState(const LineState& state, termios& t) {
  const std::optional<speed_t> speed = SpeedConstant(state.BaudRate);
  if (!speed || !Supported(state)) return false;
  if (cfsetispeed(&t, *speed) != 0 || cfsetospeed(&t, *speed) != 0) return false;
  t.c_cflag = (t.c_cflag & ~(CSIZE | CSTOPB | kParityBits)) | kSizes[state.ByteSize - 5] |
              ParityBits(state.Parity) | (state.StopBits != kOneStopBit ? CSTOPB : 0);
  SetFlag(t.c_cflag, CRTSCTS, state.fOutxCtsFlow || state.fRtsControl == kControlHandshake);
  SetFlag(t.c_iflag, INPCK, state.fParity);
  SetFlag(t.c_iflag, IXON, state.fOutX);
  SetFlag(t.c_iflag, IXOFF, state.fInX);
  t.c_cc[VSTART] = static_cast<cc_t>(state.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(state.XoffChar);
  return true;
}

void ReadLineState(const termios& t, LineState& state) {
  state.BaudRate = BaudRateOf(cfgetospeed(&t));
  const tcflag_t size = t.c_cflag & CSIZE;
  state.ByteSize = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
  const bool two = (t.c_cflag & CSTOPB) != 0;
  state.StopBits = !two ? kOneStopBit : state.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
  state.Parity = ParityCode(t.c_cflag);
  const bool cts = (t.c_cflag & CRTSCTS) != 0;
  state.fOutxCtsFlow = cts;
  if (!cts && state.fRtsControl == kControlHandshake) state.fRtsControl = 1;
  state.fParity = (t.c_iflag & INPCK) != 0;
  state.fOutX = (t.c_iflag & IXON) != 0;
  state.fInX = (t.c_iflag & IXOFF) != 0;
  state.XonChar = static_cast<char>(t.c_cc[VSTART]);
  state.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

bool DeviceKeptLineState(const termios& asked, const termios& got, bool pseudoTerminal) {
  const tcflag_t control =
      pseudoTerminal ? (kComparedControl & ~(CSIZE | PARENB)) : kComparedControl;
  return cfgetospeed(&asked) == cfgetospeed(&got) && cfgetispeed(&asked) == cfgetispeed(&got) &&
         (asked.c_cflag & control) == (got.c_cflag & control) &&
         (asked.c_iflag & kComparedInput) == (got.c_iflag & kComparedInput) &&
         asked.c_cc[VSTART] == got.c_cc[VSTART] && asked.c_cc[VSTOP] == got.c_cc[VSTOP];
}

void MakeRaw(termios& t) {
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~CRTSCTS;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

}  // namespace dravik
