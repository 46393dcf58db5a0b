#include "downloader/platform/termios_line.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

termios RawTermios() {
  termios t{};
  MakeRaw(t);
  cfsetspeed(&t, B9600);
  return t;
}

LineState State(uint32_t baud, uint8_t size, uint8_t stop, uint8_t parity) {
  LineState s;
  s.BaudRate = baud;
  s.ByteSize = size;
  s.StopBits = stop;
  s.Parity = parity;
  s.fParity = true;
  return s;
}

TEST(TermiosLine, CharacterFormatsMapToControlBits) {
  struct Case {
    LineState state;
    speed_t speed;
    tcflag_t cflag;  // of CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS
  };
  const Case cases[] = {
      {State(19200, 8, 0, 1), B19200, CS8 | PARENB | PARODD},
      {State(115200, 8, 0, 2), B115200, CS8 | PARENB},
      {State(9600, 8, 0, 0), B9600, CS8},
      {State(9600, 7, 2, 3), B9600, CS7 | CSTOPB | PARENB | PARODD | CMSPAR},
      {State(9600, 6, 0, 4), B9600, CS6 | PARENB | CMSPAR},
      {State(300, 5, 1, 0), B300, CS5 | CSTOPB},
      {State(4000000, 8, 2, 0), B4000000, CS8 | CSTOPB},
  };
  constexpr tcflag_t kMask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
  for (const Case& c : cases) {
    termios t = RawTermios();
    ASSERT_TRUE(ApplyLineState(c.state, t)) << c.state.BaudRate;
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(cfgetispeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & kMask, c.cflag) << c.state.BaudRate << " " << int{c.state.Parity};
    EXPECT_TRUE(t.c_cflag & CLOCAL);  // untouched by the line state
    LineState back;
    ReadLineState(t, back);
    EXPECT_EQ(back, c.state);
  }
}

TEST(TermiosLine, FlowControlAndSpecialCharactersRoundTrip) {
  LineState s = State(19200, 8, 0, 2);
  s.fOutX = true;
  s.fInX = true;
  s.XonChar = 0x01;
  s.XoffChar = 0x02;
  s.fOutxCtsFlow = true;
  s.fRtsControl = 2;
  termios t = RawTermios();
  ASSERT_TRUE(ApplyLineState(s, t));
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_TRUE(t.c_iflag & INPCK);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_cc[VSTART], 0x01);
  EXPECT_EQ(t.c_cc[VSTOP], 0x02);
  LineState back = s;
  ReadLineState(t, back);
  EXPECT_EQ(back, s);

  // Someone turned CTS flow off behind our back: RTS handshake cannot stand alone.
  t.c_cflag &= ~CRTSCTS;
  ReadLineState(t, back);
  EXPECT_FALSE(back.fOutxCtsFlow);
  EXPECT_EQ(back.fRtsControl, 1);
}

TEST(TermiosLine, RefusesWhatATtyCannotDo) {
  const auto with = [](auto change) {
    LineState s = State(19200, 8, 0, 1);
    change(s);
    return s;
  };
  const LineState refused[] = {
      with([](LineState& s) { s.BaudRate = 12345; }),
      with([](LineState& s) { s.BaudRate = 0; }),
      with([](LineState& s) { s.ByteSize = 4; }),
      with([](LineState& s) { s.ByteSize = 9; }),
      with([](LineState& s) { s.Parity = 5; }),
      with([](LineState& s) { s.StopBits = 3; }),
      with([](LineState& s) { s.StopBits = 1; }),  // 1.5 needs 5 data bits
      with([](LineState& s) {
        s.ByteSize = 5;
        s.StopBits = 2;
      }),
      with([](LineState& s) { s.fBinary = false; }),
      with([](LineState& s) { s.fOutxDsrFlow = true; }),
      with([](LineState& s) { s.fDsrSensitivity = true; }),
      with([](LineState& s) { s.fDtrControl = 2; }),
      with([](LineState& s) { s.fRtsControl = 3; }),
      with([](LineState& s) { s.fErrorChar = true; }),
      with([](LineState& s) { s.fNull = true; }),
      with([](LineState& s) { s.XonChar = s.XoffChar; }),
  };
  for (const LineState& s : refused) {
    termios t = RawTermios();
    EXPECT_FALSE(ApplyLineState(s, t)) << s.BaudRate << " " << int{s.ByteSize};
  }
}

TEST(TermiosLine, APseudoTerminalIsForgivenParityEnableAndDataBits) {
  termios asked = RawTermios();
  ASSERT_TRUE(ApplyLineState(State(19200, 7, 2, 1), asked));
  termios ptyKept = asked;  // what a pseudo-terminal makes of it
  ptyKept.c_cflag = (ptyKept.c_cflag & ~(CSIZE | PARENB)) | CS8;
  EXPECT_TRUE(DeviceKeptLineState(asked, asked, false));
  EXPECT_FALSE(DeviceKeptLineState(asked, ptyKept, false));
  EXPECT_TRUE(DeviceKeptLineState(asked, ptyKept, true));

  const auto changed = [&](auto change) {
    termios t = ptyKept;
    change(t);
    return t;
  };
  const termios stillWrong[] = {
      changed([](termios& t) { cfsetospeed(&t, B9600); }),
      changed([](termios& t) { t.c_cflag &= ~CSTOPB; }),
      changed([](termios& t) { t.c_cflag &= ~PARODD; }),
      changed([](termios& t) { t.c_iflag &= ~INPCK; }),
      changed([](termios& t) { t.c_cc[VSTOP] = 0; }),
  };
  for (const termios& t : stillWrong) EXPECT_FALSE(DeviceKeptLineState(asked, t, true));
}

TEST(TermiosLine, RawModeTranslatesNothing) {
  termios t{};
  t.c_iflag = ICRNL | IXON | ISTRIP | INLCR | IGNCR | PARMRK;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
  MakeRaw(t);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR | PARMRK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

}  // namespace
}  // namespace dravik
