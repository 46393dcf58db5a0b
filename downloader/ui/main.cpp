// dravik: the downloader. No command-line options: the front end is chosen from
// the environment (DRAVIK_UI, the display), the machine is the prefix of
// DRAVIK_PREFIX (default ~/.dravik), the package lies beside the executable.

#include <unistd.h>

#include <iostream>
#include <memory>

#include "downloader/platform/clock.h"
#include "downloader/platform/executable_path.h"
#include "downloader/platform/file_registry.h"
#include "downloader/platform/ini_reader.h"
#include "downloader/platform/linux_port_opener.h"
#include "downloader/platform/prefix.h"
#include "downloader/platform/serial_discovery.h"
#include "downloader/ui/desktop_help_viewer.h"
#include "downloader/ui/dravik_app.h"
#include "downloader/ui/frontend_choice.h"
#include "downloader/ui/tty/tty_front_end.h"

#ifdef DRAVIK_WITH_QT
#include "downloader/ui/qt/qt_session.h"
constexpr bool kQtBuilt = true;
#else
constexpr bool kQtBuilt = false;
#endif

int main(int argc, char** argv) {
  using namespace dravik;
  (void)argv;
  if (argc > 1) std::cerr << "dravik: takes no options; the arguments are ignored\n";

  const FrontEndChoice choice = ChooseFrontEnd(kQtBuilt);
  if (!choice.note.empty()) std::cerr << "dravik: " << choice.note << "\n";

  const std::string prefix = DravikPrefix();
  FileRegistry registry(prefix);
  DiscoverSerialPorts(prefix, registry);
  LinuxPortOpener ports(prefix);
  SteadyClock clock;
  DesktopHelpViewer viewer;
  // Only the chosen front end is made: the terminal one takes the terminal over.
  std::unique_ptr<TerminalFrontEnd> terminal;
  FrontEnd* frontEnd = nullptr;
#ifdef DRAVIK_WITH_QT
  std::unique_ptr<QtSession> qt;
  if (choice.kind == FrontEndKind::Qt) {
    qt = std::make_unique<QtSession>(argc, argv);
    frontEnd = &qt->frontEnd();
  }
#endif
  if (frontEnd == nullptr) {
    terminal = std::make_unique<TerminalFrontEnd>(STDIN_FILENO, STDOUT_FILENO, std::cout);
    frontEnd = &terminal->frontEnd();
  }

  AppServices services{*frontEnd,
                       registry,
                       clock,
                       ports,
                       viewer,
                       CurrentOsVersion(),
                       ExecutablePath(),
                       [](const std::string& path) -> std::unique_ptr<Profile> {
                         return std::make_unique<IniFileProfile>(path);
                       }};
  CDravikApp app(services);
  app.InitInstance();
  return app.ExitCode();
}
