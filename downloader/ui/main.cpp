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

int main(int argc, char** argv) {
  using namespace dravik;
  (void)argv;
  if (argc > 1) std::cerr << "dravik: takes no options; the arguments are ignored\n";

  // The Qt front end is not part of this build yet, so every choice ends here.
  const FrontEndChoice choice = ChooseFrontEnd(/*qtBuilt=*/false);
  if (!choice.note.empty()) std::cerr << "dravik: " << choice.note << "\n";

  const std::string prefix = DravikPrefix();
  FileRegistry registry(prefix);
  DiscoverSerialPorts(prefix, registry);
  LinuxPortOpener ports(prefix);
  SteadyClock clock;
  DesktopHelpViewer viewer;
  TerminalFrontEnd terminal(STDIN_FILENO, STDOUT_FILENO, std::cout);

  AppServices services{terminal.frontEnd(),
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
