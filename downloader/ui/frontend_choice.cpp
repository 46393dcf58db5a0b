#include "downloader/ui/frontend_choice.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

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

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// Connects to a local stream socket; abstract selects Linux's abstract namespace,
// where X servers listen besides the file system.
bool LocalSocketAnswers(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  close(fd);
  return answered;
}

bool TcpAnswers(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool answered = false;
  for (addrinfo* a = found; a != nullptr && !answered; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    answered = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    close(fd);
  }
  freeaddrinfo(found);
  return answered;
}

bool X11Answers(std::string_view display) {
  const size_t colon = display.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string host(display.substr(0, colon));
  std::string_view number = display.substr(colon + 1);
  number = number.substr(0, number.find('.'));  // the screen does not matter
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  if (host.empty() || host == "unix") {
    const std::string path = "/tmp/.X11-unix/X" + std::string(number);
    return LocalSocketAnswers(path, false) || LocalSocketAnswers(path, true);
  }
  if (number.size() > 4) return false;
  return TcpAnswers(host, 6000 + std::stoi(std::string(number)));
}

bool WaylandSocketExists(const char* waylandDisplay, const char* runtimeDir) {
  std::string path = waylandDisplay;
  if (path.front() != '/') {
    if (!IsSet(runtimeDir)) return false;
    path = std::string(runtimeDir) + "/" + path;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

bool IsWindowlessQtPlatform(const char* qtPlatform) {
  if (!IsSet(qtPlatform)) return false;
  const std::string_view name(qtPlatform);
  return name.starts_with("offscreen") || name.starts_with("minimal");
}

bool DisplayReachable(const char* display, const char* waylandDisplay, const char* runtimeDir,
                      const char* qtPlatform) {
  // A plug-in that draws nowhere is no display: nobody could answer its windows.
  if (IsWindowlessQtPlatform(qtPlatform)) return false;
  if (IsSet(qtPlatform)) return true;
  if (IsSet(waylandDisplay) && WaylandSocketExists(waylandDisplay, runtimeDir)) return true;
  return IsSet(display) && X11Answers(display);
}

FrontEndChoice ChooseFrontEnd(bool qtBuilt) {
  const char* dravikUi = std::getenv("DRAVIK_UI");
  const bool hasDisplay = DisplayReachable(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                           std::getenv("XDG_RUNTIME_DIR"),
                                           std::getenv("QT_QPA_PLATFORM"));
  const char* qtPlatform = std::getenv("QT_QPA_PLATFORM");
  FrontEndChoice choice = ChooseFrontEnd(dravikUi != nullptr ? dravikUi : "", hasDisplay, qtBuilt);
  // Asked for by name, a windowless plug-in is taken as meant (pictures, tests).
  if (choice.kind == FrontEndKind::Qt && !hasDisplay && !IsWindowlessQtPlatform(qtPlatform)) {
    // Forced, but Qt could only end the program here: say so and stay in the terminal.
    return {FrontEndKind::Terminal, "DRAVIK_UI=qt: no display can be reached; using the terminal"};
  }
  return choice;
}

}  // namespace dravik
