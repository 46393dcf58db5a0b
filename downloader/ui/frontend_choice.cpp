#include "downloader/ui/frontend_choice.h"

#include <cstdlib>

#include "downloader/platform/ascii.h"

namespace dravik {

FrontEndChoice ChooseFrontEnd(std::string_view dravikUi, bool hasDisplay, bool qtBuilt) {
  if (EqualsIgnoreCase(dravikUi, "tty")) return {FrontEndKind::Terminal, ""};
  if (EqualsIgnoreCase(dravikUi, "qt")) {
    if (qtBuilt) return {FrontEndKind::Qt, ""};
    return {FrontEndKind::Terminal,
            "DRAVIK_UI=qt: this build has no Qt front end; using the terminal"};
  }
  std::string note;
  if (!dravikUi.empty()) {
    note = "DRAVIK_UI=" + std::string(dravikUi) + " is neither tty nor qt; choosing by the display";
  }
  const FrontEndKind kind = qtBuilt && hasDisplay ? FrontEndKind::Qt : FrontEndKind::Terminal;
  return {kind, note};
}

namespace {
bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}
}  // namespace

FrontEndChoice ChooseFrontEnd(bool qtBuilt) {
  const char* dravikUi = std::getenv("DRAVIK_UI");
  const bool hasDisplay = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
  return ChooseFrontEnd(dravikUi != nullptr ? dravikUi : "", hasDisplay, qtBuilt);
}

}  // namespace dravik
