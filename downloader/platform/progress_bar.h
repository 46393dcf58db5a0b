#pragma once
// The state of one progress-bar control and its answers to the progress-bar
// messages, as the common control gives them. Front ends and test doubles keep one
// per bar so every one of them answers PBM_GETPOS and PBM_STEPIT the same way.

#include <cstdint>

#include "downloader/platform/window.h"

namespace dravik {

class ProgressBarState {
 public:
  // Returns what the control returns for the message.
  intptr_t Handle(ProgressMessage message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
      case PBM_SETRANGE: {
        const intptr_t old = (static_cast<intptr_t>(max_) << 16) | (min_ & 0xFFFF);
        min_ = static_cast<int>(lParam & 0xFFFF);
        max_ = static_cast<int>((lParam >> 16) & 0xFFFF);
        pos_ = Clamp(pos_);
        return old;
      }
      case PBM_SETPOS: {
        const int old = pos_;
        pos_ = Clamp(static_cast<int>(wParam));
        return old;
      }
      case PBM_SETSTEP: {
        const int old = step_;
        step_ = static_cast<int>(wParam);
        return old;
      }
      case PBM_STEPIT: {
        // Past the maximum the control starts over from the minimum.
        const int old = pos_;
        pos_ += step_;
        if (pos_ > max_) pos_ = max_ > min_ ? (pos_ - min_) % (max_ - min_) + min_ : min_;
        return old;
      }
      case PBM_GETPOS:
        return pos_;
    }
    return 0;
  }

  int Position() const { return pos_; }
  int Minimum() const { return min_; }
  int Maximum() const { return max_; }
  // Position as a whole percentage of the range, for the percentage labels.
  int Percent() const {
    return max_ > min_ ? static_cast<int>((static_cast<int64_t>(pos_ - min_) * 100) / (max_ - min_))
                       : 0;
  }

 private:
  int Clamp(int pos) const { return pos < min_ ? min_ : (pos > max_ ? max_ : pos); }

  int min_ = 0;
  int max_ = 100;
  int step_ = 10;
  int pos_ = 0;
};

}  // namespace dravik
