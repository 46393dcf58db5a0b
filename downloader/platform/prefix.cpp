#include "downloader/platform/prefix.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace dravik {

namespace {
std::string HomeFolder() {
  if (const char* home = getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/tmp";  // no home at all (a bare service account): still somewhere writable
}
}  // namespace

std::string DravikPrefix() {
  if (const char* prefix = getenv("DRAVIK_PREFIX"); prefix != nullptr && *prefix != '\0') {
    return prefix;
  }
  return HomeFolder() + "/.dravik";
}

std::string RegistryFileOf(const std::string& prefix) {
  return prefix + "/system.reg";
}

std::string DosDevicesOf(const std::string& prefix) {
  return prefix + "/dosdevices";
}

bool EnsureFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

}  // namespace dravik
