#pragma once
// The full path of the running executable (GetModuleFileNameA on the program's own
// instance). Linux gives it through /proc/self/exe; symbolic links on the way are
// resolved, so a program started through a link reads the files beside the real one.

#include <string>

namespace dravik {

// Empty when the path cannot be read (no /proc); callers then use relative names.
std::string ExecutablePath();

}  // namespace dravik
