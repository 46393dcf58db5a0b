#pragma once
// Terminal bytes to keys: the escape sequences of the common terminals (xterm and
// its kin, the Linux console, VT100 application mode) for F1, F2, the arrows, Home
// and End; Enter, Tab, Backspace and printable ASCII. Unknown sequences are dropped.

#include <string>
#include <vector>

#include "downloader/ui/keys.h"

namespace dravik {

// Takes every complete key from the front of bytes and leaves the rest (the start
// of a sequence still arriving). With final, nothing more is coming: a lone Escape
// at the end is the Escape key.
std::vector<KeyPress> DecodeKeys(std::string& bytes, bool final);

}  // namespace dravik
