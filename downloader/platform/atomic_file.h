#pragma once
// Replacing a file so that a reader, or a crash, sees either the old content or the
// new, never a part: write a temporary file beside it, flush it to the disk, rename
// it over the old one, and flush the folder.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace dravik {

// False when any step fails; the old file is then as it was and no temporary file
// is left behind. The new file gets mode (before the umask).
bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode);

}  // namespace dravik
