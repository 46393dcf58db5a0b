#pragma once
// How the download sequence drives the controls of the download dialog: the two
// bars (IDC_OVERALL_BAR for phases and blocks, IDC_STEP_BAR within the block being
// sent), their percentage labels, and the two status lines.

#include <cstdio>
#include <string>

#include "downloader/resources/dialogs.h"

namespace dravik {

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
