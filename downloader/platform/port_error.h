#pragma once
// The one place where operating-system errors of the byte port become PortError.

#include "downloader/platform/byte_port.h"

namespace dravik {

PortError PortErrorFromErrno(int error);

}  // namespace dravik
