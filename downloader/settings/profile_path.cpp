#include "downloader/settings/profile_path.h"

#include "downloader/platform/executable_path.h"

namespace dravik {

std::string ProfilePathFor(std::string_view executablePath) {
  // The folder is cut after the last '/'. The original platform's 260-character
  // limit of the module name is not copied: a cut path would name a folder that
  // does not exist, and the program would silently run on defaults.
  const size_t slash = executablePath.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view{} : executablePath.substr(0, slash + 1);
  return std::string(folder) + "Dravik.ini";
}

std::string ProfilePath() {
  return ProfilePathFor(ExecutablePath());
}

}  // namespace dravik
