// What the panel hears of the host's line settings, and the line rate it paces at.
#include <gtest/gtest.h>

#include "tools/panel-sim/line_pacer.h"
#include "tools/panel-sim/line_settings.h"

namespace panelsim {
namespace {

TEST(LineSettings, HearsOnlyWhatAPseudoTerminalShows) {
  const LineSettings odd{115200, 8, Parity::Odd, StopBits::One};
  const LineSettings even{115200, 8, Parity::Even, StopBits::One};
  const LineSettings none{115200, 8, Parity::None, StopBits::One};
  struct Case {
    VisibleLine seen;
    LineSettings own;
    bool heard;
  };
  const Case cases[] = {
      {{115200, true, false, false}, odd, true},
      {{115200, false, false, false}, odd, false},
      {{19200, true, false, false}, odd, false},
      {{115200, true, false, true}, odd, false},
      {{115200, false, false, false}, none, true},
      {{115200, false, false, false}, even, true},  // none and even look alike
      {{115200, true, false, false}, even, false},
      {{115200, false, true, false}, none, false},  // space parity
      {{9600, false, false, true}, {9600, 8, Parity::None, StopBits::Two}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HearsLine(c.seen, c.own), c.heard)
        << c.seen.baudRate << " odd " << c.seen.oddParity << " own parity " << int(c.own.parity);
  }
}

TEST(LineSettings, BitsPerCharacter) {
  EXPECT_EQ(HalfBitsPerCharacter({115200, 8, Parity::Odd, StopBits::One}), 22u);
  EXPECT_EQ(HalfBitsPerCharacter({9600, 8, Parity::None, StopBits::One}), 20u);
  EXPECT_EQ(HalfBitsPerCharacter({9600, 7, Parity::Even, StopBits::Two}), 22u);
  EXPECT_EQ(HalfBitsPerCharacter({9600, 5, Parity::None, StopBits::OneAndHalf}), 15u);
}

TEST(LinePacer, SchedulesAtTheLineRateWithoutDrift) {
  LinePacer pacer({115200, 8, Parity::Odd, StopBits::One});
  // 11 bits at 115200 bit/s: 95486.1 ns a character, 10472.7 characters a second.
  EXPECT_EQ(pacer.Schedule(1'000'000), 1'000'000 + 95'486u);
  uint64_t last = 0;
  for (int i = 1; i < 10473; ++i) last = pacer.Schedule(1'000'000);
  EXPECT_EQ(last - 1'000'000, 10473ull * 11'000'000'000ull / 115200);
  // An idle line starts afresh from the moment of hand-over.
  EXPECT_EQ(pacer.Schedule(last + 5'000'000), last + 5'000'000 + 95'486u);
  // While busy, characters queue behind the last.
  const uint64_t next = pacer.Schedule(last + 5'000'000);
  EXPECT_EQ(next, last + 5'000'000 + 190'972u);
}

}  // namespace
}  // namespace panelsim
