#pragma once
// Which front end the program shows, without command-line options: the Qt one when
// it is built and there is a display, the terminal one otherwise. DRAVIK_UI=tty or
// DRAVIK_UI=qt forces one.

#include <string>
#include <string_view>

namespace dravik {

enum class FrontEndKind { Terminal, Qt };

struct FrontEndChoice {
  FrontEndKind kind = FrontEndKind::Terminal;
  std::string note;  // why a request could not be followed; empty when it was
};

// dravikUi: the value of DRAVIK_UI (empty when unset). hasDisplay: an X11 or
// Wayland display, or a Qt platform plug-in named, is there.
FrontEndChoice ChooseFrontEnd(std::string_view dravikUi, bool hasDisplay, bool qtBuilt);

// Whether a display can really be reached: an X11 server answers on the socket
// DISPLAY names (":N" and "unix:N" locally, "host:N" on TCP port 6000 + N), or
// the Wayland socket exists, or a Qt platform plug-in that draws somewhere is
// named. A DISPLAY left over from a closed session (an ssh login without
// forwarding, say) would make Qt end the program before any window is shown, so
// it counts as none; so do the windowless plug-ins (offscreen, minimal), whose
// dialogs no one could answer.
bool IsWindowlessQtPlatform(const char* qtPlatform);
bool DisplayReachable(const char* display, const char* waylandDisplay, const char* runtimeDir,
                      const char* qtPlatform);

// The same from the environment of this process.
FrontEndChoice ChooseFrontEnd(bool qtBuilt);

}  // namespace dravik
