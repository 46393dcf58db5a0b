#include "downloader/transfer/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace dravik {

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  Close();
}

FileOpenError ReadOnlyFile::Open(const std::string& path) {
  Close();
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return FileOpenError::NotFound;
  // O_NONBLOCK keeps a pipe of that name from blocking the open; the type test
  // below then refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FileOpenError::CannotOpen;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return FileOpenError::CannotOpen;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(status.st_size);
  return FileOpenError::None;
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* destination, size_t count) const {
  if (fd_ < 0) return false;
  auto* out = static_cast<unsigned char*>(destination);
  while (count > 0) {
    ssize_t got = ::pread(fd_, out, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace dravik
