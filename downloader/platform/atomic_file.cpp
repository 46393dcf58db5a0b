#include "downloader/platform/atomic_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dravik {

namespace {

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // the rename is done either way; this only makes it durable sooner
  close(fd);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
  const std::string folder = FolderOf(path);
  std::string temp = folder + "/.tmp-" + path.substr(path.rfind('/') + 1) + "-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const mode_t mask = umask(0);
  umask(mask);
  const bool written = fchmod(fd, mode & ~mask) == 0 && WriteAll(fd, content) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

}  // namespace dravik
