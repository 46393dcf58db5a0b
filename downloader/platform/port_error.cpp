#include "downloader/platform/port_error.h"

#include <cerrno>

namespace dravik {

namespace {
struct ErrnoEntry {
  int error;
  PortError port;
};

constexpr ErrnoEntry kErrnoTable[] = {
    {ENOENT, PortError::NotFound},       {ENODEV, PortError::NotFound},
    {ENXIO, PortError::NotFound},        {ENOTDIR, PortError::NotFound},
    {ELOOP, PortError::NotFound},        {ENAMETOOLONG, PortError::NotFound},
    {EBUSY, PortError::InUse},           {EWOULDBLOCK, PortError::InUse},
    {EACCES, PortError::AccessDenied},   {EPERM, PortError::AccessDenied},
    {EROFS, PortError::AccessDenied},    {ENOTTY, PortError::NotASerialPort},
    {EISDIR, PortError::NotASerialPort}, {EINVAL, PortError::NotASerialPort},
};
}  // namespace

PortError PortErrorFromErrno(int error) {
  for (const ErrnoEntry& e : kErrnoTable) {
    if (e.error == error) return e.port;
  }
  return PortError::Other;
}

}  // namespace dravik
