#pragma once
// The downloader's Linux "machine": a prefix folder holding the registry file
// (system.reg) and the COM-name links (dosdevices/comN), like a Wine prefix.
// DRAVIK_PREFIX names it; without it, ~/.dravik.

#include <string>

namespace dravik {

// The prefix path; it is not created here.
std::string DravikPrefix();

// The registry file and the links folder of a prefix.
std::string RegistryFileOf(const std::string& prefix);
std::string DosDevicesOf(const std::string& prefix);

// Creates the folder and any missing parents (mode 0755 before the umask); true
// when it exists afterwards.
bool EnsureFolder(const std::string& path);

}  // namespace dravik
