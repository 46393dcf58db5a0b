#include "downloader/ui/desktop_help_viewer.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace dravik {

bool IsProgramAvailable(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
  while (!folders.empty()) {
    const size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    std::string candidate(folder.empty() ? std::string_view(".") : folder);
    candidate += '/';
    candidate += program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

namespace {
[[noreturn]] void ExecDetached(const std::string& opener, const std::string& path) {
  // The grandchild belongs to init once its parent is gone, so no one need reap it.
  const pid_t grandchild = fork();
  if (grandchild != 0) _exit(grandchild > 0 ? 0 : 1);
  setsid();
  const int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) close(null);
  }
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(path.c_str()),
                        nullptr};
  execvp(opener.c_str(), argv);
  _exit(127);
}
}  // namespace

bool DesktopHelpViewer::DisplayTopic(const std::string& path) {
  if (!IsProgramAvailable(opener_)) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) ExecDetached(opener_, path);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace dravik
