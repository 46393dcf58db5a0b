#include "downloader/platform/executable_path.h"

#include <unistd.h>

#include <vector>

namespace dravik {

std::string ExecutablePath() {
  // readlink does not say whether it truncated, so grow until the result fits.
  for (size_t size = 256; size <= (1u << 20); size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
  }
  return {};
}

}  // namespace dravik
