#pragma once
// Short names of dialog results and box icons, as the line mode and the test logs
// write them.

#include <string>
#include <string_view>

#include "downloader/platform/window.h"

namespace dravik {

inline std::string ResultName(int result) {
  switch (result) {
    case IDOK:
      return "ok";
    case IDCANCEL:
      return "cancel";
    case IDYES:
      return "yes";
    case IDNO:
      return "no";
  }
  return std::to_string(result);
}

constexpr std::string_view IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None:
      return "none";
    case BoxIcon::Exclamation:
      return "exclamation";
    case BoxIcon::Information:
      return "information";
    case BoxIcon::Question:
      return "question";
  }
  return "none";
}

}  // namespace dravik
