#pragma once
// The controls of the download dialog that the download sequence drives, and the
// text of their percentage labels.

#include <cstdio>
#include <string>

#include "downloader/link/download_connection.h"

namespace dravik {

inline constexpr int kStatusLineId = 1003;   // first status line
inline constexpr int kWarningLineId = 1004;  // second status line
inline constexpr int kOverallPercentId = 1006;
inline constexpr int kOverallBarId = kOverallProgressBarId;  // 1007: phases and blocks
inline constexpr int kBlockBarId = 1008;                     // progress within the block being sent
inline constexpr int kBlockPercentId = 1009;

inline constexpr int kProgressMaximum = 100;
// Both bars start in steps of 11, so that the first identification and the eight
// probes of a search fill at most 99.
inline constexpr int kConnectingStep = 11;

inline constexpr char kZeroPercent[] = "  0%";
inline constexpr char kFullPercent[] = "100%";

// " %2d%%": a space, the number right-aligned in two places, a percent sign.
inline std::string PercentText(int position) {
  char text[16];
  std::snprintf(text, sizeof text, " %2d%%", position);
  return text;
}

}  // namespace dravik
